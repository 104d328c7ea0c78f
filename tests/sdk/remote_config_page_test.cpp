// The pages' value rules and the document they write back, without a device.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>

#include "config_page.h"

namespace vdz::remoteconfig {
namespace {

class Env : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "remote_config_page_test";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override { app_.reset(); }

 private:
  std::unique_ptr<QApplication> app_;
};
const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new Env);

TEST(RemoteConfigPage, ValueFollowsTheKindOfTheDevicesValue) {
  struct Case {
    std::string original;
    std::string value;
    bool accepted;
  };
  const Case cases[] = {
      {"16", "24", true},
      {"16", "-3", true},
      {"16", "left", false},
      {"16", "", false},
      {"192.168.1.10", "10.0.0.1", true},
      {"192.168.1.10", "10.0.0", false},
      {"Gate 1", "门 <2> & \"x\"", true},
      {"Gate 1", std::string(256, 'a'), false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FieldValueAccepted(c.original, c.value), c.accepted) << c.original << " " << c.value;
}

TEST(RemoteConfigPage, WritesBackEditedValuesEscaped) {
  ConfigPage page(
      QStringLiteral("RC_PAGE_OSD"), 525, [](const char*) { return QString(); }, nullptr);
  ASSERT_TRUE(page.Load("<Overlay Show=\"1\"><Title>Gate</Title><Item Pos=\"3\"/></Overlay>"));
  EXPECT_FALSE(page.Changed());
  EXPECT_EQ(page.findChild<QLineEdit*>(QStringLiteral("Item @Pos")) != nullptr, true);
  EXPECT_EQ(page.findChild<QLineEdit*>(QStringLiteral("Item")), nullptr);  // a record, no text
  page.findChild<QLineEdit*>(QStringLiteral("Title"))->setText(QStringLiteral("A&B"));
  EXPECT_TRUE(page.Changed());
  QString bad;
  const std::string xml = page.Compose(&bad);
  EXPECT_NE(xml.find("<Title>A&amp;B</Title>"), std::string::npos) << xml;
  EXPECT_NE(xml.find("Show=\"1\""), std::string::npos) << xml;
  page.findChild<QLineEdit*>(QStringLiteral("Item @Pos"))->setText(QStringLiteral("x"));
  EXPECT_TRUE(page.Compose(&bad).empty());
  EXPECT_EQ(bad, QStringLiteral("Item @Pos"));
  EXPECT_FALSE(page.Load("not xml"));
}

}  // namespace
}  // namespace vdz::remoteconfig
