// Logs every listed device in with the application's own login and event handling, and
// tells per device whether it came online and which firmware it runs.
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_device_list.h"
#include "cli/cli_options.h"
#include "cli/sdk_event_queue.h"
#include "devops/device_sdk.h"
#include "devops/login_coordinator.h"
#include "devops/sdk_call_pool.h"
#include "devops/sdk_event_handler.h"

namespace vdz::cli {

struct LoginCheckLine {
  std::string ip;
  std::string serial;
  bool online = false;
  std::string text;  // the firmware version, else the status text
  std::string name;  // the terminal service's device name and model, when it answered
  std::string model;
};

class LoginChecker {
 public:
  // The queue is the one subscribed to the SDK runtime.
  LoginChecker(DeviceSdk& sdk, SdkEventQueue& queue, CliDeviceList& list);

  // Starts the login of each row, in list order; they run in the background as the
  // window's do, and their results and events are handled by Drain and WaitSettled.
  void LoginAll();
  // Handles every login result and event that is waiting, in order of arrival.
  void Drain();
  // Handles events until every logged-in row is online with a known version, or the limit
  // has passed; true when that state was reached.
  bool WaitSettled(std::chrono::milliseconds limit);
  bool Settled();

  std::vector<LoginCheckLine> Lines();
  SdkEventHandler& handler() { return handler_; }
  // Sees every event just before it is handled (for counting, in tests and benchmarks).
  void SetObserver(std::function<void(const QueuedSdkEvent&)> observer) {
    observer_ = std::move(observer);
  }

 private:
  void Handle(const QueuedSdkEvent& event);
  void RunFinishedCalls();

  SdkEventQueue& queue_;
  CliDeviceList& list_;
  std::mutex finished_mutex_;
  std::deque<std::function<void()>> finished_;
  SdkCallPool pool_;
  LoginCoordinator logins_;
  SdkEventHandler handler_;
  std::function<void(const QueuedSdkEvent&)> observer_;
};

void PrintLoginCheck(std::ostream& out, const std::vector<LoginCheckLine>& lines,
                     OutputFormat format);

}  // namespace vdz::cli
