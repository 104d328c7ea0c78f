// Carries SDK callbacks from the library's thread to the thread that owns the device list,
// in the order they happened: the callbacks only copy into an event record and queue it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

#include "devops/sdk_event.h"
#include "devops/sdk_event_handler.h"
#include "devops/sdk_runtime.h"

namespace vdz::cli {

struct QueuedSdkEvent {
  SdkEventKind kind = SdkEventKind::kStatus;
  std::shared_ptr<const SdkEventRecord> record;
};

class SdkEventQueue final : public SdkEventSubscriber {
 public:
  // A device that floods events must not grow the process without end: past this many
  // waiting records new ones are refused (each is over 10 KB).
  static constexpr std::size_t kMaxWaiting = 4096;

  // False when the queue is full; the record is dropped then.
  bool Push(QueuedSdkEvent event);
  void OnSdkEvent(SdkEventKind kind, std::shared_ptr<const SdkEventRecord> record) override {
    Push({kind, std::move(record)});
  }
  // The oldest event, waiting at most timeout for one.
  std::optional<QueuedSdkEvent> Pop(std::chrono::milliseconds timeout);
  std::size_t size() const;
  std::size_t dropped() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<QueuedSdkEvent> events_;
  std::size_t dropped_ = 0;
};

void DispatchSdkEvent(SdkEventHandler& handler, const QueuedSdkEvent& event);

}  // namespace vdz::cli
