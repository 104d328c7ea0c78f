#include "shell/language_table.h"

#include <tinyxml2.h>

#include <filesystem>
#include <system_error>

#include "shell/app_paths.h"
#include "shell/settings_file.h"
#include "shell/utf8_text.h"

namespace vdz {
namespace {

constexpr char kIndexFileName[] = "language.xml";

bool IsRegularFile(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// The first text met by going down through first children; null when there is none.
const char* FirstDescendantText(const tinyxml2::XMLElement* element) {
  for (const tinyxml2::XMLNode* node = element->FirstChild(); node; node = node->FirstChild()) {
    if (const tinyxml2::XMLText* text = node->ToText())
      return text->Value();
  }
  return nullptr;
}

}  // namespace

LanguageTableOptions DefaultLanguageTableOptions() {
  return {ExecutableFolder(), DataFolder(), SettingsFile()};
}

const char* LanguageCodeForSetting(std::string_view setting) {
  if (setting == "Simplified Chinese")
    return "zh-cn";
  if (setting == "Traditional Chinese")
    return "zh-tw";
  if (setting == "Korean")
    return "ko-ko";
  if (setting == "Polish")
    return "pl-pl";
  return "en-us";
}

LanguageTable::LanguageTable(const LanguageTableOptions& options) {
  const std::string setting = ReadLanguageSetting(options.settings_file);
  if (Utf8CodePointCount(setting) <= kLanguageSettingMax) {
    language_code_ = LanguageCodeForSetting(setting);
  }
  ReadIndex(options);
  if (!string_file_path_.empty())
    ReadStrings();
}

void LanguageTable::ReadIndex(const LanguageTableOptions& options) {
  for (const std::string* folder : {&options.executable_folder, &options.data_folder}) {
    if (folder->empty())
      continue;
    std::string path = JoinPath(*folder, kIndexFileName);
    if (IsRegularFile(path)) {
      index_file_path_ = std::move(path);
      break;
    }
  }
  if (index_file_path_.empty())
    return;

  tinyxml2::XMLDocument index;
  if (index.LoadFile(index_file_path_.c_str()) != tinyxml2::XML_SUCCESS)
    return;
  loaded_ = true;
  const tinyxml2::XMLElement* lang = index.FirstChildElement("Lang");
  if (!lang)
    return;
  for (const tinyxml2::XMLElement* resources = lang->FirstChildElement("Resources"); resources;
       resources = resources->NextSiblingElement("Resources")) {
    const char* lan = resources->Attribute("lan");
    const char* filename = resources->Attribute("filename");
    if (!lan || !filename || !*filename || std::string_view(lan) != language_code_)
      continue;
    // The string file sits next to the index file that named it.
    string_file_path_ = FolderOf(index_file_path_) + "/" + filename;
    return;
  }
}

void LanguageTable::ReadStrings() {
  tinyxml2::XMLDocument strings;
  if (strings.LoadFile(string_file_path_.c_str()) != tinyxml2::XML_SUCCESS)
    return;
  const tinyxml2::XMLElement* lang = strings.FirstChildElement("Lang");
  if (!lang)
    return;
  for (const tinyxml2::XMLElement* resources = lang->FirstChildElement("Resources"); resources;
       resources = resources->NextSiblingElement("Resources")) {
    for (const tinyxml2::XMLElement* entry = resources->FirstChildElement(); entry;
         entry = entry->NextSiblingElement()) {
      const char* text = FirstDescendantText(entry);
      if (!text)
        continue;
      entries_.insert_or_assign(std::string(entry->Name()), SanitizeUtf8(text, kLanguageTextMax));
    }
  }
}

const LanguageTable& LanguageTable::Instance() {
  static const LanguageTable table(DefaultLanguageTableOptions());
  return table;
}

std::string LanguageTable::Lookup(std::string_view key) const {
  const auto it = entries_.find(key);
  return it == entries_.end() ? std::string() : it->second;
}

std::string LookupText(const char* key) {
  if (!key)
    return {};
  return LanguageTable::Instance().Lookup(key);
}

const char* CurrentLanguageCode() {
  return LanguageTable::Instance().LanguageCode();
}

}  // namespace vdz
