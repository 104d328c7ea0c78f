// The one table that decides what the window offers: every id once, bound or "not
// available", and every control of the window in it.
#include "app/command_table.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <memory>

#include "app/command_ids.h"
#include "app/main_window.h"
#include "app/offline_window_options.h"
#include "discovery/readdress_fakes.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"
#include "support/fake_device_list.h"
#include "support/recording_prompter.h"

namespace vdz {
namespace {

TEST(CommandTable, AnIdEntersOnceAndUnbuiltOnesSaySo) {
  test::RecordingPrompter prompter;
  CommandTable table(prompter);
  int runs = 0;
  EXPECT_TRUE(table.Add(1, [&] { ++runs; }));
  EXPECT_FALSE(table.Add(1, [&] { runs += 100; }));
  EXPECT_TRUE(table.AddUnavailable(2));
  EXPECT_FALSE(table.Add(2, [&] { runs += 100; }));  // a handler must not hide behind it
  EXPECT_FALSE(table.AddUnavailable(1));
  EXPECT_EQ(table.Duplicates(), (std::vector<int>{1, 2, 1}));

  EXPECT_TRUE(table.Dispatch(1));
  EXPECT_EQ(runs, 1);
  EXPECT_TRUE(prompter.boxes.empty());
  EXPECT_TRUE(table.Dispatch(2));
  ASSERT_EQ(prompter.boxes.size(), 1u);
  EXPECT_EQ(prompter.boxes[0].text, LookupText(keys::NOT_AVAILABLE_IN_BUILD));
  EXPECT_FALSE(table.Dispatch(3));
}

TEST(MainWindowCommands, EveryControlIsInTheTableOnce) {
  test::RecordingPrompter prompter;
  CQmDadIvidudEvuzDlg window(test::OfflineWindowOptions(prompter));
  const CommandTable& table = window.Commands();
  EXPECT_TRUE(table.Duplicates().empty());
  for (QPushButton* button : window.findChildren<QPushButton*>()) {
    // The talk console is a window of its own with its own buttons.
    if (button->window() != &window)
      continue;
    bool known = false;
    for (int id : table.Ids())
      known = known || window.Button(id) == button;
    EXPECT_TRUE(known) << button->text().toStdString();
  }
  // The system menu's About and button 16 are two entries.
  EXPECT_TRUE(table.Available(cmd::kSysAbout));
  EXPECT_TRUE(table.Contains(cmd::kBatchTerminal));
  EXPECT_NE(cmd::kSysAbout, cmd::kBatchTerminal);
  EXPECT_TRUE(table.Contains(cmd::kListRowClick));
  EXPECT_TRUE(table.Contains(cmd::kListRowDoubleClick));
}

}  // namespace
}  // namespace vdz
