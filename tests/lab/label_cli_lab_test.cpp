// viduzaver-cli label against simulated devices: the PDF's QR Code read back with pdftoppm and
// zbarimg, a device without P2P identifier, and the exit statuses.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "lab/devsim_control.h"

namespace vdz {
namespace {

namespace fs = std::filesystem;

struct ShellRun {
  int status = -1;
  std::string out;
};

ShellRun Shell(const std::string& command) {
  ShellRun run;
  FILE* p = ::popen(command.c_str(), "r");
  if (!p)
    return run;
  std::array<char, 512> buffer{};
  while (fgets(buffer.data(), buffer.size(), p))
    run.out += buffer.data();
  const int raw = ::pclose(p);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  while (!run.out.empty() && run.out.back() == '\n')
    run.out.pop_back();
  return run;
}

ShellRun Cli(const std::string& args) {
  return Shell(std::string(VDZ_CLI) + " " + args + " --seconds 3 2>/dev/null </dev/null");
}

class LabelCliLab : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = fs::temp_directory_path() / ("vdz-label-cli-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    std::ofstream(dir_ / "label.site")
        << "device sn=LB-P2P ip=192.168.1.10 type=NVS-IPCAM-RK3516_V2 p2p-id=QMLAB-9F3C-000123\n"
           "device sn=LB-NONE ip=192.168.1.11 type=NVS-IPCAM-RK3588 p2p-id=\"\"\n";
    std::string error;
    ASSERT_TRUE(lab::DevsimControl::FromEnvironment().Send("load " + (dir_ / "label.site").string(),
                                                           nullptr, &error))
        << error;
  }
  static void TearDownTestSuite() {
    lab::DevsimControl::FromEnvironment().Send("site initial");
    fs::remove_all(dir_);
  }
  static std::string Decode(const fs::path& pdf) {
    const std::string png = (dir_ / pdf.stem()).string();
    Shell("pdftoppm -r 300 -png -singlefile '" + pdf.string() + "' '" + png + "'");
    return Shell("zbarimg --quiet --raw '" + png + ".png' 2>/dev/null").out;
  }
  static fs::path dir_;
};
fs::path LabelCliLab::dir_;

TEST_F(LabelCliLab, QrOfTheLabelDecodesToTheP2pId) {
  const fs::path pdf = dir_ / "p2p.pdf";
  const ShellRun run = Cli("label LB-P2P --out " + pdf.string() + " --mac --sn --ip --account");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("lines 4"), std::string::npos) << run.out;
  EXPECT_EQ(Decode(pdf), "QMLAB-9F3C-000123");
  // By address and with a typed account, the same device, the same code.
  const fs::path by_ip = dir_ / "by-ip.pdf";
  ASSERT_EQ(Cli("label 192.168.1.10 --out " + by_ip.string() + " --account installer ''").status,
            0);
  EXPECT_EQ(Decode(by_ip), "QMLAB-9F3C-000123");
}

TEST_F(LabelCliLab, DeviceWithoutP2pIdGetsNoQr) {
  const fs::path pdf = dir_ / "none.pdf";
  const ShellRun run = Cli("label LB-NONE --out " + pdf.string() + " --sn");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("QR none"), std::string::npos) << run.out;
  EXPECT_EQ(Decode(pdf), "");
}

TEST_F(LabelCliLab, ExitStatuses) {
  EXPECT_EQ(Cli("label NO-SUCH --out " + (dir_ / "x.pdf").string()).status, 1);
  EXPECT_EQ(Cli("label LB-P2P").status, 2);
  EXPECT_EQ(Cli("label LB-P2P --out a.pdf --bogus").status, 2);
}

}  // namespace
}  // namespace vdz
