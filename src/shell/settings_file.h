// The system's own persistent settings, in QmDodEveva_cfg.ini (SettingsFile(): the config
// folder, movable with $VDZ_CONFIG_DIR). No file exists until the first write.
//
// [LASTDIR]  PATH=     the folder last chosen for upgrading from a directory
// [SETTINGS] Language= the interface language ("Simplified Chinese", "Polish", ...). On
//                      Windows the installer put this in the registry; here it shares the one
//                      settings file so an installer or the user has a single file to edit.
// [SEARCH]   Ranges=   address ranges every search also asks one by one (devices behind a
//                      router), comma-separated: 10.2.0.0/22,10.3.0.10-10.3.0.90
//            Rate=     requests per second of that unicast search (default 2000)
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vdz {

inline constexpr std::size_t kLastUpgradeFolderMax = 259;  // characters
inline constexpr std::size_t kLanguageSettingMax = 50;     // characters

// [LASTDIR] PATH cut to 259 characters; DocumentsFolder() when the file, section or key is
// missing or the value is empty. A folder that no longer exists is still returned: the
// folder dialog decides what to show.
std::string ReadLastUpgradeFolder();
std::string ReadLastUpgradeFolder(const std::string& settings_file,
                                  const std::string& default_folder);

// Creates folder, file and section as needed. A failed write is not reported to the user:
// the next browse starts from the old or the default folder.
void WriteLastUpgradeFolder(std::string_view folder);
bool WriteLastUpgradeFolder(const std::string& settings_file, std::string_view folder);

// [SETTINGS] Language as written, or empty when missing.
std::string ReadLanguageSetting();
std::string ReadLanguageSetting(const std::string& settings_file);

// [SEARCH] Ranges as written (empty when missing); checked by the search that reads it.
std::string ReadSearchRanges();
std::string ReadSearchRanges(const std::string& settings_file);
bool WriteSearchRanges(std::string_view ranges);
bool WriteSearchRanges(const std::string& settings_file, std::string_view ranges);

// [SEARCH] Rate; default_rate when missing or not a positive whole number.
int ReadUnicastRate(int default_rate);
int ReadUnicastRate(const std::string& settings_file, int default_rate);

}  // namespace vdz
