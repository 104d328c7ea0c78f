// On a site without devices, the command-line tool refuses input it cannot use before it sends
// anything, and a command that finds no device to act on says so and fails.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "lab/cli_process.h"
#include "lab/devsim_control.h"
#include "support/pcm_compare.h"

namespace vdz {
namespace {

namespace fs = std::filesystem;

class CliInputChecksLab : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("vdz-cli-checks-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  // Standard error too: the reasons are told there.
  lab::CliRun Run(const std::string& args) {
    return lab::RunShell("( " + std::string(VDZ_CLI) + " " + args + " 2>&1 )");
  }
  lab::DevsimControl control_ = lab::DevsimControl::FromEnvironment();
  fs::path dir_;
};

TEST_F(CliInputChecksLab, UnusableInputIsRefusedBeforeAnyRequest) {
  // Not a folder: refused whoever runs the test, root included.
  const std::string blocked = "/etc/passwd/sub";
  struct Case {
    std::string args;
    std::string reason;
  } cases[] = {
      {"upgrade --file /dev/null --all", "/dev/null is not a firmware image"},
      {"upgrade --folder " + blocked + " --all", blocked + " is not a folder"},
      {"broadcast /etc/passwd --all", "/etc/passwd holds no MP3 audio"},
      {"label SN1 --out " + blocked + "/l.pdf", "cannot write " + blocked + "/l.pdf"},
      {"snapshot-stream SN1 --out " + blocked + "/s.png", "cannot write " + blocked + "/s.png"},
      {"export-config --dir " + blocked + " --all", "cannot write into " + blocked},
      {"snapshot --dir " + blocked + " --all", "cannot write into " + blocked},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(control_.ClearRequestLog());
    const lab::CliRun r = Run(c.args);
    EXPECT_EQ(r.status, 2) << c.args << "\n" << r.out;
    EXPECT_NE(r.out.find("viduzaver-cli: " + c.reason), std::string::npos) << c.args << "\n"
                                                                           << r.out;
    EXPECT_TRUE(control_.RequestLog().empty()) << c.args;
  }
}

TEST_F(CliInputChecksLab, NoDeviceToActOnFails) {
  ASSERT_TRUE(vdz::testing::MakeToneMp3(dir_.string(), "tone.mp3", 16000, 1, 0.5));
  const std::string mp3 = (dir_ / "tone.mp3").string();
  for (const std::string& args : std::vector<std::string>{
           "set output 0 --seconds 1 --all", "broadcast " + mp3 + " --seconds 1 --all",
           "export-config --seconds 1 --dir " + dir_.string() + " --all",
           "terminal restart --seconds 1 SN-NOBODY"}) {
    const lab::CliRun r = Run(args);
    EXPECT_EQ(r.status, 1) << args << "\n" << r.out;
    EXPECT_NE(r.out.find("no device found\n"), std::string::npos) << args << "\n" << r.out;
  }
}

}  // namespace
}  // namespace vdz
