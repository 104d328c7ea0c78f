#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "onvif/account_store.h"
#include "onvif/oui_maker.h"

namespace vdz::onvif {
namespace {

namespace fs = std::filesystem;

class TempFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("onvif-accounts-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }
  static std::string Read(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  fs::path folder_;
};

using AccountStoreTest = TempFolder;

TEST_F(AccountStoreTest, NamesInSettingsPasswordsOnlyInThePrivateFile) {
  const fs::path settings = folder_ / "QmDodEveva_cfg.ini";
  const fs::path secrets = folder_ / "sub" / "onvif-secrets";
  FileSecretStore store(secrets.string());
  AccountStore accounts(settings.string(), store);
  const std::vector<OnvifAccount> list = {
      {"admin", "first,pass\tword%"}, {"op,er", "second=secret"}, {"viewer", ""}};
  ASSERT_TRUE(accounts.SetAccounts(list));

  const std::vector<OnvifAccount> read = accounts.Accounts();
  ASSERT_EQ(read.size(), 3u);
  for (std::size_t i = 0; i < read.size(); ++i) {
    EXPECT_EQ(read[i].user, list[i].user);
    EXPECT_EQ(read[i].password, list[i].password);
  }
  const std::string settings_text = Read(settings);
  EXPECT_NE(settings_text.find("[ONVIF]"), std::string::npos);
  EXPECT_EQ(settings_text.find("first"), std::string::npos);
  EXPECT_EQ(settings_text.find("secret"), std::string::npos);
  struct stat info {};
  ASSERT_EQ(stat(secrets.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  // A name taken off the list takes its password with it.
  ASSERT_TRUE(accounts.SetAccounts({{"admin", "new"}}));
  EXPECT_EQ(store.Password("admin").value_or("?"), "new");
  EXPECT_FALSE(store.Password("op,er").has_value());
  EXPECT_EQ(Read(secrets).find("second"), std::string::npos);
}

TEST_F(AccountStoreTest, NarrowsAFileOthersCouldRead) {
  const fs::path secrets = folder_ / "onvif-secrets";
  std::ofstream(secrets) << "admin\tpw\n";
  chmod(secrets.c_str(), 0644);
  FileSecretStore store(secrets.string());
  EXPECT_EQ(store.Password("admin").value_or("?"), "pw");
  struct stat info {};
  ASSERT_EQ(stat(secrets.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
}

using OuiMakerTest = TempFolder;

TEST_F(OuiMakerTest, MakerByTheFirstThreeOctets) {
  const fs::path file = folder_ / "oui.txt";
  std::ofstream(file)
      << "OUI/MA-L                                                    Organization\r\n"
         "00-12-34   (hex)\t\tExample Cameras Ltd.\r\n"
         "001234     (base 16)\t\tExample Cameras Ltd.\r\n"
         "\t\t\t\tSome Street 1\r\n"
         "AC-CC-8E   (hex)\t\tAnother Maker AB\r\n";
  struct Case {
    const char* mac;
    const char* maker;
  };
  const Case cases[] = {
      {"00:12:34:56:78:9a", "Example Cameras Ltd."},
      {"ac-cc-8e-00-00-01", "Another Maker AB"},
      {"ACCC8E000001", "Another Maker AB"},
      {"00:12:35:00:00:00", ""},
      {"zz:12:34:00:00:00", ""},
      {"00:12", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MakerFromMac(c.mac, file.string()), c.maker) << c.mac;
  EXPECT_EQ(MakerFromMac("00:12:34:00:00:00", (folder_ / "missing.txt").string()), "");
}

}  // namespace
}  // namespace vdz::onvif
