// The settings dialogs of the batch catalogue, driven offscreen through their controls.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimeEdit>

#include "devconfig/dialogs/dialog_image_param.h"
#include "devconfig/dialogs/dialog_ipvs_setting.h"
#include "devconfig/dialogs/dialog_maintenance.h"
#include "devconfig/dialogs/dialog_media_code.h"
#include "devconfig/dialogs/dialog_motion_alarm.h"
#include "devconfig/dialogs/dialog_time_setting.h"
#include "devconfig/dialogs/dialog_title_setting.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"
#include "support/recording_prompter.h"

namespace vdz {
namespace {

template <typename W>
W* Child(QDialog& d, const char* id) {
  W* w = d.findChild<W*>(QString::fromLatin1(id));
  EXPECT_NE(w, nullptr) << id;
  return w;
}

void Click(QDialog& d, const char* id) {
  QTest::mouseClick(Child<QPushButton>(d, id), Qt::LeftButton);
}

void SetText(QDialog& d, const char* id, const char* text) {
  Child<QLineEdit>(d, id)->setText(QString::fromUtf8(text));
}

std::string LastMessage(const test::RecordingPrompter& p) {
  return p.boxes.empty() ? std::string() : p.boxes.back().text;
}

TEST(TitleDialogTest, AcceptedUnchangedGivesTheDefaults) {
  CDialogTitleSetting d;
  EXPECT_TRUE(d.cancelled);
  d.show();
  EXPECT_EQ(d.windowTitle().toStdString(), LookupText(keys::TEXT3));
  Click(d, "1");
  EXPECT_FALSE(d.cancelled);
  const TitleOverlayValues& v = d.values;
  EXPECT_EQ(v.enable, 1);
  EXPECT_EQ(v.position_code, 4097);
  EXPECT_EQ(v.overlay_info, 3);
  EXPECT_EQ(v.style, 3);
  EXPECT_EQ(v.add_ip, 1);
  EXPECT_EQ(v.add_model, 1);
  EXPECT_EQ(v.add_serial, 0);
  EXPECT_EQ(v.show_weekday, 1);
  EXPECT_EQ(v.font_size, 0);
  EXPECT_EQ(v.title, "IPCAMERA");
}

TEST(TitleDialogTest, NoPositionRowGives4352) {
  CDialogTitleSetting d;
  d.show();
  Child<QComboBox>(d, "1011")->setCurrentIndex(-1);
  Click(d, "1");
  EXPECT_EQ(d.values.position_code, 4352);
}

TEST(IpvsDialogTest, EnableRuleAndRefusals) {
  test::RecordingPrompter prompter;
  CDlgIpvsSetting d(prompter);
  d.show();
  EXPECT_FALSE(Child<QLineEdit>(d, "1013")->isEnabled());
  EXPECT_FALSE(Child<QCheckBox>(d, "1944")->isEnabled());
  Child<QCheckBox>(d, "1015")->click();
  for (const char* id : {"1013", "1014", "1942", "1943"})
    EXPECT_TRUE(Child<QLineEdit>(d, id)->isEnabled()) << id;
  EXPECT_TRUE(Child<QCheckBox>(d, "1941")->isEnabled());
  Click(d, "1");
  EXPECT_EQ(LastMessage(prompter), LookupText(keys::MSGTIP47));
  EXPECT_TRUE(d.cancelled);
  EXPECT_TRUE(d.isVisible());
  Child<QCheckBox>(d, "1015")->click();
  SetText(d, "1014", "65536");
  Click(d, "1");
  EXPECT_EQ(LastMessage(prompter), LookupText(keys::MSGTIP48));
  EXPECT_TRUE(d.isVisible());
  SetText(d, "1014", "10001");
  Click(d, "1");
  EXPECT_FALSE(d.cancelled);
  EXPECT_EQ(d.values.port, 10001);
  EXPECT_TRUE(d.values.increment_account);
  EXPECT_EQ(prompter.boxes.size(), 2u);
}

class TimeDialogTest : public ::testing::Test {
 protected:
  test::RecordingPrompter prompter_;
  CSYSTimeSet d_{prompter_};
};

TEST_F(TimeDialogTest, SaveAtOnceGivesTheDefaultDocument) {
  d_.show();
  Click(d_, "1108");
  EXPECT_FALSE(d_.cancelled);
  EXPECT_EQ(d_.document,
            "<TimeConfig TimeMode=\"NTP\" TimeZone=\"1200\">\n"
            "\t<NTPConfig ServerIP=\"pool.ntp.org\" ServerPort=\"123\" RefreshInterval=\"60\"/>\n"
            "</TimeConfig>\n");
}

TEST_F(TimeDialogTest, TimeSourceVisibilityAndEnterSwallowed) {
  d_.show();
  auto* mode = Child<QComboBox>(d_, "1093");
  EXPECT_TRUE(Child<QLineEdit>(d_, "1101")->isVisible());
  EXPECT_FALSE(Child<QDateTimeEdit>(d_, "1085")->isVisible());
  for (int source : {1, 2}) {
    mode->setCurrentIndex(source);
    EXPECT_FALSE(Child<QLineEdit>(d_, "1101")->isVisible());
    EXPECT_FALSE(Child<QLineEdit>(d_, "523")->isVisible());
    EXPECT_TRUE(Child<QDateTimeEdit>(d_, "1085")->isVisible());
  }
  mode->setCurrentIndex(0);
  EXPECT_TRUE(Child<QLineEdit>(d_, "555")->isVisible());
  QTest::keyClick(&d_, Qt::Key_Escape);
  QTest::keyClick(&d_, Qt::Key_Return);
  EXPECT_TRUE(d_.isVisible());
  EXPECT_TRUE(d_.cancelled);
}

TEST_F(TimeDialogTest, RefusalsInOrderAndZone) {
  d_.show();
  struct Case {
    const char *port, *interval, *server, *key;
  } cases[] = {
      {"0", "60", "pool.ntp.org", keys::IDS_STR_ZH_CN_MSG_TIPS126},
      {"65536", "59", "x", keys::IDS_STR_ZH_CN_MSG_TIPS126},
      {"123", "59", "x", keys::IDS_STR_ZH_CN_MSG_TIPS127},
      {"123", "1000000", "pool.ntp.org", keys::IDS_STR_ZH_CN_MSG_TIPS127},
      {"123", "60", "0.0.0.0", keys::IDS_STR_ZH_CN_MSG_TIPS128},
      {"123", "60", "255.255.255.0", keys::IDS_STR_ZH_CN_MSG_TIPS128},
      {"123", "60", "ntpserver", keys::IDS_STR_ZH_CN_MSG_TIPS128},
  };
  for (const Case& c : cases) {
    SetText(d_, "523", c.port);
    SetText(d_, "555", c.interval);
    SetText(d_, "1101", c.server);
    const std::size_t before = prompter_.boxes.size();
    Click(d_, "1108");
    ASSERT_EQ(prompter_.boxes.size(), before + 1) << c.port << c.interval << c.server;
    EXPECT_EQ(LastMessage(prompter_), LookupText(c.key)) << c.port << c.interval << c.server;
    EXPECT_TRUE(d_.cancelled);
  }
  SetText(d_, "523", "080");
  SetText(d_, "555", "999999");
  SetText(d_, "1101", " 10.0.0.1 ");
  Child<QComboBox>(d_, "1097")->setCurrentIndex(23);
  Click(d_, "1108");
  EXPECT_FALSE(d_.cancelled);
  EXPECT_NE(d_.document.find("TimeZone=\"1065\""), std::string::npos) << d_.document;
  EXPECT_NE(d_.document.find("ServerIP=\"10.0.0.1\" ServerPort=\"080\""), std::string::npos);
}

TEST(MaintenanceDialogTest, EnableRuleAndDocument) {
  CSYSRMDlg d;
  d.show();
  EXPECT_FALSE(Child<QComboBox>(d, "1721")->isEnabled());
  Child<QComboBox>(d, "1719")->setCurrentIndex(1);
  EXPECT_TRUE(Child<QComboBox>(d, "1721")->isEnabled());
  Child<QComboBox>(d, "1721")->setCurrentIndex(2);
  Child<QTimeEdit>(d, "1723")->setTime(QTime(3, 4, 5));
  Click(d, "1725");
  EXPECT_FALSE(d.cancelled);
  EXPECT_EQ(d.document, "<MaintainConfig\tEnable=\"1\" Day=\"2\" Time=\"03:04:05\" />");
}

TEST(ImageDialogTest, DefaultsAndRefusals) {
  test::RecordingPrompter prompter;
  {
    CImageParamDialog d(prompter);
    d.show();
    Click(d, "1");
    EXPECT_EQ(d.request, "<REQUEST_PARAM mctf=\"-1\" gain=\"30\" shuttermax=\"-1\" />");
  }
  struct Case {
    const char *mctf, *shutter, *message;
  } cases[] = {{"12", "-1", "MCTF ERROR"},
               {"11", "0", "shutter error"},
               {"-1", "8001", "shutter error"},
               {"-2", "5", "MCTF ERROR"}};
  for (const Case& c : cases) {
    CImageParamDialog d(prompter);
    d.show();
    SetText(d, "1023", c.mctf);
    SetText(d, "1025", c.shutter);
    Click(d, "1");
    EXPECT_TRUE(d.cancelled) << c.mctf;
    EXPECT_EQ(LastMessage(prompter), c.message);
  }
  CImageParamDialog d(prompter);
  d.show();
  SetText(d, "1023", "abc");
  SetText(d, "1025", "8000");
  Click(d, "1");
  EXPECT_EQ(d.request, "<REQUEST_PARAM mctf=\"0\" gain=\"30\" shuttermax=\"8000\" />");
}

TEST(MotionDialogTest, GridAndSensitivity) {
  test::RecordingPrompter prompter;
  CMdAlarmDialog d(prompter);
  d.show();
  SetText(d, "1477", "101");
  Click(d, "1");
  EXPECT_TRUE(d.cancelled);
  EXPECT_EQ(LastMessage(prompter),
            "\xE7\x81\xB5\xE6\x95\x8F\xE5\xBA\xA6\xE8\xAE\xBE\xE7\xBD\xAE\xE9\x94\x99\xE8\xAF\xAF"
            "\xE3\x80\x82");
  SetText(d, "1477", "100");
  Child<QComboBox>(d, "1486")->setCurrentIndex(8);
  Click(d, "1");
  EXPECT_FALSE(d.cancelled);
  EXPECT_EQ(d.values.columns, 22);
  EXPECT_EQ(d.values.rows, 18);
  EXPECT_EQ(d.values.threshold, 20);
}

TEST(MediaCodeDialogTest, RangesAnd5MpSubstitution) {
  test::RecordingPrompter prompter;
  CMediaCode d(prompter);
  d.show();
  EXPECT_EQ(Child<QComboBox>(d, "1423")->currentText(), "2592X1520");
  EXPECT_EQ(Child<QLineEdit>(d, "572")->text(), "6000");
  SetText(d, "572", "8001");
  Click(d, "799");
  EXPECT_EQ(LastMessage(prompter), LookupText(keys::IDS_STR_ZH_CN_MSG_TIPS26));
  EXPECT_TRUE(d.cancelled);
  Child<QComboBox>(d, "1423")->setCurrentText("5MP");
  Child<QComboBox>(d, "604")->setEditText("");
  prompter.default_answer = true;
  Click(d, "799");
  ASSERT_FALSE(d.cancelled) << LastMessage(prompter);
  EXPECT_EQ(prompter.boxes.back().kind, "YESNO");
  EXPECT_EQ(prompter.boxes.back().caption, LookupText(keys::TEXT21));
  EXPECT_NE(d.document.find("Stream=\"2\" Resolution=\"640X360\" EncodeFormat=\"H264\" "
                            "BitRateControl=\"CBR\" Initquant=\"100\" BitRate=\"350\" "
                            "FrameRate=\"10\"/>"),
            std::string::npos)
      << d.document;
}

// The advanced settings of a save that changed none of them.
std::string Advanced(const char* encode_mode, const char* noise_level) {
  return std::string(
             "<AdvanceEncodeConfig EncodeProfile=\"0\" WDRMode=\"0\" DfrogFlag=\"0\" "
             "WDRStartTime=\"00:00:00\" WDREndTime=\"00:00:00\" "
             "DisablePrivateData=\"0\" EncMode=\"") +
         encode_mode + "\" NoiceLevel=\"" + noise_level +
         "\" shutter_mode=\"0\" shutter_speed=\"25\"/>";
}

TEST(MediaCodeDialogTest, OpensAtTheStartingRowsAndTheDefaultsButtonAppliesTheDefaults) {
  test::RecordingPrompter prompter;
  CMediaCode unchanged(prompter);
  unchanged.show();
  Click(unchanged, "799");
  ASSERT_FALSE(unchanged.cancelled);
  EXPECT_NE(unchanged.document.find(Advanced("0", "0")), std::string::npos) << unchanged.document;

  CMediaCode d(prompter);
  d.show();
  Child<QComboBox>(d, "1568")->setCurrentIndex(1);
  Child<QComboBox>(d, "1420")->setCurrentIndex(1);
  Child<QComboBox>(d, "1423")->setCurrentText("1080P");
  Child<QComboBox>(d, "1929")->setCurrentIndex(0);
  Click(d, "1431");
  EXPECT_FALSE(Child<QLineEdit>(d, "1442")->isEnabled());
  EXPECT_EQ(Child<QComboBox>(d, "1929")->currentIndex(), 1);
  Click(d, "799");
  ASSERT_FALSE(d.cancelled);
  EXPECT_NE(d.document.find(Advanced("4", "6")), std::string::npos) << d.document;
  EXPECT_NE(d.document.find("Stream=\"1\" Resolution=\"2592X1520\" EncodeFormat=\"H264\" "),
            std::string::npos);
}

TEST(MediaCodeDialogTest, RangeBoxesTakeAValueWhileTheirModeIsInUse) {
  struct Case {
    const char *mode, *range, *sent;
  } cases[] = {{"1568", "1442", "WDRMode=\"1\" WDRValue=\"200\""},
               {"1576", "1444", "DfrogFlag=\"1\" DfrogValue=\"200\""}};
  test::RecordingPrompter prompter;
  for (const Case& c : cases) {
    CMediaCode d(prompter);
    d.show();
    QLineEdit* range = Child<QLineEdit>(d, c.range);
    EXPECT_FALSE(range->isEnabled()) << c.range;
    Child<QComboBox>(d, c.mode)->setCurrentIndex(1);
    EXPECT_TRUE(range->isEnabled()) << c.range;
    SetText(d, c.range, "256");
    const std::size_t before = prompter.boxes.size();
    Click(d, "799");
    ASSERT_EQ(prompter.boxes.size(), before + 1);
    EXPECT_EQ(prompter.boxes.back().kind, "MESSAGE");
    EXPECT_EQ(LastMessage(prompter), LookupText(keys::IDS_STR_PARAM_SCOPE_ERROR));
    SetText(d, c.range, "200");
    Click(d, "799");
    ASSERT_FALSE(d.cancelled) << c.range;
    EXPECT_NE(d.document.find(c.sent), std::string::npos) << d.document;
  }
}

TEST(MediaCodeDialogTest, ShutterSpeedLimitFollowsTheDevice) {
  test::RecordingPrompter prompter;
  for (bool fast : {false, true}) {
    CMediaCode d(prompter);
    d.shutter_10000 = fast;
    d.show();
    SetText(d, "1438", "10000");
    Click(d, "799");
    EXPECT_EQ(d.cancelled, !fast);
    if (!fast) {
      EXPECT_EQ(LastMessage(prompter), LookupText(keys::IDS_STR_SHUTTER_SPEED_ERROR));
    }
  }
}

}  // namespace
}  // namespace vdz
