// The settings pages without a device: the document values they read and write back, the
// catalogue's language keys, and the controls of a page.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>

#include "config_page.h"
#include "document_values.h"
#include "motion_grid_widget.h"
#include "page_catalogue.h"
#include "protocol/protocol_numbers.h"
#include "shell/language_keys.h"

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

std::string Changed(const std::string& doc, const std::string& name, const std::string& now) {
  const auto values = ReadDocumentValues(doc);
  EXPECT_TRUE(values.has_value()) << doc;
  for (const DocumentValue& v : *values)
    if (v.Name() == name)
      return WriteDocumentValues(doc, {{&v, now}});
  ADD_FAILURE() << name << " not in " << doc;
  return {};
}

TEST(DocumentValues, WritesBackOnlyTheChangedValue) {
  struct Case {
    std::string doc, name, now, expected;
  };
  const Case cases[] = {
      {"<A\tX=\"1\"  New='a&amp;b'><B>t</B></A>\r\n", "A @X", "2",
       "<A\tX=\"2\"  New='a&amp;b'><B>t</B></A>\r\n"},
      {"<A X='1'/>", "A @X", "it's \"q\"", "<A X='it&apos;s \"q\"'/>"},
      {"<A X=\"1\"/>", "A @X", "<&>\"", "<A X=\"&lt;&amp;&gt;&quot;\"/>"},
      {"<?xml version=\"1.0\"?><!-- c --><A><B>Gate&#49;</B><C/></A>", "A/B", "x&y",
       "<?xml version=\"1.0\"?><!-- c --><A><B>x&amp;y</B><C/></A>"},
      {"<A><B></B></A>", "A/B", "new", "<A><B>new</B></A>"},
      {"<A\tX=\"1\"Y=\"2\"/>", "A @Y", "3", "<A\tX=\"1\"Y=\"3\"/>"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Changed(c.doc, c.name, c.now), c.expected) << c.doc;
  const auto values = ReadDocumentValues("<A><B>Gate&#49;</B></A>");
  ASSERT_TRUE(values.has_value());
  EXPECT_EQ(values->at(0).value, "Gate1");
}

TEST(DocumentValues, RefusesWhatIsNotOneWellFormedElement) {
  for (const char* bad :
       {"", "text", "<A>", "<A></B>", "<A/><B/>", "<A X=\"1\" X=\"2\"/>", "<A X=1/>",
        "<A>&bogus;</A>", "<A X=\"<\"/>", "<A><!-- open</A>", "<A/>trailing"})
    EXPECT_FALSE(ReadDocumentValues(bad).has_value()) << bad;
}

TEST(PageCatalogue, EveryTextItNamesIsALanguageKey) {
  const auto known = [](const char* key) {
    return key == nullptr || std::any_of(std::begin(kAllLanguageKeys), std::end(kAllLanguageKeys),
                                         [&](const char* k) { return std::string_view(k) == key; });
  };
  for (int command : {proto::kCfgTime, proto::kCfgTitleOverlay, proto::kCfgEncoding,
                      proto::kCfgVideoCapture, proto::kCfgMotionDetection, proto::kCfgMaintenance,
                      proto::kCfgPassword, proto::kCfgPlatform}) {
    ASSERT_FALSE(PageFields(command).empty()) << command;
    for (const CatalogueEntry& f : PageFields(command)) {
      EXPECT_TRUE(known(f.label_key) && known(f.group_key)) << f.name;
      for (const FieldChoice& c : f.choices)
        EXPECT_TRUE(known(c.key)) << f.name << " " << c.value;
    }
  }
}

constexpr const char* kMotion =
    "<MotionDetectAlarm Enable=\"1\" BlockCount=\"262147\" BlockConfig=\"000000000000\" "
    "Sensitivity=\"80\" AlarmThreshold=\"20\" SmartFilter=\"on\"> <EnableTimeList><Workday "
    "Day=\"7\"><TimeSpan StartTime=\" 0: 0: 0\" EndTime=\"24: 0: 0\"/></Workday></EnableTimeList>"
    "</MotionDetectAlarm>";

class PageTest : public ::testing::Test {
 protected:
  PageTest()
      : page_(
            QStringLiteral("RC_PAGE_MOTION"), proto::kCfgMotionDetection,
            [](const char* key) { return QString::fromLatin1(key); }, "en-us", nullptr) {}
  ConfigPage page_;
};

TEST_F(PageTest, KnownValuesGetControlsAndUnknownOnesTheAdvancedTable) {
  ASSERT_TRUE(page_.Load(kMotion));
  EXPECT_NE(page_.findChild<QSlider*>(QStringLiteral("MotionDetectAlarm @Sensitivity")), nullptr);
  auto* table = page_.findChild<QTableWidget*>(QStringLiteral("advanced"));
  ASSERT_NE(table, nullptr);
  ASSERT_EQ(table->rowCount(), 1);
  EXPECT_EQ(table->item(0, 0)->text(), QStringLiteral("MotionDetectAlarm @SmartFilter"));
  EXPECT_FALSE(page_.Changed());
  QString bad;
  EXPECT_EQ(page_.Compose(&bad), kMotion);  // untouched: byte for byte

  page_.findChild<QSlider*>(QStringLiteral("MotionDetectAlarm @Sensitivity"))->setValue(55);
  page_.motion_grid()->resize(400, 225);
  // A drag from the first block to the second column of the second row switches four on.
  QTest::mousePress(page_.motion_grid(), Qt::LeftButton, {},
                    page_.motion_grid()->BlockRect(0, 0).center());
  QTest::mouseRelease(page_.motion_grid(), Qt::LeftButton, {},
                      page_.motion_grid()->BlockRect(1, 1).center());
  const std::string xml = page_.Compose(&bad);
  EXPECT_NE(xml.find("Sensitivity=\"55\""), std::string::npos) << xml;
  EXPECT_NE(xml.find("BlockConfig=\"110011000000\""), std::string::npos) << xml;
  EXPECT_NE(xml.find("SmartFilter=\"on\""), std::string::npos) << xml;
  EXPECT_NE(xml.find("EndTime=\"24: 0: 0\""), std::string::npos) << xml;
}

TEST_F(PageTest, BadValuesStayOnThePageAtTheirField) {
  ASSERT_TRUE(page_.Load(kMotion));
  page_.findChild<QTableWidget*>(QStringLiteral("advanced"))
      ->item(0, 1)
      ->setText(QString(300, QLatin1Char('x')));
  QString bad;
  EXPECT_TRUE(page_.Compose(&bad).empty());
  EXPECT_EQ(bad, QStringLiteral("MotionDetectAlarm @SmartFilter"));

  ConfigPage users(
      QStringLiteral("RC_PAGE_USERS"), proto::kCfgPassword,
      [](const char* key) { return QString::fromLatin1(key); }, "en-us", nullptr);
  ASSERT_TRUE(users.Load("<UserConfig><Account Username=\"admin\" Password=\"\"/></UserConfig>"));
  users.findChild<QLineEdit*>(QStringLiteral("UserConfig/Account @Password"))
      ->setText(QStringLiteral("n3w"));
  EXPECT_TRUE(users.Compose(&bad).empty());
  EXPECT_EQ(users.findChild<QLabel*>(QStringLiteral("UserConfig/Account @Password error"))->text(),
            QStringLiteral("MSGTIP51"));
  users.findChild<QLineEdit*>(QStringLiteral("UserConfig/Account @Password confirm"))
      ->setText(QStringLiteral("n3w"));
  EXPECT_NE(users.Compose(&bad).find("Password=\"n3w\""), std::string::npos);
}

// A resolution the encoder tables do not know stays selectable as the device sent it, and its
// rates keep the wide range; a known one bounds them by the table.
TEST(RemoteConfigPageEncode, RatesFollowTheTablesWhereTheyKnowTheResolution) {
  struct Case {
    const char* resolution;
    int max_kbps;
  };
  for (const Case& c : {Case{"3840X2160", 100000}, Case{"1080P", 6000}}) {
    ConfigPage page(
        QStringLiteral("RC_PAGE_ENCODE"), proto::kCfgEncoding,
        [](const char* key) { return QString::fromLatin1(key); }, "en-us", nullptr);
    ASSERT_TRUE(page.Load(std::string("<Encode><EncodeConfig Stream=\"1\" Resolution=\"") +
                          c.resolution +
                          "\" EncodeFormat=\"H264\" BitRate=\"4000\" FrameRate=\"25\"/></Encode>"));
    QApplication::processEvents();
    auto* box = page.findChild<QComboBox*>(QStringLiteral("Encode/EncodeConfig @Resolution"));
    EXPECT_EQ(box->currentText(), QString::fromLatin1(c.resolution));
    EXPECT_EQ(page.findChild<QSpinBox*>(QStringLiteral("Encode/EncodeConfig @BitRate"))->maximum(),
              c.max_kbps);
  }
}

}  // namespace
}  // namespace vdz::remoteconfig
