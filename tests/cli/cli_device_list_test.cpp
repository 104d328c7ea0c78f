#include "cli/cli_device_list.h"

#include <gtest/gtest.h>

#include "devops/batch_runner.h"
#include "shell/bounded_text.h"

namespace vdz::cli {
namespace {

DeviceRow RowWithHandle(int handle, const char* serial) {
  DeviceRow row;
  row.record = ZeroDeviceRecord();
  CopyBounded(row.record.SerialNumber, serial);
  row.login_handle = handle;
  return row;
}

TEST(CliDeviceList, RowsKeepOrderAndStayPutAsTheListGrows) {
  CliDeviceList list;
  EXPECT_EQ(list.Add(RowWithHandle(5, "A")), 0);
  DeviceRow* first = list.RowAt(0);
  for (int i = 0; i < 100; ++i)
    list.Add(RowWithHandle(10 + i, "B"), i % 2 == 0);
  EXPECT_EQ(list.RowAt(0), first);
  EXPECT_EQ(list.RowCount(), 101);
  EXPECT_TRUE(list.IsChecked(0));
  EXPECT_TRUE(list.IsChecked(1));
  EXPECT_FALSE(list.IsChecked(2));
  EXPECT_EQ(FindRowByHandle(list, 5), 0);
  EXPECT_EQ(FindRowByHandle(list, 12), 3);
  EXPECT_EQ(FindRowByHandle(list, 999), -1);
  list.SetChecked(0, false);
  EXPECT_FALSE(list.IsChecked(0));
}

TEST(CliDeviceList, OutOfRangePositionsAreHarmless) {
  CliDeviceList list;
  list.Add(RowWithHandle(1, "A"));
  for (const int p : {-1, 1, 1000}) {
    EXPECT_EQ(list.RowAt(p), nullptr);
    EXPECT_FALSE(list.IsChecked(p));
    list.SetStatusText(p, "x");
    list.SetVersionText(p, "x");
    list.SetChecked(p, true);
    EXPECT_EQ(list.StatusText(p), "");
  }
  EXPECT_EQ(list.cell_changes(), 0);
}

TEST(CliDeviceList, AnEqualTextLeavesTheCellAlone) {
  CliDeviceList list;
  list.Add(RowWithHandle(1, "A"));
  list.SetStatusText(0, "online");
  list.SetStatusText(0, "online");
  list.SetVersionText(0, "V1");
  list.SetVersionText(0, "V1");
  EXPECT_EQ(list.cell_changes(), 2);
  list.SetStatusText(0, "");
  EXPECT_EQ(list.cell_changes(), 3);
  EXPECT_EQ(list.StatusText(0), "");
  EXPECT_EQ(list.VersionText(0), "V1");
}

}  // namespace
}  // namespace vdz::cli
