#include "shell/language_table.h"

#include <gtest/gtest.h>

#include <string>

#include "shell/temp_env.h"

namespace vdz {
namespace {

using test::ScratchFolder;
using test::WriteTextFile;

std::string Index(const std::string& resources) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Lang>\n" + resources + "</Lang>\n";
}

std::string Strings(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Lang>\n" + body + "</Lang>\n";
}

class LanguageTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    options_.executable_folder = scratch_ / "bin";
    options_.data_folder = scratch_ / "share/viduzaver";
    options_.settings_file = scratch_ / "config/QmDodEveva_cfg.ini";
  }

  void SetLanguage(const std::string& value) {
    WriteTextFile(options_.settings_file, "[SETTINGS]\nLanguage=" + value + "\n");
  }

  // An index with every language and one string file per language whose STARTSEARCH names it.
  void InstallAllLanguages(const std::string& folder) {
    std::string resources;
    for (const char* code : {"zh-cn", "zh-tw", "en-us", "ko-ko", "pl-pl"}) {
      const std::string file = std::string("lang_") + code + ".xml";
      resources += "  <Resources lan=\"" + std::string(code) + "\" filename=\"" + file + "\"/>\n";
      WriteTextFile(folder + "/" + file,
                    Strings("<Resources><STARTSEARCH>search " + std::string(code) +
                            "</STARTSEARCH></Resources>\n"));
    }
    WriteTextFile(folder + "/language.xml", Index(resources));
  }

  ScratchFolder scratch_;
  LanguageTableOptions options_;
};

TEST(LanguageCodeForSetting, MapsExactNamesOnly) {
  struct Case {
    const char* setting;
    const char* code;
  };
  const Case cases[] = {
      {"Simplified Chinese", "zh-cn"},
      {"Traditional Chinese", "zh-tw"},
      {"Korean", "ko-ko"},
      {"Polish", "pl-pl"},
      {"English", "en-us"},
      {"polish", "en-us"},
      {"POLISH", "en-us"},
      {"Polish ", "en-us"},
      {"", "en-us"},
      {"simplified chinese", "en-us"},
  };
  for (const Case& c : cases)
    EXPECT_STREQ(LanguageCodeForSetting(c.setting), c.code) << c.setting;
}

TEST_F(LanguageTableTest, SettingChoosesTheStringFile) {
  InstallAllLanguages(options_.executable_folder);
  struct Case {
    const char* setting;
    const char* code;
  };
  const Case cases[] = {{nullptr, "en-us"},  // no settings file
                        {"Polish", "pl-pl"},
                        {"polish", "en-us"},
                        {"Simplified Chinese", "zh-cn"},
                        {"Traditional Chinese", "zh-tw"},
                        {"Korean", "ko-ko"},
                        {"Klingon", "en-us"}};
  for (const Case& c : cases) {
    if (c.setting)
      SetLanguage(c.setting);
    const LanguageTable table(options_);
    EXPECT_STREQ(table.LanguageCode(), c.code) << (c.setting ? c.setting : "(none)");
    EXPECT_TRUE(table.Loaded());
    EXPECT_EQ(table.StringFilePath(),
              options_.executable_folder + "/lang_" + std::string(c.code) + ".xml");
    EXPECT_EQ(table.Lookup("STARTSEARCH"), "search " + std::string(c.code));
  }
}

TEST_F(LanguageTableTest, FirstIndexEntryForTheCodeWins) {
  SetLanguage("Polish");
  const std::string& bin = options_.executable_folder;
  WriteTextFile(bin + "/language.xml",
                Index("<Resources lan=\"en-us\" filename=\"en.xml\"/>\n"
                      "<Resources lan=\"pl-pl\"/>\n"  // no file name: not an entry
                      "<Resources lan=\"pl-pl\" filename=\"pl_first.xml\"/>\n"
                      "<Resources lan=\"pl-pl\" filename=\"pl_second.xml\"/>\n"));
  WriteTextFile(bin + "/pl_first.xml", Strings("<Resources><OK>pierwszy</OK></Resources>"));
  WriteTextFile(bin + "/pl_second.xml", Strings("<Resources><OK>drugi</OK></Resources>"));
  const LanguageTable table(options_);
  EXPECT_EQ(table.StringFilePath(), bin + "/pl_first.xml");
  EXPECT_EQ(table.Lookup("OK"), "pierwszy");
}

