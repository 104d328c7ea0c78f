// The one pattern every batch command follows: take the checked rows in list order, skip
// devices that never came online, run the device's calls as a job off the owner's thread and
// report each device in the status column as it ends.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "devops/device_job_runner.h"
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
  // The library calls for one device, on a pool thread, with a copy of the row as it was when
  // the batch started; n counts the checked rows from 0, those skipped included. 0 is success.
  std::function<int(int n, const DeviceRow& row)> call;
  // On the owner's thread after the call, with the row where it stands now.
  std::function<void(int position, DeviceRow& row, int result)> after;
  // The same for another maker's device, by its own protocol; none: such devices are skipped
  // as not supported.
  std::function<int(int n, const DeviceRow& row)> foreign_call;
};

struct BatchResult {
  int visited = 0;    // checked rows
  int attempted = 0;  // devices called
  int succeeded = 0;
};

using BatchDone = std::function<void(const BatchResult&)>;

enum class StepOutcome { kSkipped, kNoLogin, kFailed, kSucceeded };

// How the batch report counts a step.
BatchDeviceOutcome ReportedOutcome(StepOutcome outcome);

// A row as a job found it, to find it again when its device ends: sorting moves rows, a new
// search replaces them.
struct RowKey {
  const DeviceRow* row = nullptr;
  int32_t registry_index = -1;
  std::string serial;
};
RowKey KeyOf(const DeviceRow& row);
// Where that row stands now, or -1 when it has left the list.
int Relocate(DeviceListPort& list, const RowKey& key);

// Starts the operation on the rows at the given positions, in that order, as a job.
int StartBatchOnRows(DeviceJobRunner& jobs, DeviceListPort& list, const std::string& kind,
                     const std::vector<int>& positions, BatchOperation operation,
                     BatchDone done = {});

// Starts the operation on every checked row as a job of the given kind; never stops on one
// device's failure. done runs on the owner's thread once every device has ended. The job's
// number, or 0 when a job of that kind still runs (the runner tells the operator; nothing is
// done then).
int StartBatch(DeviceJobRunner& jobs, DeviceListPort& list, const std::string& kind,
               BatchOperation operation, BatchDone done = {});

// The device-SDK reboot that precedes a reboot over the discovery protocol, on the row at
// position, on the owner's thread.
StepOutcome RunSdkReboot(DeviceSdk& sdk, DeviceListPort& list, int position);

}  // namespace vdz
