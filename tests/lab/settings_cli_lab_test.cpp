// viduzaver-cli set against the simulated site: the same documents the window sends, one
// result line per device, refusals of bad values before any device is touched.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <regex>

#include "lab/cli_process.h"
#include "lab/devsim_control.h"
#include "protocol/protocol_numbers.h"

namespace vdz {
namespace {

using lab::Cli;
using lab::CliRun;

std::string Unhex(const std::string& hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return bytes;
}

class SettingsCliLab : public ::testing::Test {
 protected:
  void SetUp() override {
    devices_ = control_.Devices();
    ASSERT_GE(devices_.size(), 3u);
    control_.Send("sdk-refuse-settings all 0");
  }
  void TearDown() override { control_.Send("sdk-refuse-settings all 0"); }
  std::string Stored(const lab::DevsimDevice& d, int command, bool system = false) {
    std::vector<std::string> lines;
    if (!control_.Send(std::string(system ? "sdk-system " : "sdk-document ") + d.serial + " " +
                           std::to_string(command),
                       &lines) ||
        lines.empty())
      return "none";
    return Unhex(lab::ParseReplyLine(lines[0])["hex"]);
  }
  lab::DevsimControl control_ = lab::DevsimControl::FromEnvironment();
  std::vector<lab::DevsimDevice> devices_;
};

TEST_F(SettingsCliLab, SendsTheWindowsDocumentsAndReportsEachDevice) {
  const auto& a = devices_[0];
  const auto& b = devices_[1];
  const auto& refusing = devices_[2];
  control_.Send("sdk-refuse-settings " + refusing.serial + " 1");
  const std::string targets = " --seconds 2 " + a.serial + " " + b.ip + " " + refusing.serial;
  struct Case {
    std::string args;
    int command;
    bool system;
    std::string expected;
  } cases[] = {
      {"set language zh_cn", proto::kCfgDeviceLanguage, false, "<MiscConfig Language=\"zh_cn\" />"},
      {"set output 1", proto::kCmdOutputPort, true,
       "<REQUEST_PARAM ChannelNo=\"0\"Output=\"1\"/>\n"},
      {"set maintenance --day 2 --time 03:04:05", proto::kCfgMaintenance, false,
       "<MaintainConfig\tEnable=\"1\" Day=\"2\" Time=\"03:04:05\" />"},
      {"set ntp --server 10.0.0.1 --port 080 --interval 999999 --zone +05:45", proto::kCfgTime,
       false,
       "<TimeConfig TimeMode=\"NTP\" TimeZone=\"1065\">\n"
       "\t<NTPConfig ServerIP=\"10.0.0.1\" ServerPort=\"080\" RefreshInterval=\"999999\"/>\n"
       "</TimeConfig>\n"},
      {"set title --text Gate --add-serial", proto::kCfgTitleOverlay, false, ""},
  };
  for (const Case& c : cases) {
    // The refusing device keeps what it held (its factory document, or nothing).
    const std::string before = Stored(refusing, c.command, c.system);
    const CliRun r = Cli(c.args + " --format json" + targets);
    EXPECT_EQ(r.status, 1) << c.args << "\n" << r.out;
    EXPECT_NE(r.out.find("\"serial\": \"" + a.serial + "\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"ok\": false"), std::string::npos) << r.out;
    EXPECT_EQ(Stored(refusing, c.command, c.system), before) << c.args;
    if (!c.expected.empty()) {
      EXPECT_EQ(Stored(a, c.command, c.system), c.expected) << c.args;
      EXPECT_EQ(Stored(b, c.command, c.system), c.expected) << c.args;
    }
  }
  // Text mode ends with the summary line the window shows.
  const CliRun text = Cli("set output 0" + targets);
  EXPECT_NE(text.out.find("\n2 succeeded, 1 failed, 0 skipped\n"), std::string::npos) << text.out;
  // "Gate[SERIAL]" in hexadecimal.
  std::string hex;
  for (unsigned char ch : "Gate[" + a.serial + "]") {
    static constexpr char kDigits[] = "0123456789abcdef";
    hex += kDigits[ch >> 4];
    hex += kDigits[ch & 0xF];
  }
  EXPECT_NE(Stored(a, proto::kCfgTitleOverlay).find("Title=\"" + hex + "\" TitleUtf8=\"" + hex),
            std::string::npos);

  const CliRun sync = Cli("set time-sync --seconds 2 " + a.serial);
  EXPECT_EQ(sync.status, 0) << sync.out;
  EXPECT_TRUE(std::regex_match(
      Stored(a, proto::kCmdTimeSync, true),
      std::regex("<REQUEST_PARAM\r\nTime=\"[0-9]{8} [0-9:]{8}\"\r\nTimeZone=\"1200\"\n/>")));
}

TEST_F(SettingsCliLab, BadValuesAreRefusedBeforeAnyDevice) {
  for (const char* args :
       {"set ntp --port 0", "set ntp --interval 59", "set ntp --server 255.255.255.0",
        "set ntp --zone +05:15", "set maintenance --day 8 --time 01:00:00", "set output 2",
        "set language fr", "set password", "set encoding H266"}) {
    const CliRun r = Cli(std::string(args) + " --seconds 1 " + devices_[0].serial);
    EXPECT_EQ(r.status, 2) << args << "\n" << r.out;
  }
}

TEST_F(SettingsCliLab, PasswordChangeRetiresTheOldAccount) {
  const auto& d = devices_[1];
  CliRun r = Cli("set password --new Cli-9 --seconds 2 " + d.serial);
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(Stored(d, proto::kCfgPassword),
            "<UserConfig><Account Username=\"admin\" Password=\"Cli-9\" Group=\"Administrator\" "
            "Status=\"Enable\" /></UserConfig>");
  // The CLI logs in with the account the device reports, which is now stale: the login fails.
  r = Cli("set output 0 --seconds 2 " + d.serial);
  EXPECT_EQ(r.status, 1) << r.out;
}

}  // namespace
}  // namespace vdz
