// The language files against the key list, and the key list against the keys the code uses.
#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "shell/language_keys.h"

namespace vdz {
namespace {

namespace fs = std::filesystem;

constexpr const char* kLanguageCodes[] = {"en-us", "zh-cn", "zh-tw", "ko-ko", "pl-pl"};
constexpr const char* kReferenceCode = "en-us";
// The loader cuts longer texts, so a longer text would lose its end silently.
constexpr std::size_t kMaxTextCharacters = 5119;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::set<std::string> KnownKeys() {
  return {std::begin(kAllLanguageKeys), std::end(kAllLanguageKeys)};
}

// printf conversions of a text in order; "%%" is not one, a lone or malformed "%" shows as "%?".
std::vector<std::string> PrintfSpecifiers(const std::string& text) {
  static const std::regex kConversion(
      R"(^%[-+ #0]*(\*|[0-9]+)?(\.(\*|[0-9]+))?(hh|h|ll|l|L|z|j|t)?[diouxXeEfFgGaAcspnSC])");
  std::vector<std::string> conversions;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] == '%') {
      ++i;
      continue;
    }
    std::smatch m;
    const std::string rest = text.substr(i);
    if (std::regex_search(rest, m, kConversion)) {
      conversions.push_back(m.str());
      i += m.length() - 1;
    } else {
      conversions.push_back("%?");
    }
  }
  return conversions;
}

