// Carries device-library events from the library's threads to the window's thread, in order:
// the library thread only posts the shared record; the window handles it.
#pragma once

#include <QObject>
#include <functional>
#include <memory>

#include "devops/sdk_runtime.h"
#include "ui/window_thread_mailbox.h"

namespace vdz {

class SdkEventBridge final : public QObject, public SdkEventSubscriber {
  Q_OBJECT

 public:
  using Handler = std::function<void(const SdkEventRecord&)>;

  SdkEventBridge(Handler on_status, Handler on_aux, QObject* parent = nullptr);

  void OnSdkEvent(SdkEventKind kind, std::shared_ptr<const SdkEventRecord> record) override;

 private:
  Handler on_status_;
  Handler on_aux_;
  WindowThreadMailbox mailbox_{this};
};

}  // namespace vdz
