// viduzaver-cli upgrade, export-config, import-config and factory-restore against the
// simulated site: result lines, JSON and the exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "lab/cli_process.h"
#include "lab/devsim_control.h"
#include "protocol/firmware_image.h"

namespace vdz {
namespace {

using lab::Cli;
using lab::CliRun;

namespace fs = std::filesystem;

class TransferCliLab : public ::testing::Test {
 protected:
  void SetUp() override {
    devices_ = control_.Devices();
    ASSERT_GE(devices_.size(), 3u);
    dir_ = fs::temp_directory_path() / ("vdz-cli-xfer-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    control_.Send("sdk-transfer-fault all none");
    control_.Send("sdk-write-ms all 200");
  }
  void TearDown() override {
    control_.Send("sdk-transfer-fault all none");
    fs::remove_all(dir_);
  }
  lab::DevsimControl control_ = lab::DevsimControl::FromEnvironment();
  std::vector<lab::DevsimDevice> devices_;
  fs::path dir_;
};

TEST_F(TransferCliLab, UpgradeReportsEachDeviceAndFailsWhenOneFailed) {
  const auto& good = devices_[0];
  const auto& refused = devices_[5];  // same type: the simulator cycles five types
  ASSERT_EQ(good.type, refused.type);
  control_.Send("sdk-transfer-fault " + refused.serial + " refuse-image");
  std::string body(300 * 1024, 'z');
  const std::string image = (dir_ / "fw.bin").string();
  std::ofstream(image, std::ios::binary)
      << sdkproto::FirmwareImageHeader(good.type, "V5.5.5-cli", body) << body;
  const CliRun r = Cli("upgrade --seconds 2 --timeout 60 --format json --file " + image + " " +
                       good.serial + " " + refused.ip);
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find("\"serial\": \"" + good.serial + "\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"version\": \"V5.5.5-cli\""), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\"ok\": false"), std::string::npos) << r.out;
  EXPECT_EQ(control_.Device(good.serial)->version, "V5.5.5-cli");
}

TEST_F(TransferCliLab, ConfigurationCommands) {
  const std::string serials = devices_[1].serial + " " + devices_[2].serial;
  CliRun r = Cli("export-config --seconds 2 --dir " + dir_.string() + " " + serials);
  EXPECT_EQ(r.status, 0) << r.out;
  for (int i : {1, 2}) {
    const auto& d = devices_[static_cast<std::size_t>(i)];
    EXPECT_TRUE(fs::exists(dir_ / ("config_" + d.serial + "_" + d.ip + ".xml"))) << r.out;
  }
  r = Cli("import-config --seconds 2 '' " + serials);
  EXPECT_EQ(r.status, 1) << r.out;
  const std::string file =
      (dir_ / ("config_" + devices_[1].serial + "_" + devices_[1].ip + ".xml")).string();
  r = Cli("import-config --seconds 2 --format json " + file + " " + serials);
  EXPECT_EQ(r.status, 0) << r.out;
  for (int i : {1, 2}) {
    const std::string serial = "\"serial\": \"" + devices_[static_cast<std::size_t>(i)].serial;
    const std::size_t at = r.out.find(serial);
    EXPECT_NE(at, std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("\"ok\": true", at), r.out.find("\"ok\":", at)) << r.out;
  }
  // Without --yes and without a terminal to ask on, nothing is restored.
  r = Cli("factory-restore --seconds 2 " + devices_[1].serial);
  EXPECT_EQ(r.status, 2) << r.out;
  r = Cli("upgrade --seconds 2 " + devices_[1].serial);
  EXPECT_EQ(r.status, 2) << r.out;
}

// Every SDK call of the batch commands is one line of the diagnostic log.
TEST_F(TransferCliLab, BatchCommandsLogOneLinePerCall) {
  const fs::path logs = dir_ / "log";
  fs::create_directories(logs);
  std::ofstream(dir_ / "uc_dbg.cfg") << "file=1;";
  const std::string env =
      "VDZ_DEBUG_CFG=" + (dir_ / "uc_dbg.cfg").string() + " VDZ_LOG_DIR=" + logs.string() + " ";
  const std::string serials = devices_[1].serial + " " + devices_[2].serial;
  std::string body(64 * 1024, 'z');
  const std::string image = (dir_ / "fw.bin").string();
  std::ofstream(image, std::ios::binary)
      << sdkproto::FirmwareImageHeader(devices_[1].type, "V-LOG", body) << body;
  for (const std::string& args :
       {"export-config --seconds 2 --dir " + dir_.string() + " " + serials,
        "set output 0 --seconds 2 " + serials,
        "upgrade --seconds 2 --file " + image + " " + devices_[1].serial}) {
    EXPECT_EQ(lab::RunShell(env + VDZ_CLI + " " + args).status, 0) << args;
  }
  std::map<std::string, int> calls;
  for (const auto& entry : fs::directory_iterator(logs)) {
    std::ifstream in(entry.path());
    for (std::string line; std::getline(in, line);) {
      ASSERT_EQ(line.rfind("ReVirErezi: ", 0), 0u) << line;
      EXPECT_EQ(line.find("ReVirErezi", 1), std::string::npos) << line;
      for (const char* call : {"QM_NETSDK_IPC_GetConfigFile ", "QM_NETSDK_IPC_SystemControl ",
                               "QM_NETSDK_IPC_SetDVRConfig ", "QM_NETSDK_IPC_Upgrade "}) {
        calls[call] += line.find(call) != std::string::npos;
      }
    }
  }
  EXPECT_EQ(calls["QM_NETSDK_IPC_GetConfigFile "], 2);
  EXPECT_EQ(calls["QM_NETSDK_IPC_SystemControl "] + calls["QM_NETSDK_IPC_SetDVRConfig "], 2);
  EXPECT_EQ(calls["QM_NETSDK_IPC_Upgrade "], 1);
}

}  // namespace
}  // namespace vdz
