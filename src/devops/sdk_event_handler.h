// What the window does with SDK status events and auxiliary responses, on its own thread.
#pragma once

#include <functional>

#include "devops/device_sdk.h"
#include "devops/sdk_event.h"
#include "discovery/device_list_port.h"

namespace vdz {

// Parts of the window that react to events beyond the status column.
struct SdkEventHooks {
  // Talk events and answers, for the talk console (when it is open).
  std::function<void(const SdkEventRecord&)> talk_console;
  // The firmware version of a row became known (the live preview may start on it).
  std::function<void(int position, DeviceRow&)> version_known;
  // An alarm of type 23 for a row with a snapshot pending.
  std::function<void(int position, DeviceRow&, const SdkEventRecord&)> snapshot_alarm;
  // Upgrade progress events 54 and 55.
  std::function<void(int position, DeviceRow&, const SdkEventRecord&)> upgrade_progress;
  // Runs QM_NETSDK_IPC_SystemControl(handle, command, 0, "RESPONSE_PARAM") and calls done
  // with its result, possibly later on this thread. Empty: the call is made at once.
  std::function<void(int handle, int command, std::function<void(int result)> done)> system_control;
  // An ending event of an upgrading row, after its status cell shows it.
  std::function<void(int position, DeviceRow&, bool succeeded)> upgrade_ended;
};

class SdkEventHandler {
 public:
  SdkEventHandler(DeviceSdk& sdk, DeviceListPort& list, SdkEventHooks hooks = {});

  void HandleStatusEvent(const SdkEventRecord& event);
  void HandleAuxResponse(const SdkEventRecord& event);

 private:
  void RequestSystemControl(int handle, int command, std::function<void(int)> done);
  void RequestVersionThenInformation(int handle);

  DeviceSdk& sdk_;
  DeviceListPort& list_;
  SdkEventHooks hooks_;
};

}  // namespace vdz
