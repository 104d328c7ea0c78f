// The window's road from search to online devices, as lab tests drive it: the real
// discovery engine and registry, then the devops login and event handling through the
// command-line tool's event queue and list.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "cli/cli_device_list.h"
#include "cli/login_check.h"
#include "cli/sdk_event_queue.h"
#include "devops/device_sdk.h"
#include "devops/sdk_runtime.h"

namespace vdz::lab {

struct SdkTimeouts {
  int login_ms = 2000;
  int keepalive_ms = 0;  // 0 keeps the library's value
  int dead_peer_ms = 0;
  int reconnect_ms = 200;
};

class SdkLabSession {
 public:
  SdkLabSession() = default;
  SdkLabSession(const SdkLabSession&) = delete;
  SdkLabSession& operator=(const SdkLabSession&) = delete;

  // Starts the SDK, then searches for search_seconds; false (and *error) when either fails.
  bool Start(const SdkTimeouts& timeouts, int search_seconds, std::string* error);
  void LoginAll() { checker_->LoginAll(); }
  bool WaitSettled(std::chrono::milliseconds limit) { return checker_->WaitSettled(limit); }
  // Handles events until pred() holds or the limit passes; returns pred().
  bool PumpUntil(const std::function<bool()>& pred, std::chrono::milliseconds limit);

  int Position(const std::string& serial);
  DeviceRow* Row(const std::string& serial) { return list_.RowAt(Position(serial)); }
  // Status events of that code handled so far for the handle.
  int EventCount(int handle, int code) const;

  cli::CliDeviceList& list() { return list_; }
  DeviceSdk& sdk() { return *sdk_; }
  cli::LoginChecker& checker() { return *checker_; }
  cli::SdkEventQueue& queue() { return queue_; }

 private:
  cli::SdkEventQueue queue_;
  // Goes before the queue it feeds, after everything that calls into the library.
  std::unique_ptr<SdkRuntime> runtime_;
  cli::CliDeviceList list_;
  std::unique_ptr<DeviceSdk> sdk_;
  std::unique_ptr<cli::LoginChecker> checker_;
  std::map<std::pair<int, int>, int> status_counts_;
};

}  // namespace vdz::lab
