// The device library's life in this process, one owner for the window and the CLI: start-up
// (init, both callbacks, automatic reconnection for every later login), the events handed to
// whoever subscribed, and the clean-up.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "devops/sdk_event.h"

namespace vdz {

enum class SdkEventKind { kStatus, kAux };

class SdkEventSubscriber {
 public:
  virtual ~SdkEventSubscriber() = default;
  // Runs on a library thread: queue or post the record, never block on the library. The
  // record is shared by every subscriber and stays alive as long as one holds it.
  virtual void OnSdkEvent(SdkEventKind kind, std::shared_ptr<const SdkEventRecord> record) = 0;
};

class SdkRuntime {
 public:
  // Null when a start-up call failed; *error then holds its result and the library has been
  // cleaned up again. One runtime at a time: the library is process-wide.
  static std::unique_ptr<SdkRuntime> Start(int* error = nullptr);
  // Unregisters both callbacks (no callback runs once that returns) and cleans up.
  ~SdkRuntime();
  SdkRuntime(const SdkRuntime&) = delete;
  SdkRuntime& operator=(const SdkRuntime&) = delete;

  void Subscribe(SdkEventSubscriber* subscriber);
  // When this returns the subscriber is not called and will not be called again. Not from
  // inside OnSdkEvent.
  void Unsubscribe(SdkEventSubscriber* subscriber);

  // For tests: hands one event to the subscribers as a library callback would.
  int DeliverForTest(SdkEventKind kind, int handle, int code, const char* data);

 private:
  SdkRuntime() = default;
  static int OnStatus(int handle, int event_type, const char* data, void* owner);
  static int OnAux(int handle, int command, const char* text, void* owner);
  int Deliver(SdkEventKind kind, std::unique_ptr<SdkEventRecord> record);

  // Held while subscribers are called, so that Unsubscribe waits for a running delivery.
  std::mutex mutex_;
  std::vector<SdkEventSubscriber*> subscribers_;
};

}  // namespace vdz
