// The window's network commands while its first search runs: a batch queued just before the
// search stops still reaches every checked device, and a device whose login is still under
// way when its address changes ends up online at the new address.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/command_ids.h"
#include "app/main_window.h"
#include "discovery/device_list_port.h"
#include "lab/devsim_control.h"
#include "lab/open_main_window.h"
#include "lab/window_lab_support.h"
#include "protocol/protocol_numbers.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"
#include "support/recording_prompter.h"
#include "ui/report_ctrl.h"

namespace vdz {
namespace {

const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new lab::OffscreenWindowEnvironment);

constexpr int kStatusColumn = 4;

class QueuedRequestsLab : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(control_.Send("site initial", nullptr, &error)) << error;
    ASSERT_TRUE(control_.ClearRequestLog());
    devices_ = control_.Devices();
    ASSERT_GE(devices_.size(), 2u);
    MainWindowOptions options;
    options.prompter = &prompter_;
    window_ = std::make_unique<CQmDadIvidudEvuzDlg>(options);
  }
  void TearDown() override {
    if (window_)
      window_->close();
    window_.reset();
    control_.Send("sdk-misbehave all none");
    control_.Send("site initial");
  }

  int PositionOf(const std::string& ip) {
    for (int r = 0; r < window_->DeviceList()->GetItemCount(); ++r) {
      if (window_->DeviceList()->GetItemText(r, kAddressColumn).toStdString() == ip)
        return r;
    }
    return -1;
  }

  lab::DevsimControl control_ = lab::DevsimControl::FromEnvironment();
  std::vector<lab::DevsimDevice> devices_;
  test::RecordingPrompter prompter_;
  std::unique_ptr<CQmDadIvidudEvuzDlg> window_;
};

TEST_F(QueuedRequestsLab, BatchRestoreStartedDuringTheFirstSearchReachesEveryCheckedDevice) {
  window_->Initialise();
  window_->show();
  const int count = static_cast<int>(devices_.size());
  ASSERT_TRUE(lab::WaitFor([&] { return window_->DeviceList()->GetItemCount() == count; }, 5000));
  ASSERT_TRUE(window_->Session().searching());
  for (int r = 0; r < count; ++r)
    window_->DeviceList()->SetCheck(r, true);
  ASSERT_TRUE(window_->RunCommand(cmd::kRestoreChecked));
  // The search stops before the worker could send them all, as the auto-stop may.
  ASSERT_TRUE(window_->RunCommand(cmd::kSearch));
  ASSERT_FALSE(window_->Session().searching());

  std::set<std::string> expected;
  for (const auto& device : devices_)
    expected.insert(device.serial);
  std::set<std::string> restored;
  lab::WaitFor(
      [&] {
        for (const auto& request : control_.RequestLog(0)) {
          if (request.code == proto::kDiscoveryRestore && request.result == "restored")
            restored.insert(request.serial);
        }
        return restored == expected;
      },
      5000);
  EXPECT_EQ(restored, expected);
}

TEST_F(QueuedRequestsLab, ALoginHeldBackWhileTheAddressChangesEndsOnlineAtTheNewAddress) {
  const lab::DevsimDevice target = devices_[0];
  std::string error;
  ASSERT_TRUE(control_.Send("sdk-misbehave " + target.serial + " hold-logins", nullptr, &error))
      << error;
  window_->Initialise();
  window_->show();
  int position = -1;
  ASSERT_TRUE(lab::WaitFor([&] { return (position = PositionOf(target.ip)) >= 0; }, 5000));

  // Its login waits for the device's answer while the device is given a free address.
  window_->DeviceList()->selectRow(position);
  ASSERT_TRUE(lab::RunToEnd(*window_, cmd::kMenuFreeAddress));
  const std::string moved_to =
      window_->DeviceList()->GetItemText(position, kAddressColumn).toStdString();
  ASSERT_NE(moved_to, target.ip);
  ASSERT_TRUE(lab::WaitFor(
      [&] {
        const auto device = control_.Device(target.serial);
        return device && device->ip == moved_to;
      },
      5000));
  ASSERT_TRUE(control_.Send("sdk-misbehave " + target.serial + " none", nullptr, &error)) << error;

  const bool online = lab::WaitFor(
      [&] {
        const auto device = control_.Device(target.serial);
        return window_->DeviceList()->GetItemText(position, kStatusColumn).toStdString() ==
                   LookupText(keys::MSGTIP1) &&
               device && device->sdk_sessions == 1;
      },
      10000);
  EXPECT_TRUE(online) << window_->DeviceList()->GetItemText(position, kStatusColumn).toStdString();
  EXPECT_EQ(window_->DeviceList()->GetItemText(position, kAddressColumn).toStdString(), moved_to);
}

}  // namespace
}  // namespace vdz
