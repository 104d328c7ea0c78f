// The pure parts of the upgrade and export: which image a model gets, the progress text and
// where an export goes.
#include "devops/firmware_upgrade.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "devops/config_transfer.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"

namespace vdz {
namespace {

namespace fs = std::filesystem;

TEST(FirmwareUpgradeTest, FolderMatchFollowsTheAfRuleAndTheLastSortedCandidate) {
  const fs::path dir = fs::temp_directory_path() / ("vdz-fw-" + std::to_string(::getpid()));
  fs::create_directories(dir / "sub_AF");
  for (const char* name :
       {"firmware_X1_AF.bin", "firmware_X1_v2.bin", "firmware_X1.bin", "firmware_X1_v1.bin",
        "firmware_X12.txt", "other_X1.bin", "Firmware_Q7.BIN", "FIRMWARE_Q7_af.Bin"}) {
    std::ofstream(dir / name) << "x";
  }
  std::ofstream(dir / "sub_AF" / "firmware_Y.bin") << "x";
  struct Case {
    std::string folder;
    const char* type;
    std::string expected;  // file name, empty: none
  } cases[] = {
      {dir.string(), "NVS-IPCAM-X1", "firmware_X1_v2.bin"},
      {dir.string(), "NVS-IPCAM-X1_AF", "firmware_X1_AF.bin"},
      {dir.string(), "X1", "firmware_X1_v2.bin"},
      {dir.string(), "NVS-IPCAM-Z9", ""},
      // Letter case of the name and the extension does not count, the _AF rule included.
      {dir.string(), "NVS-IPCAM-Q7", "Firmware_Q7.BIN"},
      {dir.string(), "NVS-IPCAM-q7_AF", "FIRMWARE_Q7_af.Bin"},
      // The folder's own name does not count for the _AF rule.
      {(dir / "sub_AF").string(), "NVS-IPCAM-Y", "firmware_Y.bin"},
      {(dir / "missing").string(), "NVS-IPCAM-X1", ""},
  };
  for (const Case& c : cases) {
    const std::string got = ChooseFirmwareImage(c.folder, FirmwareModel(c.type));
    EXPECT_EQ(got, c.expected.empty() ? "" : c.folder + "/" + c.expected) << c.type;
  }
  fs::remove_all(dir);
}

TEST(FirmwareUpgradeTest, ProgressTextClampsAndPads) {
  const std::string upload = LookupText(keys::UPLOAD);
  struct Case {
    int percent;
    std::string expected;
  } cases[] = {
      {130, upload + ": 100%"}, {7, upload + ": 07%"}, {100, upload + ": 100%"}, {0, ""}, {-5, ""}};
  for (const Case& c : cases)
    EXPECT_EQ(UpgradeProgressText(c.percent), c.expected) << c.percent;
}

TEST(FirmwareUpgradeTest, ExportPathsStayInTheirFolder) {
  EXPECT_EQ(ConfigExportPath("/d", "SN1", "10.0.0.5"), "/d/config_SN1_10.0.0.5.xml");
  EXPECT_EQ(ConfigExportPath("/d", "../../etc/x", "1.2.3.4"), "/d/config_.._.._etc_x_1.2.3.4.xml");
  EXPECT_EQ(ConfigExportPath("/d", "a\\b\nc", "x/y"), "/d/config_a_b_c_x_y.xml");
}

}  // namespace
}  // namespace vdz
