#include "cli/sdk_event_queue.h"

#include "qm_netsdk.h"

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

int QueueStatusEvent(int handle, int event_type, const char* data, void* owner) {
  auto* queue = static_cast<SdkEventQueue*>(owner);
  auto record = MakeStatusEventRecord(handle, event_type, data, owner);
  if (queue == nullptr || !record)
    return -1;
  return queue->Push({QueuedSdkEvent::Kind::kStatus, std::move(record)}) ? 0 : -1;
}

int QueueAuxResponse(int handle, int command, const char* text, void* owner) {
  auto* queue = static_cast<SdkEventQueue*>(owner);
  auto record = MakeAuxEventRecord(handle, command, text, owner);
  if (queue == nullptr || !record)
    return -1;
  return queue->Push({QueuedSdkEvent::Kind::kAux, std::move(record)}) ? 0 : -1;
}

int StartNetSdk(SdkEventQueue& queue) {
  if (const int rc = QM_NETSDK_IPC_Init(); rc != 0)
    return rc;
  if (const int rc = QM_NETSDK_IPC_SetStatusEventCallBack(&QueueStatusEvent, &queue); rc != 0)
    return rc;
  if (const int rc = QM_NETSDK_IPC_SetAUXResponseCallBack(&QueueAuxResponse, &queue); rc != 0)
    return rc;
  return QM_NETSDK_IPC_SetAutoReconnect(0, 1);
}

void DispatchSdkEvent(SdkEventHandler& handler, const QueuedSdkEvent& event) {
  if (!event.record)
    return;
  if (event.kind == QueuedSdkEvent::Kind::kStatus) {
    handler.HandleStatusEvent(*event.record);
  } else {
    handler.HandleAuxResponse(*event.record);
  }
}

}  // namespace vdz::cli
