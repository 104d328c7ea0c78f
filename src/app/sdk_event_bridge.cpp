#include "app/sdk_event_bridge.h"

#include <QMetaObject>

#include "qm_netsdk.h"

namespace vdz {

SdkEventBridge::SdkEventBridge(Handler on_status, Handler on_aux, QObject* parent)
    : QObject(parent), on_status_(std::move(on_status)), on_aux_(std::move(on_aux)) {}

void SdkEventBridge::Register() {
  QM_NETSDK_IPC_SetStatusEventCallBack(&SdkEventBridge::StatusCallback, this);
  QM_NETSDK_IPC_SetAUXResponseCallBack(&SdkEventBridge::AuxCallback, this);
}

int SdkEventBridge::StatusCallback(int handle, int event_type, const char* data, void* owner) {
  auto* bridge = static_cast<SdkEventBridge*>(owner);
  auto record = MakeStatusEventRecord(handle, event_type, data, owner);
  if (!record || bridge == nullptr)
    return -1;
  bridge->Post(std::move(record), true);
  return 0;
}

int SdkEventBridge::AuxCallback(int handle, int command, const char* text, void* owner) {
  auto* bridge = static_cast<SdkEventBridge*>(owner);
  auto record = MakeAuxEventRecord(handle, command, text, owner);
  if (!record || bridge == nullptr)
    return -1;
  bridge->Post(std::move(record), false);
  return 0;
}

void SdkEventBridge::Post(std::unique_ptr<SdkEventRecord> record, bool status) {
  // Queued onto the bridge's thread; the record is released once handled.
  std::shared_ptr<SdkEventRecord> shared(std::move(record));
  QMetaObject::invokeMethod(
      this,
      [this, shared, status] {
        const Handler& handler = status ? on_status_ : on_aux_;
        if (handler)
          handler(*shared);
      },
      Qt::QueuedConnection);
}

}  // namespace vdz
