#include "onvif/account_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>

#include "onvif/probe_match_reader.h"
#include "onvif/secret_store_libsecret.h"
#include "shell/app_paths.h"
#include "shell/diag_log.h"
#include "shell/fd_write.h"
#include "shell/ini_file.h"

namespace vdz::onvif {

namespace {

constexpr char kSection[] = "ONVIF";
constexpr char kUsersKey[] = "Users";

// Escapes what would end a field: the separators and the escape itself.
std::string Escape(const std::string& text, std::string_view special) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '%' || u < 0x20 || special.find(c) != std::string_view::npos) {
      out += '%';
      out += kHex[u >> 4];
      out += kHex[u & 15];
    } else {
      out += c;
    }
  }
  return out;
}

std::vector<std::string> SplitOn(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = std::min(text.find(separator, start), text.size());
    parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> FileSecretStore::Load() const {
  std::vector<std::pair<std::string, std::string>> entries;
  struct stat info {};
  if (stat(path_.c_str(), &info) == 0 && (info.st_mode & 077) != 0) {
    DiagLog("FileSecretStore: %s was readable by others, narrowed to 0600\n", path_.c_str());
    chmod(path_.c_str(), 0600);
  }
  std::ifstream in(path_);
  std::string line;
  while (std::getline(in, line)) {
    const std::vector<std::string> fields = SplitOn(line, '\t');
    if (fields.size() == 2 && !fields[0].empty())
      entries.emplace_back(PercentDecode(fields[0]), PercentDecode(fields[1]));
  }
  return entries;
}

bool FileSecretStore::Save(const std::vector<std::pair<std::string, std::string>>& entries) const {
  std::error_code error;
  const std::filesystem::path target(path_);
  if (target.has_parent_path())
    std::filesystem::create_directories(target.parent_path(), error);
  const std::string temporary = path_ + ".new";
  // Created 0600 from the start: the passwords are never readable by others, not even briefly.
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) {
    DiagLog("FileSecretStore: cannot write %s, errno=%d\n", temporary.c_str(), errno);
    return false;
  }
  fchmod(fd, 0600);
  std::string text;
  for (const auto& [user, password] : entries)
    text += Escape(user, "\t") + '\t' + Escape(password, "\t") + '\n';
  bool ok = WriteAllBytes(fd, text);
  ok = fsync(fd) == 0 && ok;
  ok = close(fd) == 0 && ok;
  if (!ok || rename(temporary.c_str(), path_.c_str()) != 0) {
    unlink(temporary.c_str());
    return false;
  }
  return true;
}

std::optional<std::string> FileSecretStore::Password(const std::string& user) {
  for (const auto& [name, password] : Load()) {
    if (name == user)
      return password;
  }
  return std::nullopt;
}

bool FileSecretStore::SetPassword(const std::string& user, const std::string& password) {
  auto entries = Load();
  const auto it = std::find_if(entries.begin(), entries.end(),
                               [&user](const auto& e) { return e.first == user; });
  if (it != entries.end())
    it->second = password;
  else
    entries.emplace_back(user, password);
  return Save(entries);
}

bool FileSecretStore::Remove(const std::string& user) {
  auto entries = Load();
  const auto end = std::remove_if(entries.begin(), entries.end(),
                                  [&user](const auto& e) { return e.first == user; });
  if (end == entries.end())
    return true;
  entries.erase(end, entries.end());
  return Save(entries);
}

std::string DefaultSecretsFile() {
  return JoinPath(ConfigFolder(), "onvif-secrets");
}

std::unique_ptr<SecretStore> MakeSecretStore() {
  if (SecretServiceAvailable())
    return MakeLibsecretStore();
  return std::make_unique<FileSecretStore>(DefaultSecretsFile());
}

std::vector<std::string> AccountStore::Users() const {
  const std::string list = IniFile::Load(settings_file_).Get(kSection, kUsersKey).value_or("");
  std::vector<std::string> users;
  if (list.empty())
    return users;
  for (const std::string& part : SplitOn(list, ',')) {
    if (!part.empty())
      users.push_back(PercentDecode(part));
  }
  return users;
}

std::vector<OnvifAccount> AccountStore::Accounts() const {
  std::vector<OnvifAccount> accounts;
  for (const std::string& user : Users())
    accounts.push_back({user, secrets_.Password(user).value_or("")});
  return accounts;
}

bool AccountStore::SetAccounts(const std::vector<OnvifAccount>& accounts) {
  const std::vector<std::string> old_users = Users();
  std::string list;
  bool ok = true;
  for (const OnvifAccount& account : accounts) {
    if (!list.empty())
      list += ',';
    list += Escape(account.user, ",");
    ok = secrets_.SetPassword(account.user, account.password) && ok;
  }
  for (const std::string& user : old_users) {
    if (std::none_of(accounts.begin(), accounts.end(),
                     [&user](const OnvifAccount& a) { return a.user == user; }))
      ok = secrets_.Remove(user) && ok;
  }
  IniFile ini = IniFile::Load(settings_file_);
  return ini.Set(kSection, kUsersKey, list) && ini.Save(settings_file_) && ok;
}

}  // namespace vdz::onvif
