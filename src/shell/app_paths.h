// The one place that knows where the system's files live. Every location can be
// moved by an environment variable so tests and portable installs never touch $HOME.
#pragma once

#include <string>
#include <string_view>

namespace vdz {

// Folder of the running executable (from /proc/self/exe); empty when it cannot be read.
std::string ExecutableFolder();

// Installed read-only data (language files), fixed at build time.
std::string DataFolder();

// $VDZ_CONFIG_DIR, else $XDG_CONFIG_HOME/viduzaver, else ~/.config/viduzaver.
std::string ConfigFolder();

// $VDZ_DOCUMENTS_DIR, else XDG_DOCUMENTS_DIR from user-dirs.dirs, else ~/Documents when it
// exists, else the home folder.
std::string DocumentsFolder();

// Files the program writes for the user (configuration exports): $VDZ_USER_DATA_DIR, else
// $XDG_DATA_HOME/viduzaver, else ~/.local/share/viduzaver.
std::string UserDataFolder();

// $VDZ_LOG_DIR, else $XDG_STATE_HOME/viduzaver/log, else ~/.local/state/viduzaver/log.
std::string LogFolder();

// The diagnostic log's control file: $VDZ_DEBUG_CFG, else ConfigFolder()/uc_dbg.cfg.
std::string DebugControlFile();

// ConfigFolder()/QmDodEveva_cfg.ini
std::string SettingsFile();

// a + "/" + b without doubling the slash; either side may be empty.
std::string JoinPath(std::string_view a, std::string_view b);

// $HOME, else the password database entry, else "/".
std::string HomeFolder();

}  // namespace vdz