std::size_t Utf8Characters(const std::string& text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

bool IsBlank(const std::string& text) {
  return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

std::string Join(const std::vector<std::string>& items) {
  std::string out;
  for (const auto& item : items) {
    out += out.empty() ? "" : " ";
    out += item;
  }
  return out;
}

// One string file read the way the loader reads it: every child of every Resources element of
// the top-level Lang is a key; its text is the string. Anything the loader would take
// differently from what the author meant is reported as a problem.
struct StringFile {
  std::map<std::string, std::string> texts;
  std::vector<std::string> problems;
};

StringFile LoadStringFile(const fs::path& path) {
  StringFile file;
  tinyxml2::XMLDocument doc;
  if (doc.LoadFile(path.string().c_str()) != tinyxml2::XML_SUCCESS) {
    file.problems.push_back("does not parse: " + std::string(doc.ErrorStr()));
    return file;
  }
  const tinyxml2::XMLElement* lang = doc.FirstChildElement();
  if (lang == nullptr || std::string(lang->Name()) != "Lang") {
    file.problems.push_back("first top-level element is not Lang");
    return file;
  }
  if (lang->FirstChildElement("Resources") == nullptr) {
    file.problems.push_back("Lang holds no Resources element");
  }
  for (const auto* res = lang->FirstChildElement(); res != nullptr;
       res = res->NextSiblingElement()) {
    if (std::string(res->Name()) != "Resources") {
      file.problems.push_back(std::string("unexpected element under Lang: ") + res->Name());
      continue;
    }
    for (const auto* entry = res->FirstChildElement(); entry != nullptr;
         entry = entry->NextSiblingElement()) {
      const std::string key = entry->Name();
      if (entry->FirstChildElement() != nullptr) {
        file.problems.push_back(key + ": holds elements instead of plain text");
      }
      const char* text = entry->GetText();
      // A repeated key silently replaces the earlier text.
      if (!file.texts.emplace(key, text != nullptr ? text : "").second) {
        file.problems.push_back(key + ": appears more than once");
      }
    }
  }
  return file;
}

fs::path LangDir() {
  return fs::path(VDZ_LANG_SOURCE_DIR);
}

std::string StringFileName(const std::string& code) {
  tinyxml2::XMLDocument doc;
  doc.LoadFile((LangDir() / "language.xml").string().c_str());
  const auto* lang = doc.FirstChildElement("Lang");
  for (const auto* res = lang != nullptr ? lang->FirstChildElement("Resources") : nullptr;
       res != nullptr; res = res->NextSiblingElement("Resources")) {
    const char* lan = res->Attribute("lan");
    const char* name = res->Attribute("filename");
    if (lan != nullptr && name != nullptr && code == lan) {
      return name;
    }
  }
  return {};
}

std::vector<std::string> SplitList(const std::string& list) {
  std::vector<std::string> items;
  std::istringstream in(list);
  for (std::string item; std::getline(in, item, ',');) {
    items.push_back(item);
  }
  return items;
}

TEST(LanguageKeyList, KeysAreUniqueValidElementNames) {
  EXPECT_EQ(KnownKeys().size(), kLanguageKeyCount) << "a key is listed twice";
  const std::regex kElementName("[A-Za-z_][A-Za-z0-9_]*");
  for (const char* key : kAllLanguageKeys) {
    EXPECT_TRUE(std::regex_match(key, kElementName)) << key << " cannot be an element name";
    EXPECT_NE(std::string(key).rfind("xml", 0), 0u) << key << ": names may not start with xml";
  }
  EXPECT_STREQ(keys::STARTSEARCH, "STARTSEARCH");
  EXPECT_STREQ(keys::CMediaCode_basemode, "CMediaCode_basemode");
}

TEST(LanguageIndex, ListsEveryLanguageOnceWithAnExistingPlainFileName) {
  tinyxml2::XMLDocument doc;
  ASSERT_EQ(doc.LoadFile((LangDir() / "language.xml").string().c_str()), tinyxml2::XML_SUCCESS)
      << doc.ErrorStr();
  const auto* lang = doc.FirstChildElement();
  ASSERT_NE(lang, nullptr);
  ASSERT_STREQ(lang->Name(), "Lang");

  std::map<std::string, int> seen;
  for (const auto* res = lang->FirstChildElement("Resources"); res != nullptr;
       res = res->NextSiblingElement("Resources")) {
    const char* lan = res->Attribute("lan");
    const char* name = res->Attribute("filename");
    ASSERT_NE(lan, nullptr) << "Resources entry without lan";
    ASSERT_NE(name, nullptr) << "Resources entry for " << lan << " without filename";
    ++seen[lan];
    const std::string file = name;
    EXPECT_EQ(file.find_first_of("/\\"), std::string::npos)
        << lan << ": " << file << " must lie beside the executable";
    EXPECT_TRUE(fs::is_regular_file(LangDir() / file)) << lan << ": " << file << " is missing";
  }
  for (const char* code : kLanguageCodes) {
    EXPECT_EQ(seen[code], 1) << code << " must be listed exactly once (the first entry wins)";
  }
  EXPECT_EQ(seen.size(), std::size(kLanguageCodes)) << "unknown language code in the index";
}

TEST(LanguageIndex, EveryNamedFileIsCopiedBesideTheExecutables) {
  const std::vector<std::string> copied = SplitList(VDZ_LANG_COPIED_FILES);
  std::vector<std::string> needed = {"language.xml"};
  for (const char* code : kLanguageCodes) {
    needed.push_back(StringFileName(code));
  }
  for (const auto& file : needed) {
    ASSERT_FALSE(file.empty());
    EXPECT_NE(std::find(copied.begin(), copied.end(), file), copied.end())
        << file << " is not in lang/CMakeLists.txt, so the program would not find it";
    const fs::path built = fs::path(VDZ_LANG_BUILD_DIR) / file;
    ASSERT_TRUE(fs::is_regular_file(built)) << built << " was not copied";
    EXPECT_TRUE(ReadFile(built) == ReadFile(LangDir() / file)) << built << " is stale; rebuild";
  }
}

class LanguageFileTest : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    file_name_ = StringFileName(GetParam());
    ASSERT_FALSE(file_name_.empty()) << "language.xml names no file for " << GetParam();
    file_ = LoadStringFile(LangDir() / file_name_);
  }

  std::string file_name_;
  StringFile file_;
};

