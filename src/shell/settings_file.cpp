#include "shell/settings_file.h"

#include "shell/app_paths.h"
#include "shell/ini_file.h"
#include "shell/utf8_text.h"

namespace vdz {
namespace {

constexpr char kLastDirSection[] = "LASTDIR";
constexpr char kLastDirKey[] = "PATH";
constexpr char kSettingsSection[] = "SETTINGS";
constexpr char kLanguageKey[] = "Language";

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

}  // namespace vdz
