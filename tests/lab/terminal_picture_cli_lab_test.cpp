// viduzaver-cli terminal, snapshot and qr against the simulated site, and the name and model
// columns of search and login-check.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "lab/cli_process.h"
#include "lab/devsim_control.h"

namespace vdz {
namespace {

using lab::Cli;
using lab::CliRun;

namespace fs = std::filesystem;

class TerminalPictureCliLab : public ::testing::Test {
 protected:
  void SetUp() override {
    devices_ = control_.Devices();
    ASSERT_GE(devices_.size(), 8u);
    dir_ = fs::temp_directory_path() / ("vdz-cli-pic-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    control_.Send("terminal-fault all none");
    control_.Send("snapshot-fault all none");
  }
  void TearDown() override {
    control_.Send("terminal-fault all none");
    control_.Send("snapshot-fault all none");
    fs::remove_all(dir_);
  }
  std::map<std::string, std::string> Terminal(const lab::DevsimDevice& d) {
    std::vector<std::string> lines;
    control_.Send("terminal-get " + d.serial, &lines);
    return lines.empty() ? std::map<std::string, std::string>{} : lab::ParseReplyLine(lines[0]);
  }
  lab::DevsimControl control_ = lab::DevsimControl::FromEnvironment();
  std::vector<lab::DevsimDevice> devices_;
  fs::path dir_;
};

TEST_F(TerminalPictureCliLab, TerminalGetSetRestartAndTheNameColumns) {
  const auto& d = devices_[1];
  const auto t = Terminal(d);
  CliRun r = Cli("terminal get --seconds 2 --format json " + d.serial);
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("\"devname\": \"" + t.at("devname") + "\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"accessport\": " + t.at("accessport")), std::string::npos) << r.out;

  r = Cli("terminal set --seconds 2 --set talkCapVol=33 --set ftpIp=10.9.9.9 " + d.serial + " " +
          devices_[2].ip);
  EXPECT_EQ(r.status, 0) << r.out;
  for (const auto& x : {d, devices_[2]}) {
    const auto after = Terminal(x);
    EXPECT_EQ(after.at("talkCapVol"), "33");
    EXPECT_EQ(after.at("ftpIp"), "10.9.9.9");
  }
  // Only the given attributes changed.
  EXPECT_EQ(Terminal(d).at("devname"), t.at("devname"));
  EXPECT_EQ(Terminal(d).at("rtspUrl"), t.at("rtspUrl"));
  EXPECT_EQ(Cli("terminal set --seconds 2 --set nosuch=1 " + d.serial).status, 2);

  control_.Send("terminal-fault " + devices_[3].serial + " silent");
  r = Cli("terminal restart --seconds 2 --format json " + d.serial + " " + devices_[3].serial);
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find("\"ok\": true"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"ok\": false"), std::string::npos) << r.out;

  r = Cli("search --seconds 2 --format csv");
  EXPECT_NE(r.out.find(",name,"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("," + Terminal(devices_[4]).at("devname") + ","), std::string::npos)
      << r.out;
  r = Cli("login-check --seconds 2 --format csv");
  EXPECT_NE(r.out.find("," + Terminal(devices_[4]).at("deamontime") + "\n"), std::string::npos)
      << r.out;
}

TEST_F(TerminalPictureCliLab, SnapshotSavesPicturesAndReportsFailures) {
  control_.Send("snapshot-fault " + devices_[6].serial + " refuse");
  const CliRun r = Cli("snapshot --seconds 2 --format json --dir " + dir_.string() + " " +
                       devices_[5].serial + " " + devices_[6].serial);
  EXPECT_EQ(r.status, 1) << r.out;
  const fs::path folder = dir_ / devices_[5].ip;
  ASSERT_TRUE(fs::exists(folder)) << r.out;
  int pictures = 0;
  for (const auto& e : fs::directory_iterator(folder)) {
    ++pictures;
    EXPECT_NE(r.out.find(e.path().string()), std::string::npos) << r.out;
  }
  EXPECT_EQ(pictures, 1);
  EXPECT_NE(r.out.find("\"ok\": false"), std::string::npos) << r.out;
}

TEST_F(TerminalPictureCliLab, QrPrintsAndSavesADecodableSymbol) {
  // Generated devices cycle their P2P identifiers; the first four include three kinds.
  int decoded = 0;
  for (int i = 0; i < 4; ++i) {
    const auto& d = devices_[static_cast<std::size_t>(i)];
    const fs::path png = dir_ / (d.serial + ".png");
    const CliRun r = Cli("qr --seconds 2 --out " + png.string() + " " + d.ip);
    if (r.status != 0) {
      EXPECT_EQ(Cli("qr --seconds 2 " + d.ip).status, 1);
      continue;
    }
    const std::string id = r.out.substr(0, r.out.find(' '));
    const CliRun z = lab::RunShell("zbarimg -q --raw " + png.string());
    EXPECT_EQ(z.out, id + "\n") << d.serial;
    const CliRun shown = Cli("qr --seconds 2 " + d.serial);
    EXPECT_EQ(shown.status, 0);
    EXPECT_NE(shown.out.find("\u2588"), std::string::npos);
    ++decoded;
  }
  EXPECT_GE(decoded, 2);
}

}  // namespace
}  // namespace vdz
