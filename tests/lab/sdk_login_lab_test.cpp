// A 50-device site found by the real search and logged in with the devops core: every device
// comes online with the firmware version the simulator holds; refused accounts, unknown
// handles, dropped lines and lost handles behave as the window must show them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "devops/batch_runner.h"
#include "devops/device_login.h"
#include "devops/sdk_event.h"
#include "lab/devsim_control.h"
#include "lab/sdk_lab_session.h"
#include "shell/bounded_text.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"
#include "support/test_jobs.h"

namespace vdz::lab {
namespace {

using namespace std::chrono_literals;

constexpr int kGenerated = 50;
// The answer reports admin/admin; the device really wants another password.
constexpr char kWrongPassword[] = "PWDIFFER01";
constexpr char kRefusing[] = "REFUSES001";

class SdkLoginLab : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    control_ = std::make_unique<DevsimControl>(DevsimControl::FromEnvironment());
    control_->Send("reset all");
    std::string error;
    ASSERT_TRUE(control_->Send(
        std::string("add sn=") + kWrongPassword + " ip=192.168.1.240 sdk-password=not-what-it-says",
        nullptr, &error))
        << error;
    ASSERT_TRUE(
        control_->Send(std::string("add sn=") + kRefusing + " ip=192.168.1.241", nullptr, &error))
        << error;
    ASSERT_TRUE(control_->Send(std::string("sdk-misbehave ") + kRefusing + " refuse-logins"));
    session_ = std::make_unique<SdkLabSession>();
    ASSERT_TRUE(session_->Start(SdkTimeouts{}, 2, &error)) << error;
    session_->LoginAll();
    settled_ = session_->WaitSettled(10s);
  }

  static void TearDownTestSuite() {
    session_.reset();
    if (control_) {
      control_->Send(std::string("remove ") + kWrongPassword);
      control_->Send(std::string("remove ") + kRefusing);
      control_->Send("reset all");
    }
    control_.reset();
  }

  static bool Generated(const DeviceRow& row) {
    return FieldText(row.record.SerialNumber).rfind("SIM", 0) == 0;
  }

  static inline std::unique_ptr<DevsimControl> control_;
  static inline std::unique_ptr<SdkLabSession> session_;
  static inline bool settled_ = false;
};

TEST_F(SdkLoginLab, EveryDeviceComesOnlineWithTheVersionItHolds) {
  ASSERT_TRUE(session_);
  EXPECT_TRUE(settled_);
  auto& list = session_->list();
  std::set<std::string> seen;
  for (int p = 0; p < list.RowCount(); ++p) {
    const DeviceRow& row = *list.RowAt(p);
    if (!Generated(row))
      continue;
    const std::string serial(FieldText(row.record.SerialNumber));
    seen.insert(serial);
    const auto device = control_->Device(serial);
    ASSERT_TRUE(device) << serial;
    EXPECT_GT(row.login_handle, 0) << serial;
    EXPECT_EQ(row.online, 1) << serial;
    EXPECT_GE(session_->EventCount(row.login_handle, 4), 1) << serial;
    EXPECT_EQ(FieldText(row.firmware_version), device->version) << serial;
    EXPECT_EQ(list.VersionText(p), device->version) << serial;
    EXPECT_NE(std::string(FieldText(row.device_information)).find(serial), std::string::npos)
        << serial;
    EXPECT_EQ(device->sdk_sessions, 1) << serial;
  }
  EXPECT_EQ(seen.size(), static_cast<std::size_t>(kGenerated));
}

TEST_F(SdkLoginLab, RefusedLoginsShowFailureAndAreSkippedByBatches) {
  ASSERT_TRUE(session_);
  auto& list = session_->list();
  for (const char* serial : {kWrongPassword, kRefusing}) {
    SCOPED_TRACE(serial);
    const int p = session_->Position(serial);
    ASSERT_GE(p, 0);
    EXPECT_LE(list.RowAt(p)->login_handle, 0);
    EXPECT_EQ(list.RowAt(p)->online, 0);
    EXPECT_EQ(list.StatusText(p), kLoginFailedText);
  }
  int online = 0;
  for (int p = 0; p < list.RowCount(); ++p)
    online += list.RowAt(p)->online;
  std::vector<std::string> called;
  std::mutex called_mutex;
  BatchOperation op;
  op.no_login_key = keys::MSGTIP40;
  op.call = [&](int, const DeviceRow& row) {
    {
      std::lock_guard lock(called_mutex);
      called.emplace_back(FieldText(row.record.SerialNumber));
    }
    return session_->sdk().SystemControl(row.login_handle, 1020, 0, "RESPONSE_PARAM");
  };
  test::TestJobs jobs(DeviceJobRunner::kDefaultWidth);
  const BatchResult result = jobs.Run(list, op);
  EXPECT_EQ(result.visited, list.RowCount());
  EXPECT_EQ(result.attempted, online);
  EXPECT_EQ(result.succeeded, online);
  for (const char* serial : {kWrongPassword, kRefusing}) {
    const int p = session_->Position(serial);
    EXPECT_EQ(std::count(called.begin(), called.end(), serial), 0) << serial;
    EXPECT_EQ(list.StatusText(p), kLoginFailedText) << serial;
  }
  session_->checker().Drain();
}

