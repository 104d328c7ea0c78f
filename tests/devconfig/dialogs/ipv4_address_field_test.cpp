#include "devconfig/dialogs/ipv4_address_field.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTest>

namespace vdz {
namespace {

class AddressFieldTest : public ::testing::Test {
 protected:
  void SetUp() override {
    field_.show();
    QApplication::setActiveWindow(&field_);
    field_.Part(0)->setFocus();
  }
  QLineEdit* Focused() { return qobject_cast<QLineEdit*>(QApplication::focusWidget()); }
  // Each key goes to whichever part has the focus at that moment, as a keyboard's would.
  void TypeKeys(const char* keys) {
    for (const char* k = keys; *k != '\0'; ++k)
      QTest::keyClick(Focused(), *k);
  }

  Ipv4AddressField field_;
};

TEST_F(AddressFieldTest, TypingDotsWalksThroughTheOctets) {
  QTest::keyClicks(Focused(), "10");
  QTest::keyClick(Focused(), Qt::Key_Period);
  EXPECT_EQ(Focused(), field_.Part(1));
  QTest::keyClicks(Focused(), "1");
  QTest::keyClick(Focused(), Qt::Key_Period);
  QTest::keyClicks(Focused(), "0");
  QTest::keyClick(Focused(), Qt::Key_Period);
  QTest::keyClicks(Focused(), "7");
  EXPECT_EQ(field_.Text(), "10.1.0.7");
  // A dot in the last part, or in an empty one, stays put and never lands in the text.
  QTest::keyClick(Focused(), Qt::Key_Period);
  EXPECT_EQ(Focused(), field_.Part(3));
  EXPECT_EQ(field_.Part(3)->text(), "7");
}

TEST_F(AddressFieldTest, ThreeDigitsMoveOnAndOutOfRangeOctetsAreRefused) {
  TypeKeys("192168");
  EXPECT_EQ(field_.Part(0)->text(), "192");
  EXPECT_EQ(field_.Part(1)->text(), "168");
  EXPECT_EQ(Focused(), field_.Part(2));
  TypeKeys("256");  // 256 is no octet
  EXPECT_EQ(field_.Part(2)->text(), "25");
  QTest::keyClicks(Focused(), "x");
  EXPECT_EQ(field_.Part(2)->text(), "25");
}

TEST_F(AddressFieldTest, BackspaceAtAPartsStartGoesBackAndDeletesThere) {
  field_.SetDottedText("192.168.1.10");
  field_.Part(1)->setFocus();
  field_.Part(1)->setCursorPosition(0);
  QTest::keyClick(Focused(), Qt::Key_Backspace);
  EXPECT_EQ(Focused(), field_.Part(0));
  EXPECT_EQ(field_.Part(0)->text(), "192");
  QTest::keyClick(Focused(), Qt::Key_Backspace);
  EXPECT_EQ(field_.Part(0)->text(), "19");
  EXPECT_EQ(field_.Part(1)->text(), "168");
}

TEST_F(AddressFieldTest, PastingADottedAddressFillsAllFour) {
  QApplication::clipboard()->setText(QStringLiteral(" 172.16.254.3 "));
  field_.Part(2)->setFocus();
  QTest::keySequence(Focused(), QKeySequence::Paste);
  EXPECT_EQ(field_.Text(), "172.16.254.3");
  EXPECT_EQ(field_.GetOctets(), (Octets{172, 16, 254, 3}));

  // Anything else is an ordinary paste into one part, which the octet rule still guards.
  QApplication::clipboard()->setText(QStringLiteral("1.2.3"));
  field_.Part(0)->setFocus();
  field_.Part(0)->selectAll();
  QTest::keySequence(Focused(), QKeySequence::Paste);
  EXPECT_EQ(field_.Part(0)->text(), "172");
  EXPECT_FALSE(field_.SetDottedText("300.1.1.1"));
  EXPECT_EQ(field_.Text(), "172.16.254.3");
}

TEST_F(AddressFieldTest, BlankPartsReadAsZero) {
  EXPECT_TRUE(field_.IsBlank());
  EXPECT_EQ(field_.Text(), "0.0.0.0");
  field_.SetAddress(0xC0A80001u);
  EXPECT_EQ(field_.Text(), "192.168.0.1");
  field_.Part(1)->clear();
  EXPECT_EQ(field_.GetOctets(), (Octets{192, 0, 0, 1}));
  EXPECT_FALSE(field_.IsBlank());
}

}  // namespace
}  // namespace vdz
