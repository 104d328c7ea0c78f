#include "shell/ini_file.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "shell/temp_env.h"

namespace vdz {
namespace {

TEST(IniFile, GetFindsFirstSectionAndKeyIgnoringCase) {
  const IniFile ini = IniFile::Parse(
      "orphan=1\n"
      "; comment=ignored\n"
      "[LastDir]\n"
      "  path =  /srv/fw one  \n"
      "PATH=/second\n"
      "# note=ignored\n"
      "junk line without equals\n"
      "[Settings]\r\n"
      "Language=Polish\r\n"
      "Empty=\n"
      "[LASTDIR]\n"
      "Other=in the second LASTDIR\n");
  struct Case {
    const char* section;
    const char* key;
    std::optional<std::string> value;
  };
  const Case cases[] = {
      {"LASTDIR", "PATH", "/srv/fw one"},    {"lastdir", "Path", "/srv/fw one"},
      {"SETTINGS", "Language", "Polish"},    {"SETTINGS", "Empty", ""},
      {"SETTINGS", "comment", std::nullopt}, {"LASTDIR", "note", std::nullopt},
      {"LASTDIR", "Other", std::nullopt},  // only the first section of a name counts
      {"", "orphan", std::nullopt},          {"MISSING", "PATH", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ini.Get(c.section, c.key), c.value) << c.section << "/" << c.key;
  }
}

TEST(IniFile, SetReplacesInPlaceAndKeepsEverythingElse) {
  const std::string original =
      "; installer comment\n"
      "[LASTDIR]\n"
      "Path=/old\n"
      "junk line\n"
      "[SETTINGS]\n"
      "Language=Korean\n";
  IniFile ini = IniFile::Parse(original);
  EXPECT_EQ(ini.Text(), original);
  ASSERT_TRUE(ini.Set("LASTDIR", "PATH", "/new folder"));
  EXPECT_EQ(ini.Text(),
            "; installer comment\n"
            "[LASTDIR]\n"
            "Path=/new folder\n"
            "junk line\n"
            "[SETTINGS]\n"
            "Language=Korean\n");
}

TEST(IniFile, SetAddsKeysAndSections) {
  IniFile ini = IniFile::Parse("[A]\nx=1\n\n[B]\ny=2\n");
  ASSERT_TRUE(ini.Set("A", "z", "3"));
  ASSERT_TRUE(ini.Set("C", "w", "4"));
  EXPECT_EQ(ini.Text(), "[A]\nx=1\nz=3\n\n[B]\ny=2\n\n[C]\nw=4\n");
  EXPECT_EQ(ini.Get("A", "z"), "3");

  IniFile empty;
  ASSERT_TRUE(empty.Set("LASTDIR", "PATH", "/x"));
  EXPECT_EQ(empty.Text(), "[LASTDIR]\nPATH=/x\n");
}

TEST(IniFile, SetRefusesWhatTheFormatCannotHold) {
  IniFile ini = IniFile::Parse("[A]\nx=1\n");
  EXPECT_FALSE(ini.Set("A", "x", "two\nlines"));
  EXPECT_FALSE(ini.Set("A", "x", "carriage\rreturn"));
  EXPECT_FALSE(ini.Set("A", "k=v", "1"));
  EXPECT_FALSE(ini.Set("A]", "x", "1"));
  EXPECT_FALSE(ini.Set("", "x", "1"));
  EXPECT_FALSE(ini.Set("A", "", "1"));
  EXPECT_FALSE(ini.Set("A", ";x", "1"));
  EXPECT_EQ(ini.Text(), "[A]\nx=1\n");
}

TEST(IniFile, KeepsByteOrderMarkAndCrLf) {
  IniFile ini = IniFile::Parse("\xEF\xBB\xBF[A]\r\nx=1\r\n");
  EXPECT_EQ(ini.Get("A", "x"), "1");
  ASSERT_TRUE(ini.Set("A", "y", "2"));
  EXPECT_EQ(ini.Text(), "\xEF\xBB\xBF[A]\r\nx=1\r\ny=2\r\n");
}

TEST(IniFile, SaveCreatesFolderAndLoadReadsItBack) {
  test::ScratchFolder scratch;
  const std::string path = scratch / "deep/er/settings.ini";
  EXPECT_EQ(IniFile::Load(path).Text(), "");  // missing file reads as empty
  IniFile ini;
  ASSERT_TRUE(ini.Set("S", "k", "v"));
  ASSERT_TRUE(ini.Save(path));
  EXPECT_EQ(test::ReadTextFile(path), "[S]\nk=v\n");
  EXPECT_EQ(IniFile::Load(path).Get("S", "k"), "v");
  // No temporary file is left behind.
  int files = 0;
  for ([[maybe_unused]] const auto& entry :
       std::filesystem::directory_iterator(scratch / "deep/er")) {
    ++files;
  }
  EXPECT_EQ(files, 1);
  // A folder in the way: the save fails, nothing is thrown.
  std::filesystem::create_directories(scratch / "blocked/settings.ini");
  EXPECT_FALSE(ini.Save(scratch / "blocked/settings.ini"));
}

}  // namespace
}  // namespace vdz
