#include "devops/device_login.h"

#include <gtest/gtest.h>

#include "devops/batch_runner.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"
#include "support/fake_device_list.h"
#include "support/recording_prompter.h"
#include "support/test_jobs.h"

namespace vdz {
namespace {

using test::FakeDeviceList;
using test::FakeSdk;

DeviceRecord RecordFor(const char* ip, int port, const char* user, const char* password) {
  DeviceRecord record = ZeroDeviceRecord();
  CopyBounded(record.Lan.IPAddress, ip);
  record.Stream.PTZPort = port;
  CopyBounded(record.Users.Accounts[0].Username, user);
  CopyBounded(record.Users.Accounts[0].Password, password);
  return record;
}

TEST(DeviceLoginTest, UsesAddressControlPortAndFirstAccountThenAutoReconnect) {
  FakeSdk sdk;
  sdk.next_login = 7;
  EXPECT_EQ(LoginDevice(sdk, RecordFor("192.168.1.10", 5000, "admin", "pw")), 7);
  EXPECT_EQ(sdk.logins, std::vector<std::string>{"192.168.1.10:5000 admin/pw"});
  EXPECT_EQ(sdk.reconnects, (std::vector<std::pair<int, int>>{{7, 1}}));

  // The port is taken as a 16-bit number.
  LoginDevice(sdk, RecordFor("192.168.1.11", 65536 + 80, "u", "p"));
  EXPECT_EQ(sdk.logins.back(), "192.168.1.11:80 u/p");
}

TEST(DeviceLoginTest, FailedLoginKeepsResultAndShowsLiteralFailure) {
  FakeSdk sdk;
  sdk.next_login = -6;
  FakeDeviceList list;
  list.Add(0, false, false);
  const int handle = LoginDevice(sdk, RecordFor("192.168.1.10", 5000, "admin", "bad"));
  EXPECT_TRUE(sdk.reconnects.empty());
  ApplyLoginResult(list, 0, handle);
  EXPECT_EQ(list.entries[0].row->login_handle, -6);
  EXPECT_EQ(list.entries[0].status, "QM_NETSDK_IPC_Login FAILED");
}

TEST(DeviceLoginTest, FullLengthAccountFieldsAreNotOverRead) {
  FakeSdk sdk;
  DeviceRecord record = RecordFor("192.168.1.10", 5000, "", "");
  std::memset(record.Users.Accounts[0].Username, 'u', sizeof record.Users.Accounts[0].Username);
  std::memset(record.Users.Accounts[0].Password, 'p', sizeof record.Users.Accounts[0].Password);
  LoginDevice(sdk, record);
  EXPECT_EQ(sdk.logins.back(),
            "192.168.1.10:5000 " + std::string(40, 'u') + "/" + std::string(40, 'p'));
}

TEST(DeviceLoginTest, ReloginLogsOldHandleOutFirst) {
  FakeSdk sdk;
  DeviceRow row;
  row.login_handle = 5;
  sdk.next_login = 9;
  EXPECT_EQ(ReloginDevice(sdk, row, RecordFor("192.168.1.20", 5000, "admin", "pw")), 9);
  EXPECT_EQ(sdk.logouts, std::vector<int>{5});
  EXPECT_EQ(row.login_handle, 9);

  row.login_handle = 0;  // never logged in: nothing to log out
  ReloginDevice(sdk, row, RecordFor("192.168.1.21", 5000, "admin", "pw"));
  EXPECT_EQ(sdk.logouts.size(), 1u);
}

TEST(BatchRunnerTest, SkipsOfflineReportsNoLoginAndCountsSuccesses) {
  FakeDeviceList list;
  list.Add(11, true, true);   // ok
  list.Add(12, false, true);  // login failed, never online: skipped silently
  list.Add(0, true, true);    // was online, handle gone: no-login key
  list.Add(14, true, false);  // not checked
  list.Add(15, true, true);   // call fails
  std::vector<int> called;
  BatchOperation op;
  op.no_login_key = keys::MSGTIP40;
  op.failure_key = keys::MSGTIP21;
  op.success_key = keys::MSGTIP23;
  op.call = [&](int, const DeviceRow& row) {
    called.push_back(row.login_handle);
    return row.login_handle == 15 ? -1 : 0;
  };
  test::TestJobs jobs;
  const BatchResult result = jobs.Run(list, op);
  EXPECT_EQ(called, (std::vector<int>{11, 15}));
  EXPECT_EQ(result.visited, 4);
  EXPECT_EQ(result.attempted, 2);
  EXPECT_EQ(result.succeeded, 1);
  EXPECT_EQ(list.entries[0].status, LookupText(keys::MSGTIP23));
  EXPECT_EQ(list.entries[1].status_writes, 0);
  EXPECT_EQ(list.entries[2].status, LookupText(keys::MSGTIP40));
  EXPECT_EQ(list.entries[3].status_writes, 0);
  EXPECT_EQ(list.entries[4].status, LookupText(keys::MSGTIP21));
}

TEST(BatchRunnerTest, CheckedCountAndSingleDeviceChoiceRefuseWithTheirBoxes) {
  FakeDeviceList list;
  list.Add(21, true, false);
  list.Add(22, true, false);
  test::RecordingPrompter prompter;
  EXPECT_EQ(CountCheckedRows(list, prompter), 0);
  ASSERT_EQ(prompter.boxes.size(), 1u);
  EXPECT_EQ(prompter.boxes[0].kind, "ERROR");
  EXPECT_EQ(prompter.boxes[0].text, LookupText(keys::MSGTIP13));

  EXPECT_EQ(SingleDeviceChoice(list, prompter), -1);  // none checked
  list.entries[0].checked = true;
  list.entries[1].checked = true;
  EXPECT_EQ(CountCheckedRows(list, prompter), 2);
  EXPECT_EQ(SingleDeviceChoice(list, prompter), -1);  // two checked
  ASSERT_EQ(prompter.boxes.size(), 3u);
  EXPECT_EQ(prompter.boxes[2].text, LookupText(keys::STRING_ONLY_SUPPORT_ONE_CAMERA));

  list.entries[0].checked = false;
  int position = -1;
  EXPECT_EQ(SingleDeviceChoice(list, prompter, &position), 22);
  EXPECT_EQ(position, 1);
  EXPECT_EQ(prompter.boxes.size(), 3u);
}

}  // namespace
}  // namespace vdz

namespace vdz {
namespace {

TEST(BatchRunnerTest, SdkRebootStepWritesRestartingOrItsKeys) {
  test::FakeDeviceList list;
  list.Add(11, true, true);
  list.Add(0, true, true);
  list.Add(13, false, true);
  test::FakeSdk sdk;
  EXPECT_EQ(RunSdkReboot(sdk, list, 0), StepOutcome::kSucceeded);
  EXPECT_EQ(list.entries[0].status, LookupText(keys::RESTARTING));
  EXPECT_EQ(RunSdkReboot(sdk, list, 1), StepOutcome::kNoLogin);
  EXPECT_EQ(list.entries[1].status, LookupText(keys::MSGTIP23));
  EXPECT_EQ(RunSdkReboot(sdk, list, 2), StepOutcome::kSkipped);
  EXPECT_EQ(list.entries[2].status_writes, 0);
  EXPECT_EQ(FindRowByHandle(list, 0), -1);  // a lost login never matches an event
}

}  // namespace
}  // namespace vdz
