// The filter box over the device list: any column matches, clearing shows all, checks of
// hidden rows stay, "All" checks only what is shown.
#include "ui/report_filter.h"

#include <gtest/gtest.h>

#include "ui/report_ctrl.h"

namespace vdz {
namespace {

class ReportFilterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(list_.SetColumnHeader("IP,120;SN,130;MAC,130;VERSIONNUMBER,280;STATE,200"));
    const char* rows[][5] = {
        {"192.168.1.10", "SN-A1", "02:56:44:00:00:01", "V5.3.1", "Online"},
        {"10.0.0.30", "SN-B2", "02:56:44:00:00:13", "V5.2.9", "在线"},
        {"192.168.1.11", "sn-c3", "02:56:44:00:00:02", "V4.0.0", "Upgrade failed"},
    };
    for (int r = 0; r < 3; ++r) {
      list_.InsertItem(r, QString::fromUtf8(rows[r][0]));
      for (int c = 1; c < 5; ++c)
        list_.SetItemText(r, c, QString::fromUtf8(rows[r][c]));
    }
  }
  std::vector<int> Shown() {
    std::vector<int> shown;
    for (int r = 0; r < list_.GetItemCount(); ++r) {
      if (!list_.isRowHidden(r))
        shown.push_back(r);
    }
    return shown;
  }
  CReportCtrl list_;
};

TEST_F(ReportFilterTest, AnyColumnMatchesAndClearingShowsAll) {
  struct Case {
    const char* text;
    std::vector<int> shown;
  };
  const Case cases[] = {
      {"192.168", {0, 2}}, {"sn-b", {1}},   {"00:00:13", {1}}, {"v4", {2}},     {"在线", {1}},
      {"online", {0}},     {"nothing", {}}, {"  ", {0, 1, 2}}, {"", {0, 1, 2}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ApplyRowFilter(list_, QString::fromUtf8(c.text)), static_cast<int>(c.shown.size()))
        << c.text;
    EXPECT_EQ(Shown(), c.shown) << c.text;
  }
}

TEST_F(ReportFilterTest, HiddenRowsKeepTheirChecksAndAllActsOnShownRows) {
  list_.SetCheck(1, true);
  ApplyRowFilter(list_, QStringLiteral("192.168"));
  CheckShownRows(list_, true);
  EXPECT_TRUE(list_.GetCheck(0));
  EXPECT_TRUE(list_.GetCheck(1));  // hidden, checked before: kept
  EXPECT_TRUE(list_.GetCheck(2));
  CheckShownRows(list_, false);
  EXPECT_FALSE(list_.GetCheck(0));
  EXPECT_TRUE(list_.GetCheck(1));
  ApplyRowFilter(list_, QString());
  EXPECT_EQ(Shown(), (std::vector<int>{0, 1, 2}));
  EXPECT_TRUE(list_.GetCheck(1));
}

}  // namespace
}  // namespace vdz
