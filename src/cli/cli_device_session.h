// The first steps every device command of the tool shares: the SDK runtime feeding an event
// queue (for commands that go through the SDK), the search, and the devices the command
// names (or all of them) as checked rows.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cli/cli_device_list.h"
#include "cli/sdk_event_queue.h"
#include "devops/sdk_runtime.h"
#include "onvif/onvif_side_search.h"

namespace vdz::cli {

class CliDeviceSession {
 public:
  // What the search learned of the ONVIF devices among the rows.
  const std::shared_ptr<onvif::OnvifSideSearch>& onvif() const { return onvif_; }
  CliDeviceSession() = default;
  ~CliDeviceSession();
  CliDeviceSession(const CliDeviceSession&) = delete;
  CliDeviceSession& operator=(const CliDeviceSession&) = delete;

  // Starts the SDK (when with_sdk) and searches; the exit status, 0 when ready. Failures are
  // told on stderr.
  int Start(bool with_sdk, int seconds, const std::string& adapter);
  // Checks the rows of the devices named by serial number or address, or every row with all;
  // each name no device answers to is printed as "<name>  not found". False when one was.
  bool SelectTargets(const std::vector<std::string>& targets, bool all);

  CliDeviceList& list() { return list_; }
  SdkEventQueue& queue() { return queue_; }

 private:
  SdkEventQueue queue_;
  // Goes before the queue it feeds.
  std::unique_ptr<SdkRuntime> runtime_;
  std::vector<DeviceRow> found_;
  std::shared_ptr<onvif::OnvifSideSearch> onvif_;
  CliDeviceList list_;
};

}  // namespace vdz::cli