TEST_P(LanguageFileTest, ReadsWithoutProblems) {
  for (const auto& problem : file_.problems) {
    ADD_FAILURE() << file_name_ << ": " << problem;
  }
}

TEST_P(LanguageFileTest, HoldsEveryKeyWithAText) {
  for (const char* key : kAllLanguageKeys) {
    const auto it = file_.texts.find(key);
    if (it == file_.texts.end()) {
      ADD_FAILURE() << file_name_ << ": key " << key << " is missing";
    } else if (IsBlank(it->second)) {
      ADD_FAILURE() << file_name_ << ": key " << key << " has no text";
    } else if (Utf8Characters(it->second) > kMaxTextCharacters) {
      ADD_FAILURE() << file_name_ << ": key " << key << " is longer than " << kMaxTextCharacters;
    }
  }
}

TEST_P(LanguageFileTest, HoldsNoKeyOutsideTheList) {
  const auto known = KnownKeys();
  for (const auto& [key, text] : file_.texts) {
    EXPECT_TRUE(known.count(key)) << file_name_ << ": " << key
                                  << " is not in src/shell/language_keys.h";
  }
}

TEST_P(LanguageFileTest, UsesTheSamePrintfConversionsAsEnglish) {
  const StringFile reference = LoadStringFile(LangDir() / StringFileName(kReferenceCode));
  for (const auto& [key, text] : file_.texts) {
    const auto ref = reference.texts.find(key);
    if (ref == reference.texts.end()) {
      continue;  // reported by HoldsEveryKeyWithAText for the reference file
    }
    EXPECT_EQ(PrintfSpecifiers(text), PrintfSpecifiers(ref->second))
        << file_name_ << ": " << key << " has [" << Join(PrintfSpecifiers(text)) << "], "
        << kReferenceCode << " has [" << Join(PrintfSpecifiers(ref->second)) << "]";
  }
}

// Column headings go to the list control as "name,width;name,width;...".
TEST_P(LanguageFileTest, ColumnHeadingsCarryNoHeaderSeparators) {
  const char* headings[] = {
      keys::IP,    keys::SN,          keys::MAC,   keys::VERSIONNUMBER,
      keys::STATE, keys::RUNNINGTIME, keys::MODEL, keys::IDS_STR_ZH_CN_PB_TIPS24};
  for (const char* key : headings) {
    const auto it = file_.texts.find(key);
    ASSERT_NE(it, file_.texts.end()) << file_name_ << ": " << key;
    EXPECT_EQ(it->second.find_first_of(",;"), std::string::npos)
        << file_name_ << ": heading " << key << " \"" << it->second << "\" would split a column";
  }
}

std::string LanguageTestName(const ::testing::TestParamInfo<const char*>& param) {
  std::string name = param.param;
  std::replace(name.begin(), name.end(), '-', '_');
  return name;
}

INSTANTIATE_TEST_SUITE_P(AllLanguages, LanguageFileTest, ::testing::ValuesIn(kLanguageCodes),
                         LanguageTestName);

TEST(PrintfSpecifiers, FindsConversionsInOrder) {
  struct Case {
    const char* text;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"Devices found:", {}},
      {"%s %d", {"%s", "%d"}},
      {"100%% done", {}},
      {"%02d:%02d:%02d %s:%s", {"%02d", "%02d", "%02d", "%s", "%s"}},
      {"%-10.3lf and %ld", {"%-10.3lf", "%ld"}},
      {"50% off", {"% o"}},  // a stray percent sign reads as a conversion
      {"100%!", {"%?"}},
      {"ends in %", {"%?"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PrintfSpecifiers(c.text), c.expected) << c.text;
  }
}

// Keys the code names literally: LookupText("KEY"), Lookup("KEY") and keys::KEY. Comments are
// skipped so that prose about a key is not taken for a use.
struct KeyUse {
  std::string key;
  int line = 0;
};

