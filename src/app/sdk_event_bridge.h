// Carries SDK callbacks from the library's threads to the window's thread, in order. The
// callbacks only copy into a fresh event record and post it; the window handles it.
#pragma once

#include <QObject>
#include <functional>
#include <memory>

#include "devops/sdk_event.h"

namespace vdz {

class SdkEventBridge final : public QObject {
  Q_OBJECT

 public:
  using Handler = std::function<void(const SdkEventRecord&)>;

  SdkEventBridge(Handler on_status, Handler on_aux, QObject* parent = nullptr);

  // Registers both callbacks with the SDK, this object as their owner.
  void Register();

  static int StatusCallback(int handle, int event_type, const char* data, void* owner);
  static int AuxCallback(int handle, int command, const char* text, void* owner);

 private:
  void Post(std::unique_ptr<SdkEventRecord> record, bool status);

  Handler on_status_;
  Handler on_aux_;
};

}  // namespace vdz
