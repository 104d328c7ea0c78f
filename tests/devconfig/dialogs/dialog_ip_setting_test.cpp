#include "devconfig/dialogs/dialog_ip_setting.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "devconfig/dialogs/ipv4_address_field.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"
#include "support/recording_prompter.h"

namespace vdz {
namespace {

class IpDialogTest : public ::testing::Test {
 protected:
  void Open(const IpSettingValues& values, bool batch = false) {
    dialog_.SetValues(values);
    dialog_.batch_label = batch;
    dialog_.show();
  }
  Ipv4AddressField* Field(const char* id) { return dialog_.findChild<Ipv4AddressField*>(id); }
  QCheckBox* Dhcp() { return dialog_.findChild<QCheckBox*>("1002"); }
  void Type(const char* id, const char* dotted) { ASSERT_TRUE(Field(id)->SetDottedText(dotted)); }
  void PressOk() { QTest::mouseClick(dialog_.findChild<QPushButton*>("1"), Qt::LeftButton); }

  test::RecordingPrompter prompter_;
  CDialogIpSetting dialog_{prompter_};
};

const IpSettingValues kDevice{"192.168.1.10", "255.255.255.0", "192.168.1.1",
                              "192.168.1.1",  "8.8.4.4",       0};

TEST_F(IpDialogTest, StartsCancelledAndShowsTheTextsAndValues) {
  EXPECT_TRUE(dialog_.cancelled);
  EXPECT_EQ(dialog_.DHCP, 0);
  EXPECT_STREQ(dialog_.IP, "");
  Open(kDevice);
  EXPECT_EQ(dialog_.windowTitle().toStdString(), LookupText(keys::TEXT36));
  EXPECT_EQ(dialog_.findChild<QLabel*>("1135")->text().toStdString(), LookupText(keys::IP));
  EXPECT_EQ(dialog_.findChild<QLabel*>("1137")->text().toStdString(), LookupText(keys::GETEWAY));
  EXPECT_EQ(Field("1141")->Text(), "192.168.1.10");
  EXPECT_EQ(Field("1142")->Text(), "255.255.255.0");
  EXPECT_EQ(Field("1144")->Text(), "192.168.1.1");
  EXPECT_EQ(Field("1143")->Text(), "192.168.1.1");
  EXPECT_EQ(Field("1145")->Text(), "8.8.4.4");
  // Rows stand IP, Netmask, Gateway, DNS1, DNS2 from the top, below the DHCP box.
  const int y[] = {Dhcp()->y(),        Field("1141")->y(), Field("1142")->y(),
                   Field("1144")->y(), Field("1143")->y(), Field("1145")->y()};
  for (int i = 1; i < 6; ++i)
    EXPECT_LT(y[i - 1], y[i]) << i;
}

TEST_F(IpDialogTest, BatchModeLabelsTheFirstRowWithText1) {
  Open(kDevice, true);
  EXPECT_EQ(dialog_.findChild<QLabel*>("1135")->text().toStdString(), LookupText(keys::TEXT1));
}

TEST_F(IpDialogTest, EmptyOrBadTextsOpenAsAllOnes) {
  Open({"192.168.1.10", "255.255.255.0", "", "not an address", "1.2.3", 0});
  EXPECT_EQ(Field("1144")->Text(), "255.255.255.255");
  EXPECT_EQ(Field("1143")->Text(), "255.255.255.255");
  // inet_addr reads a three-part address as a.b.(c as 16 bits).
  EXPECT_EQ(Field("1145")->Text(), "1.2.0.3");
}

TEST_F(IpDialogTest, OkChecksGatewaySubnetAndLastByte) {
  struct Case {
    const char *ip, *mask, *gateway;
    bool accepted;
  } cases[] = {
      {"192.168.1.10", "255.255.255.0", "192.168.2.1", false},
      {"192.168.1.255", "255.255.0.0", "192.168.9.1", false},
      {"10.1.2.3", "0.0.0.0", "172.16.99.1", true},
      {"192.168.1.10", "255.255.255.0", "192.168.1.1", true},
  };
  for (const Case& c : cases) {
    test::RecordingPrompter prompter;
    CDialogIpSetting dialog(prompter);
    dialog.SetValues(kDevice);
    dialog.show();
    ASSERT_TRUE(dialog.findChild<Ipv4AddressField*>("1141")->SetDottedText(c.ip));
    ASSERT_TRUE(dialog.findChild<Ipv4AddressField*>("1142")->SetDottedText(c.mask));
    ASSERT_TRUE(dialog.findChild<Ipv4AddressField*>("1144")->SetDottedText(c.gateway));
    QTest::mouseClick(dialog.findChild<QPushButton*>("1"), Qt::LeftButton);
    EXPECT_EQ(!dialog.cancelled, c.accepted) << c.ip << " " << c.gateway;
    EXPECT_EQ(dialog.isVisible(), !c.accepted);
    if (c.accepted) {
      EXPECT_TRUE(prompter.boxes.empty());
      EXPECT_STREQ(dialog.IP, c.ip);
      EXPECT_STREQ(dialog.Gateway, c.gateway);
      EXPECT_STREQ(dialog.Netmask, c.mask);
    } else {
      ASSERT_EQ(prompter.boxes.size(), 1u);
      EXPECT_EQ(prompter.boxes[0].text, LookupText(keys::MSGTIP46));
      // The caller's values stay and the entered ones are still shown.
      EXPECT_STREQ(dialog.IP, "192.168.1.10");
      EXPECT_STREQ(dialog.Gateway, "192.168.1.1");
      EXPECT_EQ(dialog.findChild<Ipv4AddressField*>("1144")->Text().toStdString(), c.gateway);
    }
  }
}

TEST_F(IpDialogTest, DhcpGreysTheFieldsYetAnInvalidCombinationStillBlocksOk) {
  Open({"192.168.1.10", "255.255.255.0", "192.168.5.1", "", "", 1});
  EXPECT_TRUE(Dhcp()->isChecked());
  for (const char* id : {"1141", "1142", "1144", "1143", "1145"})
    EXPECT_FALSE(Field(id)->isEnabled()) << id;
  PressOk();
  EXPECT_TRUE(dialog_.cancelled);
  EXPECT_EQ(prompter_.boxes.size(), 1u);

  Dhcp()->setChecked(false);
  EXPECT_EQ(dialog_.DHCP, 0);
  for (const char* id : {"1141", "1142", "1144", "1143", "1145"})
    EXPECT_TRUE(Field(id)->isEnabled()) << id;
  Type("1144", "192.168.1.1");
  Dhcp()->setChecked(true);
  EXPECT_FALSE(Field("1141")->isEnabled());
  PressOk();
  EXPECT_FALSE(dialog_.cancelled);
  EXPECT_EQ(dialog_.DHCP, 1);
  EXPECT_STREQ(dialog_.Gateway, "192.168.1.1");
  EXPECT_STREQ(dialog_.DNS1, "255.255.255.255");  // written back as shown
}

TEST_F(IpDialogTest, CancelKeepsTheCallersValuesAndBlankPartsReadAsZero) {
  Open(kDevice);
  Type("1141", "192.168.1.99");
  QTest::mouseClick(dialog_.findChild<QPushButton*>("2"), Qt::LeftButton);
  EXPECT_TRUE(dialog_.cancelled);
  EXPECT_STREQ(dialog_.IP, "192.168.1.10");

  test::RecordingPrompter prompter;
  CDialogIpSetting dialog(prompter);
  dialog.SetValues(kDevice);
  dialog.show();
  dialog.findChild<Ipv4AddressField*>("1141")->Part(2)->clear();  // 192.168..10
  dialog.findChild<Ipv4AddressField*>("1144")->Part(2)->clear();  // 192.168..1
  QTest::mouseClick(dialog.findChild<QPushButton*>("1"), Qt::LeftButton);
  EXPECT_FALSE(dialog.cancelled);
  EXPECT_STREQ(dialog.IP, "192.168.0.10");
  EXPECT_EQ(dialog.Values().gateway, "192.168.0.1");
}

}  // namespace
}  // namespace vdz
