#include "app/sdk_event_bridge.h"

namespace vdz {

SdkEventBridge::SdkEventBridge(Handler on_status, Handler on_aux, QObject* parent)
    : QObject(parent), on_status_(std::move(on_status)), on_aux_(std::move(on_aux)) {}

void SdkEventBridge::OnSdkEvent(SdkEventKind kind, std::shared_ptr<const SdkEventRecord> record) {
  // Queued onto the bridge's thread; the record goes once every subscriber is done with it.
  mailbox_.Post([this, record = std::move(record), kind] {
    const Handler& handler = kind == SdkEventKind::kStatus ? on_status_ : on_aux_;
    if (handler)
      handler(*record);
  });
}

}  // namespace vdz
