#include "devops/login_coordinator.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "shell/language_keys.h"
#include "shell/language_table.h"
#include "support/fake_device_list.h"

namespace vdz {
namespace {

using test::FakeDeviceList;
using test::FakeSdk;

// Completions wait until the test plays the owner's thread.
class Owner {
 public:
  SdkCallPool::Poster Poster() {
    return [this](std::function<void()> work) {
      std::lock_guard lock(mutex_);
      posted_.push_back(std::move(work));
    };
  }
  // Runs what has been posted, waiting for `expected` completions at most a few seconds.
  void Run(std::size_t expected) {
    WaitFor(expected);
    std::vector<std::function<void()>> work;
    {
      std::lock_guard lock(mutex_);
      work.swap(posted_);
    }
    for (auto& w : work)
      w();
  }
  // Waits for `expected` completions without running them: their calls are over, their
  // results not yet seen.
  void WaitFor(std::size_t expected) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (;;) {
      {
        std::lock_guard lock(mutex_);
        if (posted_.size() >= expected || std::chrono::steady_clock::now() > deadline)
          break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

 private:
  std::mutex mutex_;
  std::vector<std::function<void()>> posted_;
};

class LoginCoordinatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    logins.UsePoolFor(&hooks);
    handler = std::make_unique<SdkEventHandler>(sdk, list, hooks);
    logins.SetEventHandler(handler.get());
  }
  // Waits until the pool has nothing queued or running: logouts have no completion to wait
  // for.
  void Settle() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (pool.pending() > 0 && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }

