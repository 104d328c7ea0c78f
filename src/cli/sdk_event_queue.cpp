#include "cli/sdk_event_queue.h"

namespace vdz::cli {

bool SdkEventQueue::Push(QueuedSdkEvent event) {
  {
    std::lock_guard lock(mutex_);
    if (events_.size() >= kMaxWaiting) {
      ++dropped_;
      return false;
    }
    events_.push_back(std::move(event));
  }
  ready_.notify_one();
  return true;
}

std::optional<QueuedSdkEvent> SdkEventQueue::Pop(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  if (!ready_.wait_for(lock, timeout, [this] { return !events_.empty(); }))
    return std::nullopt;
  QueuedSdkEvent event = std::move(events_.front());
  events_.pop_front();
  return event;
}

std::size_t SdkEventQueue::size() const {
  std::lock_guard lock(mutex_);
  return events_.size();
}

std::size_t SdkEventQueue::dropped() const {
  std::lock_guard lock(mutex_);
  return dropped_;
}

void DispatchSdkEvent(SdkEventHandler& handler, const QueuedSdkEvent& event) {
  if (!event.record)
    return;
  if (event.kind == SdkEventKind::kStatus) {
    handler.HandleStatusEvent(*event.record);
  } else {
    handler.HandleAuxResponse(*event.record);
  }
}

}  // namespace vdz::cli
