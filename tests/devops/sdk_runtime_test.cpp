#include "devops/sdk_runtime.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "protocol/protocol_numbers.h"
#include "qm_netsdk.h"

namespace vdz {
namespace {

using namespace std::chrono_literals;

class SlowSubscriber final : public SdkEventSubscriber {
 public:
  void OnSdkEvent(SdkEventKind kind, std::shared_ptr<const SdkEventRecord> record) override {
    last_kind = kind;
    last_code = record->code;
    entered = true;
    std::this_thread::sleep_for(200ms);
    ++delivered;
  }
  std::atomic<bool> entered{false};
  std::atomic<int> delivered{0};
  std::atomic<int> last_code{0};
  std::atomic<SdkEventKind> last_kind{SdkEventKind::kStatus};
};

TEST(SdkRuntime, OneAtATimeAndUnsubscribeWaitsForADelivery) {
  int rc = -100;
  auto runtime = SdkRuntime::Start(&rc);
  ASSERT_TRUE(runtime);
  EXPECT_EQ(rc, QM_NETSDK_OK);
  EXPECT_FALSE(SdkRuntime::Start(&rc));  // the library is process-wide
  EXPECT_NE(rc, QM_NETSDK_OK);

  SlowSubscriber slow;
  runtime->Subscribe(&slow);
  std::thread library([&] {
    runtime->DeliverForTest(SdkEventKind::kAux, 3, proto::kCmdDeviceInformation, "info");
  });
  while (!slow.entered)
    std::this_thread::sleep_for(1ms);
  runtime->Unsubscribe(&slow);
  EXPECT_EQ(slow.delivered, 1);  // the running delivery ended before Unsubscribe returned
  EXPECT_EQ(slow.last_code, proto::kCmdDeviceInformation);
  EXPECT_EQ(slow.last_kind, SdkEventKind::kAux);
  library.join();
  runtime->DeliverForTest(SdkEventKind::kStatus, 3, proto::kEventSessionUp, "");
  EXPECT_EQ(slow.delivered, 1);

  runtime.reset();
  EXPECT_TRUE(SdkRuntime::Start(&rc));  // free again once the first has gone
}

}  // namespace
}  // namespace vdz
