// Every visible text is looked up by key in the string file of the chosen language.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace vdz {

struct LanguageTableOptions {
  std::string executable_folder;  // searched first for language.xml
  std::string data_folder;        // the installed copy, searched second
  std::string settings_file;      // holds the Language setting
};

// The running executable's folder, the installed data folder and SettingsFile().
LanguageTableOptions DefaultLanguageTableOptions();

inline constexpr std::size_t kLanguageTextMax = 5119;  // characters per text

// "Simplified Chinese" -> "zh-cn", "Traditional Chinese" -> "zh-tw", "Korean" -> "ko-ko",
// "Polish" -> "pl-pl"; anything else (compared exactly) -> "en-us".
const char* LanguageCodeForSetting(std::string_view setting);

class LanguageTable {
 public:
  // Reads the setting, the index file and the chosen string file; never fails: whatever is
  // missing leaves the table empty.
  explicit LanguageTable(const LanguageTableOptions& options);

  // The process-wide table, built with the default options on first use.
  static const LanguageTable& Instance();

  // UTF-8 text of key (exact, case-sensitive), empty when unloaded or missing.
  std::string Lookup(std::string_view key) const;

  const char* LanguageCode() const { return language_code_; }
  const std::string& IndexFilePath() const { return index_file_path_; }
  const std::string& StringFilePath() const { return string_file_path_; }
  bool Loaded() const { return loaded_; }  // the index file was read
  std::size_t Size() const { return entries_.size(); }

 private:
  void ReadIndex(const LanguageTableOptions& options);
  void ReadStrings();

  const char* language_code_ = "en-us";
  std::string index_file_path_;
  std::string string_file_path_;
  bool loaded_ = false;
  std::map<std::string, std::string, std::less<>> entries_;
};

// Text of key from the process-wide table; empty for a null, unknown or missing key.
std::string LookupText(const char* key);

// "zh-cn", "zh-tw", "en-us", "ko-ko" or "pl-pl".
const char* CurrentLanguageCode();

}  // namespace vdz
