#include "cli/sdk_event_queue.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "cli/cli_device_list.h"
#include "devops/device_sdk.h"
#include "shell/bounded_text.h"

namespace vdz::cli {
namespace {

using namespace std::chrono_literals;

// Records the calls the event handler makes; answers every one with success.
class RecordingSdk final : public DeviceSdk {
 public:
  int Login(const char*, uint16_t, const char*, const char*) override { return 1; }
  int SetAutoReconnect(int, int) override { return 0; }
  int Logout(int) override { return 0; }
  int SystemControl(int handle, int command, int, const char*) override {
    calls.push_back(std::to_string(handle) + ":" + std::to_string(command));
    return 0;
  }
  int SetDVRConfig(int, int, int, const char*, int) override { return 0; }
  int GetDVRConfig(int, int, int) override { return 0; }
  int RebootDVR(int) override { return 0; }
  std::vector<std::string> calls;
};

// As the runtime hands a callback's record on: 0 when queued.
int QueueStatusEvent(int handle, int code, const char* text, SdkEventQueue* queue) {
  return queue->Push({SdkEventKind::kStatus, MakeStatusEventRecord(handle, code, text, queue)})
             ? 0
             : -1;
}

int QueueAuxResponse(int handle, int code, const char* text, SdkEventQueue* queue) {
  return queue->Push({SdkEventKind::kAux, MakeAuxEventRecord(handle, code, text, queue)}) ? 0 : -1;
}

TEST(SdkEventQueue, CallbacksFromAnotherThreadArriveInOrder) {
  SdkEventQueue queue;
  constexpr int kEvents = 500;
  std::thread library([&] {
    for (int i = 0; i < kEvents; ++i) {
      const std::string text = "event " + std::to_string(i);
      if (i % 2 == 0) {
        EXPECT_EQ(QueueStatusEvent(i, 4, text.c_str(), &queue), 0);
      } else {
        EXPECT_EQ(QueueAuxResponse(i, 1020, text.c_str(), &queue), 0);
      }
    }
  });
  for (int i = 0; i < kEvents; ++i) {
    auto event = queue.Pop(2000ms);
    ASSERT_TRUE(event);
    ASSERT_TRUE(event->record);
    EXPECT_EQ(event->record->handle, i);
    EXPECT_EQ(event->kind, i % 2 == 0 ? SdkEventKind::kStatus : SdkEventKind::kAux);
    EXPECT_EQ(FieldText(event->record->payload), "event " + std::to_string(i));
    EXPECT_EQ(event->record->owner, &queue);
  }
  library.join();
  EXPECT_FALSE(queue.Pop(0ms));
}

TEST(SdkEventQueue, AFloodIsCutAtTheBoundAndReported) {
  SdkEventQueue queue;
  for (std::size_t i = 0; i < SdkEventQueue::kMaxWaiting; ++i)
    ASSERT_EQ(QueueStatusEvent(1, 16, "x", &queue), 0);
  EXPECT_EQ(QueueStatusEvent(1, 16, "x", &queue), -1);
  EXPECT_EQ(QueueAuxResponse(1, 1020, "x", &queue), -1);
  EXPECT_EQ(queue.size(), SdkEventQueue::kMaxWaiting);
  EXPECT_EQ(queue.dropped(), 2u);
  ASSERT_TRUE(queue.Pop(0ms));
  EXPECT_EQ(QueueStatusEvent(1, 16, "x", &queue), 0);
}

TEST(SdkEventQueue, DispatchSendsEachKindToItsHandler) {
  RecordingSdk sdk;
  CliDeviceList list;
  DeviceRow row;
  row.record = ZeroDeviceRecord();
  row.login_handle = 7;
  list.Add(row);
  SdkEventHandler handler(sdk, list);
  SdkEventQueue queue;
  ASSERT_EQ(QueueStatusEvent(7, 4, "192.168.1.10:5010", &queue), 0);
  ASSERT_EQ(
      QueueAuxResponse(7, 1012, "<RESPONSE_PARAM FileSystemVersion=\"V5.1 build 1\"/>", &queue), 0);
  ASSERT_EQ(QueueStatusEvent(99, 4, "elsewhere", &queue), 0);
  while (auto event = queue.Pop(0ms))
    DispatchSdkEvent(handler, *event);
  EXPECT_EQ(list.RowAt(0)->online, 1);
  EXPECT_EQ(FieldText(list.RowAt(0)->firmware_version), "V5.1 build 1");
  EXPECT_EQ(list.VersionText(0), "V5.1 build 1");
  // Only the known handle asked for its version and information.
  EXPECT_EQ(sdk.calls, (std::vector<std::string>{"7:1012", "7:1020"}));
  DispatchSdkEvent(handler, QueuedSdkEvent{});
}

}  // namespace
}  // namespace vdz::cli
