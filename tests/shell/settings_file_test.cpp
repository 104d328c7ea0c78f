#include "shell/settings_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "shell/app_paths.h"
#include "shell/temp_env.h"

namespace vdz {
namespace {

namespace fs = std::filesystem;
using test::ReadTextFile;
using test::ScopedEnv;
using test::ScratchFolder;
using test::WriteTextFile;

class SettingsFileTest : public ::testing::Test {
 protected:
  ScratchFolder scratch_;
  ScopedEnv config_{"VDZ_CONFIG_DIR", scratch_ / "config/viduzaver"};
  ScopedEnv documents_{"VDZ_DOCUMENTS_DIR", scratch_ / "Documents"};
  std::string file_ = scratch_ / "config/viduzaver/QmDodEveva_cfg.ini";
};

TEST_F(SettingsFileTest, FirstStartUsesDocumentsAndCreatesNothing) {
  EXPECT_EQ(SettingsFile(), file_);
  EXPECT_EQ(ReadLastUpgradeFolder(), scratch_ / "Documents");
  EXPECT_EQ(ReadLanguageSetting(), "");
  EXPECT_FALSE(fs::exists(scratch_ / "config"));
}

TEST_F(SettingsFileTest, WriteCreatesFolderFileAndSection) {
  WriteLastUpgradeFolder("/srv/firmware/2024");
  EXPECT_EQ(ReadTextFile(file_), "[LASTDIR]\nPATH=/srv/firmware/2024\n");
  EXPECT_EQ(ReadLastUpgradeFolder(), "/srv/firmware/2024");

  // A folder that no longer exists is still handed back.
  WriteLastUpgradeFolder("/gone/away");
  EXPECT_EQ(ReadLastUpgradeFolder(), "/gone/away");
  EXPECT_EQ(ReadTextFile(file_), "[LASTDIR]\nPATH=/gone/away\n");
}

TEST_F(SettingsFileTest, DefaultAppliesForMissingSectionKeyOrValue) {
  const std::string documents = scratch_ / "Documents";
  const char* texts[] = {"", "[SETTINGS]\nLanguage=Polish\n", "[LASTDIR]\nOTHER=/x\n",
                         "[LASTDIR]\nPATH=\n", "[OTHERDIR]\nPATH=/x\n"};
  for (const char* text : texts) {
    WriteTextFile(file_, text);
    EXPECT_EQ(ReadLastUpgradeFolder(), documents) << text;
  }
}

TEST_F(SettingsFileTest, LongValuesAreCutTo259Characters) {
  const std::string ascii = "/" + std::string(299, 'a');
  WriteLastUpgradeFolder(ascii);
  EXPECT_EQ(ReadLastUpgradeFolder().size(), 259u);
  EXPECT_TRUE(ReadLastUpgradeFolder() == ascii.substr(0, 259));

  std::string chinese = "/", expected = "/";
  for (int i = 0; i < 299; ++i)
    chinese += "固件";
  for (int i = 0; i < 129; ++i)
    expected += "固件";
  WriteLastUpgradeFolder(chinese);
  const std::string read = ReadLastUpgradeFolder();
  EXPECT_EQ(read.size(), expected.size());
  EXPECT_TRUE(read == expected);  // 259 characters, none split
}

TEST_F(SettingsFileTest, WriteKeepsTheRestOfTheFile) {
  WriteTextFile(file_,
                "; edited by the installer\n"
                "[SETTINGS]\n"
                "Language=Traditional Chinese\n"
                "\n"
                "[LASTDIR]\n"
                "PATH=/old\n"
                "unknown line\n");
  WriteLastUpgradeFolder("/new");
  EXPECT_EQ(ReadTextFile(file_),
            "; edited by the installer\n"
            "[SETTINGS]\n"
            "Language=Traditional Chinese\n"
            "\n"
            "[LASTDIR]\n"
            "PATH=/new\n"
            "unknown line\n");
  EXPECT_EQ(ReadLanguageSetting(), "Traditional Chinese");
}

TEST_F(SettingsFileTest, FailedWriteIsIgnored) {
  // The config folder is a file: nothing can be written, nothing is thrown.
  WriteTextFile(scratch_ / "config/viduzaver", "not a folder");
  WriteLastUpgradeFolder("/srv/firmware");
  EXPECT_EQ(ReadLastUpgradeFolder(), scratch_ / "Documents");
  EXPECT_FALSE(WriteLastUpgradeFolder(file_, "/srv/firmware"));
}

TEST_F(SettingsFileTest, FolderWithLineBreakIsNotWritten) {
  WriteLastUpgradeFolder("/srv/ok");
  EXPECT_FALSE(WriteLastUpgradeFolder(file_, "/srv/evil\n[LASTDIR]\nPATH=/elsewhere"));
  EXPECT_EQ(ReadLastUpgradeFolder(), "/srv/ok");
}

TEST_F(SettingsFileTest, SearchRangesAndRateKeepBesideTheOtherSettings) {
  WriteTextFile(file_, "[SETTINGS]\nLanguage=Polish\n");
  EXPECT_EQ(ReadSearchRanges(), "");
  EXPECT_TRUE(WriteSearchRanges("10.2.0.0/22,10.3.0.0/24"));
  EXPECT_EQ(ReadSearchRanges(), "10.2.0.0/22,10.3.0.0/24");
  EXPECT_EQ(ReadLanguageSetting(), "Polish");
  const struct {
    const char* text;
    int rate;
  } rates[] = {{"", 2000}, {"Rate=500\n", 500}, {"Rate=0\n", 2000}, {"Rate=fast\n", 2000}};
  for (const auto& r : rates) {
    WriteTextFile(file_, std::string("[SEARCH]\n") + r.text);
    EXPECT_EQ(ReadUnicastRate(2000), r.rate) << r.text;
  }
}

}  // namespace
}  // namespace vdz
