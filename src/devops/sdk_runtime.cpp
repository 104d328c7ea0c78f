#include "devops/sdk_runtime.h"

#include <algorithm>
#include <atomic>

#include "qm_netsdk.h"
#include "shell/diag_log.h"

namespace vdz {

namespace {

std::atomic<bool> g_started{false};

}  // namespace

std::unique_ptr<SdkRuntime> SdkRuntime::Start(int* error) {
  auto fail = [error](int rc) -> std::unique_ptr<SdkRuntime> {
    if (error != nullptr)
      *error = rc;
    return nullptr;
  };
  if (g_started.exchange(true))
    return fail(QM_NETSDK_ERR_RESOURCE);
  std::unique_ptr<SdkRuntime> runtime(new SdkRuntime);
  if (const int rc = QM_NETSDK_IPC_Init(); rc != QM_NETSDK_OK) {
    DiagLog("QM_NETSDK_IPC_Init failed, ret=%d\n", rc);
    g_started = false;
    return fail(rc);
  }
  int rc = QM_NETSDK_IPC_SetStatusEventCallBack(&SdkRuntime::OnStatus, runtime.get());
  if (rc == QM_NETSDK_OK)
    rc = QM_NETSDK_IPC_SetAUXResponseCallBack(&SdkRuntime::OnAux, runtime.get());
  // Handle 0: the default for every later login.
  if (rc == QM_NETSDK_OK)
    rc = QM_NETSDK_IPC_SetAutoReconnect(0, 1);
  if (rc != QM_NETSDK_OK) {
    DiagLog("device SDK start-up failed, ret=%d\n", rc);
    return fail(rc);  // the destructor unregisters and cleans up
  }
  if (error != nullptr)
    *error = QM_NETSDK_OK;
  return runtime;
}

SdkRuntime::~SdkRuntime() {
  QM_NETSDK_IPC_SetStatusEventCallBack(nullptr, nullptr);
  QM_NETSDK_IPC_SetAUXResponseCallBack(nullptr, nullptr);
  QM_NETSDK_IPC_Cleanup();
  g_started = false;
}

void SdkRuntime::Subscribe(SdkEventSubscriber* subscriber) {
  std::lock_guard lock(mutex_);
  if (std::find(subscribers_.begin(), subscribers_.end(), subscriber) == subscribers_.end())
    subscribers_.push_back(subscriber);
}

void SdkRuntime::Unsubscribe(SdkEventSubscriber* subscriber) {
  std::lock_guard lock(mutex_);
  std::erase(subscribers_, subscriber);
}

int SdkRuntime::OnStatus(int handle, int event_type, const char* data, void* owner) {
  auto* runtime = static_cast<SdkRuntime*>(owner);
  if (runtime == nullptr)
    return -1;
  return runtime->Deliver(SdkEventKind::kStatus,
                          MakeStatusEventRecord(handle, event_type, data, owner));
}

int SdkRuntime::OnAux(int handle, int command, const char* text, void* owner) {
  auto* runtime = static_cast<SdkRuntime*>(owner);
  if (runtime == nullptr)
    return -1;
  return runtime->Deliver(SdkEventKind::kAux, MakeAuxEventRecord(handle, command, text, owner));
}

int SdkRuntime::DeliverForTest(SdkEventKind kind, int handle, int code, const char* data) {
  return kind == SdkEventKind::kStatus ? OnStatus(handle, code, data, this)
                                       : OnAux(handle, code, data, this);
}

int SdkRuntime::Deliver(SdkEventKind kind, std::unique_ptr<SdkEventRecord> record) {
  if (!record)
    return -1;
  std::shared_ptr<const SdkEventRecord> shared(std::move(record));
  std::lock_guard lock(mutex_);
  for (SdkEventSubscriber* subscriber : subscribers_)
    subscriber->OnSdkEvent(kind, shared);
  return 0;
}

}  // namespace vdz