  FakeSdk sdk;
  FakeDeviceList list;
  Owner owner;
  // One thread: the fake SDK records calls without a lock.
  SdkCallPool pool{owner.Poster(), 1};
  LoginCoordinator logins{sdk, list, &pool};
  SdkEventHooks hooks;
  std::unique_ptr<SdkEventHandler> handler;
};

TEST_F(LoginCoordinatorTest, SessionEventAheadOfItsLoginResultWaitsForIt) {
  DeviceRow& row = list.Add(0, false, false);
  sdk.next_login = 42;
  logins.StartLogin(row, row.record);
  EXPECT_EQ(logins.InFlight(), 1);
  // The library reports the session before the login's result has reached the row.
  logins.Dispatch(true, *MakeStatusEventRecord(42, 4, "", nullptr));
  EXPECT_EQ(row.online, 0);
  owner.Run(1);
  EXPECT_EQ(row.login_handle, 42);
  EXPECT_EQ(row.online, 1);
  EXPECT_EQ(list.entries[0].status, LookupText(keys::MSGTIP1));
  EXPECT_EQ(logins.InFlight(), 0);
  // The session requests went through the pool, not this thread: the version first, the
  // device information once the version's answer is back.
  owner.Run(1);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (pool.pending() > 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_EQ(sdk.controls.size(), 2u);
  EXPECT_EQ(sdk.controls[0], "42:1012:RESPONSE_PARAM");
  EXPECT_EQ(sdk.controls[1], "42:1020:RESPONSE_PARAM");
}

TEST_F(LoginCoordinatorTest, ResultsForGoneRowsOrReplacedLoginsAreLoggedOut) {
  DeviceRow& row = list.Add(0, false, false);
  sdk.next_login = 7;
  logins.StartLogin(row, row.record);
  owner.WaitFor(1);  // logged in, the result not yet back
  logins.Forget();   // a new search empties the list
  owner.Run(1);
  Settle();
  EXPECT_EQ(row.login_handle, 0);
  EXPECT_EQ(sdk.logouts, std::vector<int>{7});

  sdk.next_login = 8;
  logins.StartLogin(row, row.record);
  owner.Run(1);
  ASSERT_EQ(row.login_handle, 8);
  logins.Relogin(row, row.record);  // the address changed
  EXPECT_EQ(row.login_handle, 0);
  owner.Run(1);
  Settle();
  EXPECT_EQ(sdk.logouts, (std::vector<int>{7, 8}));
  EXPECT_EQ(row.login_handle, 8);
}

TEST_F(LoginCoordinatorTest, GoneRowsAreLoggedOutInTheBackgroundAndTheirQueuedWorkDropped) {
  DeviceRow& online = list.Add(5, true, false);
  DeviceRow& waiting = list.Add(0, false, false);
  // The pool's one thread is held, as by a silent device.
  std::atomic<bool> release{false};
  pool.Submit(
      [&] {
        while (!release)
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return 0;
      },
      nullptr);
  logins.StartLogin(waiting, waiting.record);
  hooks.system_control(5, 1012, nullptr);
  logins.Forget();
  EXPECT_EQ(online.login_handle, 0);
  EXPECT_TRUE(sdk.logouts.empty());  // not on this thread
  release = true;
  Settle();
  EXPECT_EQ(sdk.logouts, std::vector<int>{5});
  EXPECT_TRUE(sdk.logins.empty());
  EXPECT_TRUE(sdk.controls.empty());

  // Rows listed after it are served as usual.
  sdk.next_login = 9;
  logins.StartLogin(waiting, waiting.record);
  owner.Run(1);
  EXPECT_EQ(waiting.login_handle, 9);
}

TEST_F(LoginCoordinatorTest, ReloginAtANewAddressWaitsForTheDeviceToListenThere) {
  DeviceRow& row = list.Add(3, true, false);
  sdk.login_results = {-4, -4, 11};  // refused twice while the device moves
  logins.Relogin(row, row.record);
  owner.Run(1);
  EXPECT_EQ(row.login_handle, 11);
  EXPECT_EQ(sdk.logins.size(), 3u);
  EXPECT_EQ(list.entries[0].status_writes, 0);  // no failure shown on the way
}

// A first login tries once, but one that only timed out is asked again; a refusal is final.
TEST_F(LoginCoordinatorTest, AFirstLoginIsRetriedOnlyWhenItTimedOut) {
  struct Case {
    std::deque<int> results;
    int handle;
    std::size_t tries;
  } cases[] = {{{kSdkTimedOut, kSdkTimedOut, 9}, 9, 3},
               {{kSdkTimedOut, kSdkTimedOut, kSdkTimedOut, 9}, kSdkTimedOut, 3},
               {{-6, 9}, -6, 1},
               {{-4, 9}, -4, 1}};
  for (const Case& c : cases) {
    FakeDeviceList rows;
    DeviceRow& row = rows.Add(0, false, false);
    LoginCoordinator first{sdk, rows, &pool};
    sdk.logins.clear();
    sdk.login_results = c.results;
    first.StartLogin(row, row.record);
    owner.Run(1);
    EXPECT_EQ(row.login_handle, c.handle) << c.results.size();
    EXPECT_EQ(sdk.logins.size(), c.tries) << c.results.size();
    sdk.login_results.clear();
  }
}

TEST_F(LoginCoordinatorTest, AnAddressChangeOvertakesALoginStillUnderWay) {
  DeviceRow& row = list.Add(0, false, false);
  sdk.next_login = 7;
  logins.StartLogin(row, row.record);
  EXPECT_EQ(row.login_pending, 1);
  owner.WaitFor(1);  // logged in at the old address, the result not yet back
  sdk.next_login = 8;
  auto moved = std::make_unique<DeviceRecord>(row.record);
  std::snprintf(moved->Lan.IPAddress, sizeof moved->Lan.IPAddress, "192.168.1.99");
  logins.Relogin(row, *moved);
  owner.Run(2);
  Settle();
  EXPECT_EQ(sdk.logouts, std::vector<int>{7});
  EXPECT_EQ(row.login_handle, 8);
  EXPECT_EQ(row.login_pending, 0);
  ASSERT_EQ(sdk.logins.size(), 2u);
  EXPECT_EQ(sdk.logins[1].rfind("192.168.1.99:", 0), 0u) << sdk.logins[1];
}

TEST_F(LoginCoordinatorTest, EventsForHandlesNobodyWaitsForChangeNothing) {
  DeviceRow& row = list.Add(5, false, false);
  logins.Dispatch(true, *MakeStatusEventRecord(99, 4, "", nullptr));
  EXPECT_EQ(row.online, 0);
  EXPECT_EQ(list.entries[0].status_writes, 0);
  logins.Dispatch(true, *MakeStatusEventRecord(5, 4, "", nullptr));
  EXPECT_EQ(row.online, 1);
}

TEST(LoginCoordinatorWithoutPoolTest, LogsInAtOnceAndShowsFailures) {
  FakeSdk sdk;
  FakeDeviceList list;
  DeviceRow& row = list.Add(0, false, false);
  LoginCoordinator logins(sdk, list, nullptr);
  sdk.next_login = -6;
  logins.StartLogin(row, row.record);
  EXPECT_EQ(row.login_handle, -6);
  EXPECT_EQ(list.entries[0].status, "QM_NETSDK_IPC_Login FAILED");
  EXPECT_EQ(logins.InFlight(), 0);
}

}  // namespace
}  // namespace vdz
