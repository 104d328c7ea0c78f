// Replacing a callback waits for a running one, so its owner may go right after.
#include <atomic>
#include <chrono>
#include <thread>

#include "sdk_test_env.h"

namespace vdz::test {
namespace {

struct SlowOwner {
  std::atomic<bool> entered{false};
  std::atomic<bool> finished{false};
  std::atomic<int> calls_after_unregister{0};
  std::atomic<bool> unregistered{false};
};

int SlowStatus(int, int, const char*, void* owner) {
  auto* slow = static_cast<SlowOwner*>(owner);
  if (slow->unregistered)
    ++slow->calls_after_unregister;
  slow->entered = true;
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  slow->finished = true;
  return 0;
}

TEST_F(SdkTest, UnregisteringWaitsForARunningCallback) {
  SlowOwner slow;
  QM_NETSDK_IPC_SetStatusEventCallBack(&SlowStatus, &slow);
  const auto dev = AddDevice();
  ASSERT_GT(Login(dev), 0);
  const auto start = std::chrono::steady_clock::now();
  while (!slow.entered && ElapsedMs(start) < 5000)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_TRUE(slow.entered);
  EXPECT_EQ(QM_NETSDK_IPC_SetStatusEventCallBack(nullptr, nullptr), QM_NETSDK_OK);
  slow.unregistered = true;
  // Without the wait the callback would still be asleep here, on an owner about to go.
  EXPECT_TRUE(slow.finished);
  ASSERT_GT(Login(dev), 0);  // another event 4, to nobody
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(slow.calls_after_unregister, 0);
}

}  // namespace
}  // namespace vdz::test
