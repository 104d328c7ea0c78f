// The one pattern every batch command follows: walk the checked rows in list order, skip
// devices that never came online, report per device in the status column.
#pragma once

#include <functional>

#include "devops/device_sdk.h"
#include "discovery/device_list_port.h"
#include "shell/prompter.h"

namespace vdz {

// Position of the row holding this login handle, or -1 (never for a handle of 0 or less).
int FindRowByHandle(DeviceListPort& list, int handle);

// Checked rows; 0 after telling the operator (MSGTIP13) that none is checked.
int CountCheckedRows(DeviceListPort& list, Prompter& prompter);

// The login handle of the one checked row, or -1 after telling the operator that only one
// device can be handled (also when none is checked). *position receives the row.
int SingleDeviceChoice(DeviceListPort& list, Prompter& prompter, int* position = nullptr);

struct BatchOperation {
  const char* no_login_key = nullptr;  // usually MSGTIP40
  const char* failure_key = nullptr;
  const char* success_key = nullptr;  // none: nothing written on success
  // The library call for one device; 0 is success.
  std::function<int(int position, DeviceRow& row)> call;
};

struct BatchResult {
  int visited = 0;    // checked rows
  int attempted = 0;  // library calls made
  int succeeded = 0;
};

enum class StepOutcome { kSkipped, kNoLogin, kFailed, kSucceeded };

// How the batch report counts a step.
BatchDeviceOutcome ReportedOutcome(StepOutcome outcome);

// The per-device step for one row: skip a device that never came online, report a lost
// login, else call and report; the list hears how it ended.
StepOutcome RunBatchStep(DeviceListPort& list, int position, const BatchOperation& operation);

// Runs the per-device step on every checked row; never stops on one device's failure.
BatchResult RunBatch(DeviceListPort& list, const BatchOperation& operation);

// The device-SDK reboot that precedes a reboot over the discovery protocol.
BatchOperation SdkRebootOperation(DeviceSdk& sdk);

}  // namespace vdz
