// Searching again and again through the window: the rows a new search drops log their
// sessions out, so each device keeps only the session of the row that shows it now.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_ids.h"
#include "app/main_window.h"
#include "discovery/device_list_port.h"
#include "lab/devsim_control.h"
#include "lab/open_main_window.h"
#include "lab/window_lab_support.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"
#include "support/recording_prompter.h"
#include "ui/report_ctrl.h"

namespace vdz {
namespace {

const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new lab::OffscreenWindowEnvironment);

constexpr int kDevices = 10;
constexpr int kSearches = 10;

TEST(SearchSessionsLab, EverySearchLeavesOneSessionPerDevice) {
  lab::DevsimControl control = lab::DevsimControl::FromEnvironment();
  ASSERT_EQ(control.Devices().size(), static_cast<std::size_t>(kDevices));
  test::RecordingPrompter prompter;
  auto window = lab::OpenMainWindow(prompter);
  CReportCtrl& list = *window->DeviceList();
  auto all_online = [&] {
    if (list.GetItemCount() != kDevices)
      return false;
    for (int r = 0; r < kDevices; ++r) {
      if (list.GetItemText(r, kStatusColumn).toStdString() != LookupText(keys::MSGTIP1))
        return false;
    }
    return true;
  };
  ASSERT_TRUE(lab::WaitFor(all_online, 10000)) << "first search";
  for (int search = 1; search <= kSearches; ++search) {
    if (window->Session().searching()) {
      ASSERT_TRUE(window->RunCommand(cmd::kSearch));  // stops the running search
    }
    ASSERT_TRUE(window->RunCommand(cmd::kSearch));
    ASSERT_TRUE(window->Session().searching());
    ASSERT_TRUE(lab::WaitFor(all_online, 10000)) << "search " << search;
  }

  std::vector<int> sessions;
  auto one_each = [&] {
    sessions.clear();
    for (const auto& device : control.Devices())
      sessions.push_back(device.sdk_sessions);
    return sessions == std::vector<int>(kDevices, 1);
  };
  const bool settled = lab::WaitFor(one_each, 5000);
  std::string counts;
  for (int n : sessions)
    counts += std::to_string(n) + " ";
  EXPECT_TRUE(settled) << "sessions per device: " << counts;
  window->close();
}

}  // namespace
}  // namespace vdz