TEST_F(SdkLoginLab, EventsForAnUnknownHandleChangeNothing) {
  ASSERT_TRUE(session_);
  auto& list = session_->list();
  int unknown = 1;
  for (int p = 0; p < list.RowCount(); ++p)
    unknown = std::max(unknown, list.RowAt(p)->login_handle + 1000);
  session_->checker().Drain();
  std::vector<DeviceRow> rows_before;
  std::vector<std::string> cells_before;
  for (int p = 0; p < list.RowCount(); ++p) {
    rows_before.push_back(*list.RowAt(p));
    cells_before.push_back(list.StatusText(p) + "|" + list.VersionText(p));
  }
  const int changes_before = list.cell_changes();
  auto& handler = session_->checker().handler();
  for (const int type : {2, 3, 4, 5, 6, 14, 15, 16, 17, 23, 32, 34, 54}) {
    auto record = MakeStatusEventRecord(unknown, type, "12:00:00", nullptr);
    ASSERT_TRUE(record);
    handler.HandleStatusEvent(*record);
  }
  auto version = MakeAuxEventRecord(
      unknown, 1012, "<RESPONSE_PARAM FileSystemVersion=\"V9.9.9 forged\" />", nullptr);
  auto information = MakeAuxEventRecord(unknown, 1020, "<RESPONSE_PARAM forged=\"1\" />", nullptr);
  handler.HandleAuxResponse(*version);
  handler.HandleAuxResponse(*information);
  EXPECT_EQ(list.cell_changes(), changes_before);
  for (int p = 0; p < list.RowCount(); ++p) {
    EXPECT_EQ(
        std::memcmp(&rows_before[static_cast<std::size_t>(p)], list.RowAt(p), sizeof(DeviceRow)), 0)
        << "row " << p;
    EXPECT_EQ(list.StatusText(p) + "|" + list.VersionText(p),
              cells_before[static_cast<std::size_t>(p)]);
  }
}

TEST_F(SdkLoginLab, DroppedLineComesBackByItself) {
  ASSERT_TRUE(session_);
  const std::string serial = "SIM00000005";
  DeviceRow* row = session_->Row(serial);
  ASSERT_NE(row, nullptr);
  const int handle = row->login_handle;
  ASSERT_GT(handle, 0);
  const int up_before = session_->EventCount(handle, 4);
  ASSERT_TRUE(control_->Send("sdk-misbehave " + serial + " drop-line"));
  EXPECT_TRUE(session_->PumpUntil([&] { return session_->EventCount(handle, 60) >= 1; }, 5s));
  // Reconnection attempts fail while the device keeps dropping the line.
  EXPECT_TRUE(session_->PumpUntil([&] { return session_->EventCount(handle, 61) >= 1; }, 5s));
  EXPECT_EQ(session_->EventCount(handle, 4), up_before);
  ASSERT_TRUE(control_->Send("sdk-misbehave " + serial + " none"));
  EXPECT_TRUE(
      session_->PumpUntil([&] { return session_->EventCount(handle, 4) > up_before; }, 15s));
  row = session_->Row(serial);
  EXPECT_EQ(row->login_handle, handle);
  EXPECT_EQ(row->online, 1);
  EXPECT_TRUE(session_->PumpUntil(
      [&] {
        const auto d = control_->Device(serial);
        return d && d->sdk_sessions == 1;
      },
      3s));
}

TEST_F(SdkLoginLab, OnlineDeviceWithoutHandleGetsTheNoLoginKey) {
  ASSERT_TRUE(session_);
  auto& list = session_->list();
  const int p = session_->Position("SIM00000007");
  ASSERT_GE(p, 0);
  DeviceRow* row = list.RowAt(p);
  ASSERT_EQ(row->online, 1);
  const int handle = row->login_handle;
  row->login_handle = 0;
  list.SetStatusText(p, "before the batch");
  std::vector<std::string> called;
  std::mutex called_mutex;
  BatchOperation op;
  op.no_login_key = keys::MSGTIP40;
  op.failure_key = keys::MSGTIP34;
  op.call = [&](int, const DeviceRow& called_row) {
    std::lock_guard lock(called_mutex);
    called.emplace_back(FieldText(called_row.record.SerialNumber));
    return 0;
  };
  test::TestJobs jobs(DeviceJobRunner::kDefaultWidth);
  const BatchResult result = jobs.Run(list, op);
  EXPECT_EQ(list.StatusText(p), LookupText(keys::MSGTIP40));
  EXPECT_EQ(std::count(called.begin(), called.end(), "SIM00000007"), 0);
  EXPECT_EQ(result.attempted, static_cast<int>(called.size()));
  row->login_handle = handle;
}

}  // namespace
}  // namespace vdz::lab
