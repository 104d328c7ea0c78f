#include "devconfig/dialogs/dialog_pwd.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "shell/language_keys.h"
#include "shell/language_table.h"

namespace vdz {
namespace {

TEST(PasswordDialogTest, OffersTheDefaultPasswordTwiceInTheClear) {
  CDialogPwd dialog;
  EXPECT_TRUE(dialog.cancelled);
  dialog.show();
  auto* password = dialog.findChild<QLineEdit*>("1017");
  auto* confirmation = dialog.findChild<QLineEdit*>("1010");
  EXPECT_EQ(password->text(), "735168");
  EXPECT_EQ(confirmation->text(), "735168");
  EXPECT_EQ(password->echoMode(), QLineEdit::Normal);
  EXPECT_EQ(confirmation->echoMode(), QLineEdit::Normal);
  EXPECT_EQ(dialog.windowTitle().toStdString(), LookupText(keys::TEXT14));
  EXPECT_EQ(dialog.findChild<QLabel*>("1019")->text().toStdString(), LookupText(keys::TEXT15));
}

TEST(PasswordDialogTest, OkCopiesBothEntriesAsTheyStandEvenEmpty) {
  struct Case {
    const char *first, *second;
  } cases[] = {{"", ""}, {"Secret1", "secret1"}, {"\xE5\xAF\x86\xE7\xA0\x81", "x"}};
  for (const Case& c : cases) {
    CDialogPwd dialog;
    dialog.show();
    auto* password = dialog.findChild<QLineEdit*>("1017");
    auto* confirmation = dialog.findChild<QLineEdit*>("1010");
    password->clear();
    confirmation->clear();
    // Typed keys are ASCII only in QTest; the Chinese entry is set as an input method would.
    password->insert(QString::fromUtf8(c.first));
    confirmation->insert(QString::fromUtf8(c.second));
    QTest::mouseClick(dialog.findChild<QPushButton*>("1"), Qt::LeftButton);
    EXPECT_FALSE(dialog.cancelled);
    EXPECT_EQ(dialog.Password, c.first);
    EXPECT_EQ(dialog.Confirmation, c.second);
  }
}

TEST(PasswordDialogTest, CancelLeavesTheFlagSet) {
  CDialogPwd dialog;
  dialog.show();
  dialog.findChild<QLineEdit*>("1017")->setText("changed");
  QTest::mouseClick(dialog.findChild<QPushButton*>("2"), Qt::LeftButton);
  EXPECT_TRUE(dialog.cancelled);
  EXPECT_EQ(dialog.Password, "735168");
  EXPECT_FALSE(dialog.isVisible());
}

}  // namespace
}  // namespace vdz
