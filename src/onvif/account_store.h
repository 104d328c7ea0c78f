// The accounts the client tries on ONVIF devices, in order. User names live in the settings
// file ([ONVIF] Users=, comma-separated, percent-escaped); passwords never do: they go to a
// SecretStore.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "onvif/onvif_device_client.h"

namespace vdz::onvif {

// Where passwords are kept, by user name.
class SecretStore {
 public:
  virtual ~SecretStore() = default;
  virtual std::optional<std::string> Password(const std::string& user) = 0;
  virtual bool SetPassword(const std::string& user, const std::string& password) = 0;
  virtual bool Remove(const std::string& user) = 0;
};

// A file only the user can read or write (0600), one "user<TAB>password" line per account,
// percent-escaped. Written whole to a sibling file and renamed over, so a crash leaves the
// old or the new list. A file that others can read is narrowed to 0600 when read.
class FileSecretStore final : public SecretStore {
 public:
  explicit FileSecretStore(std::string path) : path_(std::move(path)) {}
  std::optional<std::string> Password(const std::string& user) override;
  bool SetPassword(const std::string& user, const std::string& password) override;
  bool Remove(const std::string& user) override;

 private:
  std::vector<std::pair<std::string, std::string>> Load() const;
  bool Save(const std::vector<std::pair<std::string, std::string>>& entries) const;
  std::string path_;
};

// ConfigFolder()/onvif-secrets
std::string DefaultSecretsFile();

// The store this session uses: the desktop's secret service (libsecret) when one answers on
// the session bus, else the 0600 file at DefaultSecretsFile().
std::unique_ptr<SecretStore> MakeSecretStore();

class AccountStore {
 public:
  AccountStore(std::string settings_file, SecretStore& secrets)
      : settings_file_(std::move(settings_file)), secrets_(secrets) {}

  // In settings order; an account without a stored password has an empty one.
  std::vector<OnvifAccount> Accounts() const;
  // Replaces the list: names to the settings file, passwords to the store, passwords of
  // names no longer listed removed. False when either write failed.
  bool SetAccounts(const std::vector<OnvifAccount>& accounts);

 private:
  std::vector<std::string> Users() const;
  std::string settings_file_;
  SecretStore& secrets_;
};

}  // namespace vdz::onvif