std::string StripComments(const std::string& source) {
  std::string out;
  out.reserve(source.size());
  for (std::size_t i = 0; i < source.size(); ++i) {
    const char c = source[i];
    if (c == '"' || c == '\'') {
      out += c;
      for (++i; i < source.size() && source[i] != c; ++i) {
        if (source[i] == '\\' && i + 1 < source.size()) {
          out += source[i++];
        }
        out += source[i];
      }
      if (i < source.size()) {
        out += c;
      }
    } else if (source.compare(i, 2, "//") == 0) {
      while (i < source.size() && source[i] != '\n') {
        ++i;
      }
      if (i < source.size()) {
        out += '\n';
      }
    } else if (source.compare(i, 2, "/*") == 0) {
      const std::size_t end = source.find("*/", i + 2);
      const std::size_t stop = end == std::string::npos ? source.size() : end + 2;
      out.append(
          static_cast<std::size_t>(std::count(source.begin() + static_cast<long>(i),
                                              source.begin() + static_cast<long>(stop), '\n')),
          '\n');
      i = stop - 1;
    } else {
      out += c;
    }
  }
  return out;
}

std::vector<KeyUse> FindKeyUses(const std::string& source) {
  static const std::regex kUse(
      R"(\bLookup(?:Text)?\s*\(\s*"([^"\\]*)\"|\bkeys::([A-Za-z_][A-Za-z0-9_]*))");
  const std::string code = StripComments(source);
  std::vector<KeyUse> uses;
  for (auto it = std::sregex_iterator(code.begin(), code.end(), kUse); it != std::sregex_iterator();
       ++it) {
    const auto& m = *it;
    const int line =
        1 + static_cast<int>(std::count(code.begin(), code.begin() + m.position(0), '\n'));
    uses.push_back({m[1].matched ? m[1].str() : m[2].str(), line});
  }
  return uses;
}

TEST(KeyUseScanner, FindsLiteralAndNamedKeysOutsideComments) {
  const std::string source =
      "#include \"shell/language_keys.h\"\n"
      "auto a = LookupText(\"STARTSEARCH\");\n"
      "auto b = LookupText(keys::STOPSEARCH);  // keys::NOT_A_USE\n"
      "/* LookupText(\"ALSO_NOT\")\n"
      "   keys::NOR_THIS */ auto c = table.Lookup( \"TEXT34\" );\n"
      "auto d = Show(vdz::keys::DAY, \"http://%s:%d\");\n";
  const auto uses = FindKeyUses(source);
  std::vector<std::string> found;
  std::vector<int> lines;
  for (const auto& use : uses) {
    found.push_back(use.key);
    lines.push_back(use.line);
  }
  EXPECT_EQ(found, (std::vector<std::string>{"STARTSEARCH", "STOPSEARCH", "TEXT34", "DAY"}));
  EXPECT_EQ(lines, (std::vector<int>{2, 3, 5, 6}));
}

TEST(KeyUseScanner, EveryKeyTheSourceTreeUsesIsListed) {
  const auto known = KnownKeys();
  const fs::path src(VDZ_SRC_DIR);
  int files = 0;
  for (const auto& entry : fs::recursive_directory_iterator(src)) {
    const auto ext = entry.path().extension();
    if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h")) {
      continue;
    }
    // The list itself spells keys::name inside its macros.
    if (entry.path().filename() == "language_keys.h") {
      continue;
    }
    ++files;
    for (const auto& use : FindKeyUses(ReadFile(entry.path()))) {
      EXPECT_TRUE(known.count(use.key))
          << fs::relative(entry.path(), src).string() << ":" << use.line << ": key " << use.key
          << " is not in src/shell/language_keys.h (and so not in the language files)";
    }
  }
  EXPECT_GT(files, 0) << "no source files found under " << src;
}

}  // namespace
}  // namespace vdz
