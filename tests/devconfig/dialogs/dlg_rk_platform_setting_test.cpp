#include "devconfig/dialogs/dlg_rk_platform_setting.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimeEdit>
#include <map>
#include <set>

namespace vdz {
namespace {

template <typename W>
W* Get(const DlgRkPlatformSetting& d, int id) {
  return static_cast<W*>(d.Control(id));
}

void Accept(DlgRkPlatformSetting& d) {
  QTest::mouseClick(Get<QPushButton>(d, 1739), Qt::LeftButton);
}

TEST(PlatformDialogTest, BatchShowsTheNoteHidesTheNameAndLeavesTheTwoListsUnset) {
  DlgRkPlatformSetting d;
  d.Mode = 3;
  d.values.hasVid = 1;
  d.show();
  EXPECT_EQ(Get<QLabel>(d, 1740)->text(), QString::fromUtf8("当前为批量修改模式!"));
  EXPECT_TRUE(Get<QLineEdit>(d, 1942)->isHidden());
  EXPECT_TRUE(Get<QLabel>(d, 1753)->isHidden());
  EXPECT_EQ(Get<QComboBox>(d, 1768)->currentIndex(), -1);
  Accept(d);
  EXPECT_FALSE(d.cancelled);
  EXPECT_EQ(d.values.hasVid, -1);
  EXPECT_EQ(d.values.hasTalk, -1);
}

TEST(PlatformDialogTest, MaintenanceTimeFallsBackToThreeOClock) {
  struct Case {
    int mode;
    const char* text;
    const char* shown;
  } cases[] = {{1, "", "03:00:00"},         {1, "-1:30:00", "03:00:00"},
               {1, "04:15:30", "04:15:30"}, {2, "04:15:30", "03:00:00"},
               {1, "25:00:00", "03:00:00"}, {1, "4:05", "04:05:00"}};
  for (const Case& c : cases) {
    DlgRkPlatformSetting d;
    d.Mode = c.mode;
    d.values.reboottime = c.text;
    d.show();
    EXPECT_EQ(Get<QTimeEdit>(d, 1064)->time().toString("HH:mm:ss").toStdString(), c.shown)
        << c.text;
    Accept(d);
    EXPECT_EQ(d.values.reboottime, c.shown);
  }
}

TEST(PlatformDialogTest, AcceptReadsEditsListsAndBoxes) {
  DlgRkPlatformSetting d;
  d.values.io_out2 = 1;  // open
  d.values.io_out3 = 0;  // closed
  d.values.ftpPort = 2121;
  d.show();
  EXPECT_EQ(Get<QComboBox>(d, 1763)->currentIndex(), 0);
  EXPECT_EQ(Get<QComboBox>(d, 1764)->currentIndex(), 1);
  EXPECT_FALSE(Get<QLineEdit>(d, 1738)->isVisibleTo(&d));  // device id is hidden
  Get<QLineEdit>(d, 1776)->clear();                        // FTP port
  Get<QLineEdit>(d, 1788)->clear();                        // IO timer value
  Get<QLineEdit>(d, 1756)->setText("abc");                 // not a number: keeps 70
  Get<QLineEdit>(d, 1758)->setText(" 90");
  Get<QLineEdit>(d, 1942)->setText(QString::fromUtf8("北门"));
  Get<QComboBox>(d, 1761)->setCurrentIndex(1);
  Accept(d);
  EXPECT_EQ(d.values.ftpPort, 0);
  EXPECT_EQ(d.values.io3TimerVle, 0);
  EXPECT_EQ(d.values.talkCapVol, 70);
  EXPECT_EQ(d.values.dbAlarmVol, 90);
  EXPECT_EQ(d.values.devname, "北门");
  EXPECT_EQ(d.values.io_out1, 1);
  EXPECT_EQ(d.values.io_out2, 1);
  EXPECT_EQ(d.values.io_out3, 0);
}

TEST(PlatformDialogTest, EveryShownControlHasItsCaptionAndNoCaptionStandsAlone) {
  // Control and its caption label; 0: a check box with a text of its own.
  const std::map<int, int> shown = {
      {1013, 1745}, {1759, 1747}, {1014, 1746}, {1942, 1753}, {1756, 1748}, {1754, 1750},
      {1755, 1749}, {1806, 1807}, {1758, 1751}, {1743, 0},    {1741, 1742}, {1761, 1760},
      {1763, 1752}, {1764, 1765}, {1768, 1769}, {1772, 1744}, {1064, 1744}, {1943, 1777},
      {1776, 1778}, {1944, 1780}, {1779, 1781}, {1945, 1782}, {1783, 0},    {1785, 1784},
      {1787, 0},    {1788, 1786}, {1766, 1767}, {1794, 1793}, {1799, 1796}, {1805, 1804},
      {1800, 1803}, {1802, 1801}, {1814, 0},    {1815, 0},    {1816, 0}};
  DlgRkPlatformSetting d;
  d.show();
  std::set<QWidget*> captions = {d.Control(1065)};
  for (const auto& [id, label] : shown) {
    EXPECT_TRUE(d.Control(id)->isVisible()) << id;
    auto* box = qobject_cast<QCheckBox*>(d.Control(id));
    if (label == 0) {
      ASSERT_NE(box, nullptr) << id;
      EXPECT_FALSE(box->text().isEmpty()) << id;
      continue;
    }
    captions.insert(d.Control(label));
    EXPECT_TRUE(d.Control(label)->isVisible()) << id;
    EXPECT_FALSE(Get<QLabel>(d, label)->text().isEmpty()) << label;
  }
  for (QWidget* w : d.findChildren<QWidget*>()) {
    if (!w->isVisible() || w->parentWidget() != &d || qobject_cast<QPushButton*>(w) != nullptr)
      continue;
    const bool caption = qobject_cast<QLabel*>(w) != nullptr;
    EXPECT_TRUE(caption ? captions.count(w) == 1 : shown.count(w->objectName().toInt()) == 1)
        << "unexpected " << w->objectName().toStdString();
  }
}

TEST(PlatformDialogTest, FtpEditsFollowTheSnapshotBox) {
  DlgRkPlatformSetting d;
  d.show();
  QTest::mouseClick(Get<QCheckBox>(d, 1783), Qt::LeftButton);
  EXPECT_TRUE(Get<QLineEdit>(d, 1943)->isEnabled());
  QTest::mouseClick(Get<QCheckBox>(d, 1783), Qt::LeftButton);
  for (int id : {1943, 1776, 1944, 1779, 1945})
    EXPECT_FALSE(d.Control(id)->isEnabled()) << id;
}

}  // namespace
}  // namespace vdz
