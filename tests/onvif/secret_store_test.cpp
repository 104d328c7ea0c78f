// Where account passwords go: the desktop's secret service when one runs (this program runs
// inside a private bus with a scratch keyring, see with_secret_service), else the 0600 file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "onvif/account_store.h"
#include "onvif/secret_store_libsecret.h"

namespace vdz::onvif {
namespace {

namespace fs = std::filesystem;

class SecretStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("onvif-secrets-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    setenv("VDZ_CONFIG_DIR", folder_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("VDZ_CONFIG_DIR");
    fs::remove_all(folder_);
  }
  fs::path folder_;
};

TEST_F(SecretStoreTest, DesktopSecretServiceKeepsThePasswords) {
  if (!SecretServiceAvailable())
    GTEST_SKIP() << "no Secret Service on the session bus";
  std::unique_ptr<SecretStore> store = MakeSecretStore();
  const std::string settings = (folder_ / "QmDodEveva_cfg.ini").string();
  AccountStore accounts(settings, *store);
  ASSERT_TRUE(accounts.SetAccounts({{"admin", "Keyring-Pass#1"}, {"viewer", "v"}}));
  const std::vector<OnvifAccount> read = accounts.Accounts();
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[0].password, "Keyring-Pass#1");
  EXPECT_EQ(read[1].password, "v");
  // Neither the settings file nor a secrets file holds them.
  std::ifstream in(settings);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str().find("Keyring-Pass"), std::string::npos);
  EXPECT_FALSE(fs::exists(DefaultSecretsFile()));

  ASSERT_TRUE(accounts.SetAccounts({{"admin", "changed"}}));
  EXPECT_EQ(store->Password("admin").value_or("?"), "changed");
  EXPECT_FALSE(store->Password("viewer").has_value());
  EXPECT_TRUE(store->Remove("admin"));
  EXPECT_FALSE(store->Password("admin").has_value());
}

TEST_F(SecretStoreTest, PrivateFileWithoutASessionBus) {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  const std::string saved = address != nullptr ? address : "";
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const std::string saved_runtime = runtime != nullptr ? runtime : "";
  unsetenv("DBUS_SESSION_BUS_ADDRESS");
  unsetenv("XDG_RUNTIME_DIR");
  EXPECT_FALSE(SecretServiceAvailable());
  std::unique_ptr<SecretStore> store = MakeSecretStore();
  EXPECT_TRUE(store->SetPassword("admin", "File-Pass#2"));
  if (address != nullptr)
    setenv("DBUS_SESSION_BUS_ADDRESS", saved.c_str(), 1);
  if (runtime != nullptr)
    setenv("XDG_RUNTIME_DIR", saved_runtime.c_str(), 1);

  EXPECT_EQ(DefaultSecretsFile(), (folder_ / "onvif-secrets").string());
  struct stat info {};
  ASSERT_EQ(stat(DefaultSecretsFile().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(store->Password("admin").value_or("?"), "File-Pass#2");
}

}  // namespace
}  // namespace vdz::onvif
