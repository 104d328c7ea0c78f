// Device jobs through the window on 100 devices: a batch whose first devices went silent is
// cancelled in its middle; the devices it had not started are reported skipped and received
// nothing, and a second batch of the same command is refused while the first runs.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
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

class WindowJobsLab : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const auto& d : control_.Devices())
      serial_of_[d.ip] = d.serial;
    ASSERT_EQ(serial_of_.size(), static_cast<std::size_t>(kDevices));
    window_ = lab::OpenMainWindow(prompter_);
    ASSERT_TRUE(lab::WaitListedOnline(*window_, kDevices, 60000));
  }
  void TearDown() override {
    control_.Send("sdk-misbehave all none");
    window_->close();
    window_.reset();
  }
  // The device of the row, by the address the row shows.
  std::string Serial(int row) {
    return serial_of_.at(window_->DeviceList()->GetItemText(row, 0).toStdString());
  }

  const lab::DevsimControl control_ = lab::DevsimControl::FromEnvironment();
  std::map<std::string, std::string> serial_of_;  // address -> serial
  test::RecordingPrompter prompter_;
  std::unique_ptr<CQmDadIvidudEvuzDlg> window_;
};

TEST_F(WindowJobsLab, CancelSkipsTheDevicesNotStartedAndTheyReceiveNothing) {
  CReportCtrl* list = window_->DeviceList();
  const fs::path folder = fs::temp_directory_path() / ("vdz-jobs-" + std::to_string(::getpid()));
  window_->Snapshots().SetFolder(folder.string());
  std::vector<std::string> serials;  // in list order
  for (int r = 0; r < kDevices; ++r) {
    list->SetCheck(r, true);
    serials.push_back(Serial(r));
  }
  for (int r = 0; r < kSilent; ++r)
    ASSERT_TRUE(control_.Send("sdk-misbehave " + serials[static_cast<std::size_t>(r)] + " silent"));

  // Cancel comes once every pool thread holds one of the silent devices.
  struct Started final : JobObserver {
    void JobProgressed(int, const JobProgress& progress) override {
      most = std::max(most, progress.running);
    }
    int most = 0;
  } started;
  window_->Jobs().AddObserver(&started);
  ASSERT_TRUE(window_->RunCommand(cmd::kBatchSnapshot));
  ASSERT_TRUE(window_->Jobs().Busy());
  ASSERT_TRUE(WaitFor([&] { return started.most == kSilent; }, 5000)) << started.most;
  EXPECT_TRUE(window_->Button(cmd::kCancelJobs)->isVisible());
  window_->RunCommand(cmd::kBatchSnapshot);
  ASSERT_EQ(prompter_.boxes.size(), 1u);
  EXPECT_EQ(prompter_.boxes[0].text, LookupText(keys::JOB_BUSY));
  ASSERT_TRUE(window_->RunCommand(cmd::kCancelJobs));
  ASSERT_TRUE(WaitFor([&] { return !window_->Jobs().Busy(); }, 30000));
  window_->Jobs().RemoveObserver(&started);
  EXPECT_FALSE(window_->Button(cmd::kCancelJobs)->isVisible());

  EXPECT_EQ(window_->StatusLine()->text().toStdString(),
            "0 succeeded, " + std::to_string(kSilent) + " failed, " +
                std::to_string(kDevices - kSilent) + " skipped");
  for (int r = kSilent; r < kDevices; ++r) {
    const std::string& serial = serials[static_cast<std::size_t>(r)];
    std::vector<std::string> lines;
    ASSERT_TRUE(control_.Send("snapshots " + serial, &lines));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lab::ParseReplyLine(lines[0]).at("requests"), "0") << serial;
  }
  fs::remove_all(folder);
}

// The free-address search probes off the window's thread, one device after another: each
// device gets an address of its own.
TEST_F(WindowJobsLab, FreeAddressesAreHandedOutAsAJob) {
  CReportCtrl* list = window_->DeviceList();
  const std::vector<int> rows = {3, 7};
  for (int r : rows)
    list->SetCheck(r, true);
  const std::vector<std::string> serials = {Serial(rows[0]), Serial(rows[1])};
  ASSERT_TRUE(window_->RunCommand(cmd::kMenuAssignFree));
  EXPECT_TRUE(window_->Jobs().Busy());
  ASSERT_TRUE(WaitFor([&] { return !window_->Jobs().Busy(); }, 30000));
  EXPECT_EQ(window_->StatusLine()->text().toStdString(), "2 succeeded, 0 failed, 0 skipped");
  std::set<std::string> moved;
  for (const std::string& serial : serials) {
    const auto device = control_.Device(serial);
    ASSERT_TRUE(device);
    EXPECT_EQ(serial_of_.count(device->ip), 0u) << serial << " kept or took a listed address";
    moved.insert(device->ip);
  }
  EXPECT_EQ(moved.size(), 2u);
}

}  // namespace
}  // namespace vdz