TEST_F(LanguageTableTest, ReadsEveryResourcesBlockAndTheLaterKeyWins) {
  const std::string& bin = options_.executable_folder;
  WriteTextFile(bin + "/language.xml", Index("<Resources lan=\"en-us\" filename=\"en.xml\"/>"));
  WriteTextFile(bin + "/en.xml",
                Strings("<Resources>\n"
                        "  <TEXT21>Question</TEXT21>\n"
                        "  <STATE>State</STATE>\n"
                        "  <EMPTY></EMPTY>\n"
                        "  <NESTED><b><i>deep text</i></b></NESTED>\n"
                        "  <KEPT>kept</KEPT>\n"
                        "</Resources>\n"
                        "<Other><IGNORED>x</IGNORED></Other>\n"
                        "<Resources>\n"
                        "  <TEXT21>Confirm</TEXT21>\n"
                        "  <KEPT/>\n"  // no text: does not remove the earlier one
                        "  <AMP>Stop &amp; go</AMP>\n"
                        "  <ZH>开始搜索</ZH>\n"
                        "  <BAD>a\xFF"
                        "b</BAD>\n"
                        "</Resources>\n"));
  const LanguageTable table(options_);
  EXPECT_EQ(table.Lookup("TEXT21"), "Confirm");
  EXPECT_EQ(table.Lookup("STATE"), "State");
  EXPECT_EQ(table.Lookup("NESTED"), "deep text");
  EXPECT_EQ(table.Lookup("KEPT"), "kept");
  EXPECT_EQ(table.Lookup("AMP"), "Stop & go");
  EXPECT_EQ(table.Lookup("ZH"), "开始搜索");
  EXPECT_EQ(table.Lookup("BAD"),
            "a\xEF\xBF\xBD"
            "b");  // invalid UTF-8 is replaced
  EXPECT_EQ(table.Lookup("EMPTY"), "");
  EXPECT_EQ(table.Lookup("IGNORED"), "");
  EXPECT_EQ(table.Lookup("text21"), "");  // keys are case-sensitive
  EXPECT_EQ(table.Lookup("MSGTIP99"), "");
  EXPECT_EQ(table.Size(), 7u);
}

TEST_F(LanguageTableTest, TextsAreCutTo5119Characters) {
  const std::string& bin = options_.executable_folder;
  std::string exact, longer;
  for (int i = 0; i < 5119; ++i)
    exact += "中";
  for (int i = 0; i < 6000; ++i)
    longer += i % 2 ? "a" : "é";
  WriteTextFile(bin + "/language.xml", Index("<Resources lan=\"en-us\" filename=\"en.xml\"/>"));
  WriteTextFile(bin + "/en.xml", Strings("<Resources><EXACT>" + exact + "</EXACT><LONG>" + longer +
                                         "</LONG></Resources>"));
  const LanguageTable table(options_);
  EXPECT_EQ(table.Lookup("EXACT"), exact);
  std::string expected;
  for (int i = 0; i < 5119; ++i)
    expected += i % 2 ? "a" : "é";
  EXPECT_EQ(table.Lookup("LONG"), expected);
}

TEST_F(LanguageTableTest, IndexBesideTheExecutableWinsOverTheDataFolder) {
  SetLanguage("Korean");
  InstallAllLanguages(options_.data_folder);
  {
    const LanguageTable table(options_);
    EXPECT_EQ(table.IndexFilePath(), options_.data_folder + "/language.xml");
    EXPECT_EQ(table.StringFilePath(), options_.data_folder + "/lang_ko-ko.xml");
    EXPECT_EQ(table.Lookup("STARTSEARCH"), "search ko-ko");
  }
  const std::string& bin = options_.executable_folder;
  WriteTextFile(bin + "/language.xml", Index("<Resources lan=\"ko-ko\" filename=\"ko.xml\"/>"));
  WriteTextFile(bin + "/ko.xml",
                Strings("<Resources><STARTSEARCH>beside</STARTSEARCH></Resources>"));
  const LanguageTable table(options_);
  EXPECT_EQ(table.IndexFilePath(), bin + "/language.xml");
  EXPECT_EQ(table.Lookup("STARTSEARCH"), "beside");
}

TEST_F(LanguageTableTest, MissingOrBrokenFilesGiveEmptyTexts) {
  SetLanguage("Polish");
  {
    const LanguageTable table(options_);  // no language files at all
    EXPECT_FALSE(table.Loaded());
    EXPECT_STREQ(table.LanguageCode(), "pl-pl");
    EXPECT_EQ(table.Lookup("STARTSEARCH"), "");
    EXPECT_EQ(table.Size(), 0u);
  }
  const std::string index = options_.executable_folder + "/language.xml";
  struct Case {
    const char* what;
    std::string index_text;
    bool loaded;
  };
  const Case cases[] = {
      {"unparsable index", "<Lang><Resources lan=", false},
      {"no Lang element", "<?xml version=\"1.0\"?><Other/>", true},
      {"no entry for the language", Index("<Resources lan=\"en-us\" filename=\"en.xml\"/>"), true},
      {"string file missing", Index("<Resources lan=\"pl-pl\" filename=\"gone.xml\"/>"), true},
      {"string file unparsable", Index("<Resources lan=\"pl-pl\" filename=\"broken.xml\"/>"), true},
  };
  WriteTextFile(options_.executable_folder + "/en.xml",
                Strings("<Resources><STARTSEARCH>Search</STARTSEARCH></Resources>"));
  WriteTextFile(options_.executable_folder + "/broken.xml", "<Lang><Resources><A>x</A>");
  for (const Case& c : cases) {
    WriteTextFile(index, c.index_text);
    const LanguageTable table(options_);
    EXPECT_EQ(table.Loaded(), c.loaded) << c.what;
    EXPECT_EQ(table.Lookup("STARTSEARCH"), "") << c.what;
    EXPECT_EQ(table.Size(), 0u) << c.what;
  }
}

TEST(LanguageTableProcess, LookupTextNeverFails) {
  EXPECT_EQ(LookupText(nullptr), "");
  EXPECT_EQ(LookupText("NO_SUCH_KEY_ANYWHERE"), "");
  const std::string code = CurrentLanguageCode();
  EXPECT_TRUE(code == "zh-cn" || code == "zh-tw" || code == "en-us" || code == "ko-ko" ||
              code == "pl-pl")
      << code;
  EXPECT_EQ(&LanguageTable::Instance(), &LanguageTable::Instance());
}

}  // namespace
}  // namespace vdz
