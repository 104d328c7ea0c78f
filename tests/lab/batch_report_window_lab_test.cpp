// The batch report through the window's command table against the simulated site: a batch
// over checked devices with one that refuses and one that never came online, its summary
// line, and the saved CSV with one line per device as the status column showed it.
#include <gtest/gtest.h>

#include <QLabel>
#include <filesystem>
#include <fstream>

#include "app/batch_report_commands.h"
#include "app/command_ids.h"
#include "app/main_window.h"
#include "devops/batch_report.h"
#include "lab/devsim_control.h"
#include "lab/open_main_window.h"
#include "lab/window_lab_support.h"
#include "shell/record_writer.h"
#include "support/recording_prompter.h"
#include "ui/report_ctrl.h"

namespace vdz {
namespace {

namespace fs = std::filesystem;

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new lab::OffscreenWindowEnvironment);
using lab::WaitFor;

class BatchReportWindowLab : public ::testing::Test {
 protected:
  void SetUp() override {
    devices_ = control_.Devices();
    ASSERT_EQ(devices_.size(), 5u);
    refusing_ = devices_[3];
    offline_ = devices_[4];
    std::string error;
    // Set before the window logs in: the last device never comes online.
    ASSERT_TRUE(
        control_.Send("sdk-misbehave " + offline_.serial + " refuse-logins", nullptr, &error))
        << error;
    ASSERT_TRUE(control_.Send("sdk-refuse-settings " + refusing_.serial + " 1", nullptr, &error))
        << error;
    window_ = lab::OpenMainWindow(prompter_);
    // Listed, and every device that can log in has its version.
    ASSERT_TRUE(WaitFor(
        [&] {
          if (window_->DeviceList()->GetItemCount() != 5)
            return false;
          for (const auto& d : devices_) {
            if (d.serial != offline_.serial && Cell(d, 3).empty())
              return false;
          }
          return true;
        },
        20000));
    for (int r = 0; r < 5; ++r)
      window_->DeviceList()->SetCheck(r, true);
  }
  void TearDown() override {
    window_->close();
    window_.reset();
    control_.Send("sdk-misbehave all none");
    control_.Send("sdk-refuse-settings all 0");
    fs::remove(path_);
  }
  std::string Cell(const lab::DevsimDevice& d, int column) {
    for (int r = 0; r < window_->DeviceList()->GetItemCount(); ++r) {
      if (window_->DeviceList()->GetItemText(r, 0).toStdString() == d.ip)
        return window_->DeviceList()->GetItemText(r, column).toStdString();
    }
    return "?";
  }

  lab::DevsimControl control_ = lab::DevsimControl::FromEnvironment();
  std::vector<lab::DevsimDevice> devices_;
  lab::DevsimDevice refusing_, offline_;
  test::RecordingPrompter prompter_;
  std::unique_ptr<CQmDadIvidudEvuzDlg> window_;
  fs::path path_ =
      fs::temp_directory_path() / ("vdz-batch-report-" + std::to_string(::getpid()) + ".csv");
};

TEST_F(BatchReportWindowLab, SummaryAndSavedCsvHoldEveryCheckedDevice) {
  ASSERT_TRUE(lab::RunToEnd(*window_, cmd::kMenuSyncTime));
  EXPECT_EQ(window_->StatusLine()->text().toStdString(), "3 succeeded, 1 failed, 1 skipped");

  window_->BatchReports().SetSaveChooser([this](const QString& suggested) {
    EXPECT_TRUE(suggested.endsWith(QStringLiteral(".csv")));
    return QString::fromStdString(path_.string());
  });
  ASSERT_TRUE(lab::RunToEnd(*window_, cmd::kSaveBatchReport));
  EXPECT_TRUE(prompter_.boxes.empty());
  std::ifstream in(path_);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], "batch,command,time,address,serial,outcome,result");
  for (const auto& d : devices_) {
    const char* outcome = d.serial == refusing_.serial  ? "failed"
                          : d.serial == offline_.serial ? "skipped"
                                                        : "succeeded";
    // Each device once, with the text its status cell shows.
    const std::string middle = "," + d.ip + "," + d.serial + "," + outcome + ",";
    const std::string tail = middle + CsvField(Cell(d, 4));
    int found = 0;
    for (const std::string& line : lines) {
      if (line.find(middle) == std::string::npos)
        continue;
      ++found;
      EXPECT_TRUE(line.ends_with(tail)) << line << "\n" << tail;
    }
    EXPECT_EQ(found, 1) << d.serial;
  }
}

}  // namespace
}  // namespace vdz
