// Device jobs through the window on 100 devices: a batch whose first devices went silent is
// cancelled in its middle; the devices it had not started are reported skipped and received
// nothing, and a second batch of the same command is refused while the first runs.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <filesystem>
#include <map>
#include <string>

#include "app/command_ids.h"
#include "app/main_window.h"
#include "app/snapshot_commands.h"
#include "lab/devsim_control.h"
#include "lab/open_main_window.h"
#include "lab/window_lab_support.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"
#include "support/recording_prompter.h"
#include "ui/report_ctrl.h"

namespace vdz {
namespace {

namespace fs = std::filesystem;

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new lab::OffscreenWindowEnvironment);
using lab::WaitFor;

constexpr int kDevices = 100;
// Every pool thread holds a silent device until its time-out.
constexpr int kSilent = DeviceJobRunner::kDefaultWidth;

TEST(WindowJobsLab, CancelSkipsTheDevicesNotStartedAndTheyReceiveNothing) {
  const lab::DevsimControl control = lab::DevsimControl::FromEnvironment();
  std::map<std::string, std::string> serial_of;  // address -> serial
  for (const auto& d : control.Devices())
    serial_of[d.ip] = d.serial;
  ASSERT_EQ(serial_of.size(), static_cast<std::size_t>(kDevices));
  test::RecordingPrompter prompter;
  auto window = lab::OpenMainWindow(prompter);
  CReportCtrl* list = window->DeviceList();
  ASSERT_TRUE(lab::WaitListedOnline(*window, kDevices, 60000));
  const fs::path folder = fs::temp_directory_path() / ("vdz-jobs-" + std::to_string(::getpid()));
  window->Snapshots().SetFolder(folder.string());
  std::vector<std::string> serials;  // in list order
  for (int r = 0; r < kDevices; ++r) {
    list->SetCheck(r, true);
    serials.push_back(serial_of.at(list->GetItemText(r, 0).toStdString()));
  }
  for (int r = 0; r < kSilent; ++r)
    ASSERT_TRUE(control.Send("sdk-misbehave " + serials[static_cast<std::size_t>(r)] + " silent"));

  // Cancel comes once every pool thread holds one of the silent devices.
  struct Started final : JobObserver {
    void JobProgressed(int, const JobProgress& progress) override {
      most = std::max(most, progress.running);
    }
    int most = 0;
  } started;
  window->Jobs().AddObserver(&started);
  ASSERT_TRUE(window->RunCommand(cmd::kBatchSnapshot));
  ASSERT_TRUE(window->Jobs().Busy());
  ASSERT_TRUE(WaitFor([&] { return started.most == kSilent; }, 5000)) << started.most;
  EXPECT_TRUE(window->Button(cmd::kCancelJobs)->isVisible());
  window->RunCommand(cmd::kBatchSnapshot);
  ASSERT_EQ(prompter.boxes.size(), 1u);
  EXPECT_EQ(prompter.boxes[0].text, LookupText(keys::JOB_BUSY));
  ASSERT_TRUE(window->RunCommand(cmd::kCancelJobs));
  ASSERT_TRUE(WaitFor([&] { return !window->Jobs().Busy(); }, 30000));
  EXPECT_FALSE(window->Button(cmd::kCancelJobs)->isVisible());

  EXPECT_EQ(window->StatusLine()->text().toStdString(),
            "0 succeeded, " + std::to_string(kSilent) + " failed, " +
                std::to_string(kDevices - kSilent) + " skipped");
  for (int r = kSilent; r < kDevices; ++r) {
    const std::string& serial = serials[static_cast<std::size_t>(r)];
    std::vector<std::string> lines;
    ASSERT_TRUE(control.Send("snapshots " + serial, &lines));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lab::ParseReplyLine(lines[0]).at("requests"), "0") << serial;
  }
  control.Send("sdk-misbehave all none");
  window->Jobs().RemoveObserver(&started);
  window->close();
  window.reset();
  fs::remove_all(folder);
}

}  // namespace
}  // namespace vdz
