#include "lab/sdk_lab_session.h"

#include <thread>

#include "cli/device_search.h"
#include "qm_netsdk.h"
#include "shell/bounded_text.h"

namespace vdz::lab {

bool SdkLabSession::Start(const SdkTimeouts& timeouts, int search_seconds, std::string* error) {
  int rc = 0;
  runtime_ = SdkRuntime::Start(&rc);
  if (!runtime_) {
    *error = "SDK start-up failed: " + std::to_string(rc);
    return false;
  }
  runtime_->Subscribe(&queue_);
  QM_NETSDK_IPC_SetTimeouts(timeouts.login_ms, timeouts.keepalive_ms, timeouts.dead_peer_ms,
                            timeouts.reconnect_ms);
  cli::SearchOutcome outcome = cli::SearchDevices({search_seconds, ""}, nullptr);
  if (outcome.status != 0) {
    *error = "search failed: " + outcome.error;
    return false;
  }
  for (const DeviceRow& row : outcome.rows)
    list_.Add(row);
  sdk_ = MakeNetSdkDeviceSdk();
  checker_ = std::make_unique<cli::LoginChecker>(*sdk_, queue_, list_);
  checker_->SetObserver([this](const cli::QueuedSdkEvent& e) {
    if (e.kind == SdkEventKind::kStatus && e.record)
      ++status_counts_[{e.record->handle, e.record->code}];
  });
  return true;
}

bool SdkLabSession::PumpUntil(const std::function<bool()>& pred, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  checker_->Drain();
  while (!pred() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    checker_->Drain();
  }
  return pred();
}

int SdkLabSession::Position(const std::string& serial) {
  for (int p = 0; p < list_.RowCount(); ++p) {
    if (FieldText(list_.RowAt(p)->record.SerialNumber) == serial)
      return p;
  }
  return -1;
}

int SdkLabSession::EventCount(int handle, int code) const {
  const auto it = status_counts_.find({handle, code});
  return it == status_counts_.end() ? 0 : it->second;
}

}  // namespace vdz::lab
