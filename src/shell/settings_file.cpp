#include "shell/settings_file.h"

#include <cstdlib>

#include "shell/app_paths.h"
#include "shell/ini_file.h"
#include "shell/utf8_text.h"

namespace vdz {
namespace {

constexpr char kLastDirSection[] = "LASTDIR";
constexpr char kLastDirKey[] = "PATH";
constexpr char kSettingsSection[] = "SETTINGS";
constexpr char kLanguageKey[] = "Language";
constexpr char kSearchSection[] = "SEARCH";
constexpr char kRangesKey[] = "Ranges";
constexpr char kRateKey[] = "Rate";

}  // namespace

std::string ReadLastUpgradeFolder(const std::string& settings_file,
                                  const std::string& default_folder) {
  const auto value = IniFile::Load(settings_file).Get(kLastDirSection, kLastDirKey);
  if (!value || value->empty())
    return default_folder;
  return std::string(Utf8Prefix(*value, kLastUpgradeFolderMax));
}

std::string ReadLastUpgradeFolder() {
  return ReadLastUpgradeFolder(SettingsFile(), DocumentsFolder());
}

bool WriteLastUpgradeFolder(const std::string& settings_file, std::string_view folder) {
  IniFile ini = IniFile::Load(settings_file);
  return ini.Set(kLastDirSection, kLastDirKey, folder) && ini.Save(settings_file);
}

void WriteLastUpgradeFolder(std::string_view folder) {
  WriteLastUpgradeFolder(SettingsFile(), folder);
}

std::string ReadLanguageSetting(const std::string& settings_file) {
  return IniFile::Load(settings_file).Get(kSettingsSection, kLanguageKey).value_or("");
}

std::string ReadLanguageSetting() {
  return ReadLanguageSetting(SettingsFile());
}

std::string ReadSearchRanges(const std::string& settings_file) {
  return IniFile::Load(settings_file).Get(kSearchSection, kRangesKey).value_or("");
}

std::string ReadSearchRanges() {
  return ReadSearchRanges(SettingsFile());
}

bool WriteSearchRanges(const std::string& settings_file, std::string_view ranges) {
  IniFile ini = IniFile::Load(settings_file);
  return ini.Set(kSearchSection, kRangesKey, ranges) && ini.Save(settings_file);
}

bool WriteSearchRanges(std::string_view ranges) {
  return WriteSearchRanges(SettingsFile(), ranges);
}

int ReadUnicastRate(const std::string& settings_file, int default_rate) {
  const auto value = IniFile::Load(settings_file).Get(kSearchSection, kRateKey);
  if (!value || value->empty())
    return default_rate;
  char* end = nullptr;
  const long rate = std::strtol(value->c_str(), &end, 10);
  return *end == '\0' && rate > 0 && rate <= 1000000 ? static_cast<int>(rate) : default_rate;
}

int ReadUnicastRate(int default_rate) {
  return ReadUnicastRate(SettingsFile(), default_rate);
}

}  // namespace vdz
