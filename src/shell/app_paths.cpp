#include "shell/app_paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#ifndef VDZ_DATA_DIR
#define VDZ_DATA_DIR "/usr/local/share/viduzaver"
#endif

namespace vdz {
namespace {

// An unset and an empty variable mean the same: XDG says empty values are ignored.
std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

bool IsFolder(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_directory(path, ec);
}

std::string XdgConfigHome() {
  std::string base = Env("XDG_CONFIG_HOME");
  // Relative values are invalid per the XDG base directory rules.
  if (base.empty() || base.front() != '/')
    base = JoinPath(HomeFolder(), ".config");
  return base;
}

// user-dirs.dirs lines look like XDG_DOCUMENTS_DIR="$HOME/Documents"; only "$HOME/..."
// and absolute paths are valid there.
std::string XdgDocumentsFromUserDirs() {
  std::ifstream in(JoinPath(XdgConfigHome(), "user-dirs.dirs"));
  std::string line;
  constexpr std::string_view kKey = "XDG_DOCUMENTS_DIR=";
  while (std::getline(in, line)) {
    std::string_view text(line);
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
      text.remove_prefix(1);
    if (text.substr(0, kKey.size()) != kKey)
      continue;
    text.remove_prefix(kKey.size());
    if (text.size() < 2 || text.front() != '"')
      continue;
    const std::size_t close = text.find('"', 1);
    if (close == std::string_view::npos)
      continue;
    text = text.substr(1, close - 1);
    constexpr std::string_view kHome = "$HOME";
    if (text.substr(0, kHome.size()) == kHome &&
        (text.size() == kHome.size() || text[kHome.size()] == '/')) {
      return HomeFolder() + std::string(text.substr(kHome.size()));
    }
    if (!text.empty() && text.front() == '/')
      return std::string(text);
  }
  return {};
}

}  // namespace

std::string HomeFolder() {
  std::string home = Env("HOME");
  if (!home.empty())
    return home;
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir && *pw->pw_dir)
    return pw->pw_dir;
  return "/";
}

std::string JoinPath(std::string_view a, std::string_view b) {
  if (a.empty())
    return std::string(b);
  if (b.empty())
    return std::string(a);
  std::string joined(a);
  while (!b.empty() && b.front() == '/')
    b.remove_prefix(1);
  if (joined.back() != '/')
    joined += '/';
  joined += b;
  return joined;
}

std::string ExecutableFolder() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec)
    return {};
  return exe.parent_path().string();
}

std::string DataFolder() {
  // Tests and uninstalled runs point at a build's language files.
  std::string folder = Env("VDZ_DATA_DIR");
  if (!folder.empty())
    return folder;
  // An installed copy moved to another prefix (a package unpacked elsewhere, a staging
  // folder) still finds its data beside its bin folder.
  const std::string exe = ExecutableFolder();
  if (!exe.empty()) {
    const std::filesystem::path beside =
        std::filesystem::path(exe).parent_path() / "share" / "viduzaver";
    std::error_code ec;
    if (std::filesystem::is_directory(beside, ec))
      return beside.string();
  }
  return VDZ_DATA_DIR;
}

std::string ConfigFolder() {
  std::string folder = Env("VDZ_CONFIG_DIR");
  if (!folder.empty())
    return folder;
  return JoinPath(XdgConfigHome(), "viduzaver");
}

std::string DocumentsFolder() {
  std::string folder = Env("VDZ_DOCUMENTS_DIR");
  if (!folder.empty())
    return folder;
  folder = XdgDocumentsFromUserDirs();
  if (!folder.empty())
    return folder;
  const std::string home = HomeFolder();
  folder = JoinPath(home, "Documents");
  return IsFolder(folder) ? folder : home;
}

std::string UserDataFolder() {
  std::string folder = Env("VDZ_USER_DATA_DIR");
  if (!folder.empty())
    return folder;
  std::string data = Env("XDG_DATA_HOME");
  if (data.empty() || data.front() != '/')
    data = JoinPath(HomeFolder(), ".local/share");
  return JoinPath(data, "viduzaver");
}

std::string LogFolder() {
  std::string folder = Env("VDZ_LOG_DIR");
  if (!folder.empty())
    return folder;
  std::string state = Env("XDG_STATE_HOME");
  if (state.empty() || state.front() != '/')
    state = JoinPath(HomeFolder(), ".local/state");
  return JoinPath(JoinPath(state, "viduzaver"), "log");
}

std::string DebugControlFile() {
  std::string file = Env("VDZ_DEBUG_CFG");
  if (!file.empty())
    return file;
  return JoinPath(ConfigFolder(), "uc_dbg.cfg");
}

std::string SettingsFile() {
  return JoinPath(ConfigFolder(), "QmDodEveva_cfg.ini");
}

}  // namespace vdz
