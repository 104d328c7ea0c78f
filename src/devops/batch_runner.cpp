#include "devops/batch_runner.h"

#include "devops/device_sdk.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"

namespace vdz {

int FindRowByHandle(DeviceListPort& list, int handle) {
  // A failed login leaves its negative result in the row; no event carries such a handle.
  if (handle <= 0)
    return -1;
  const int rows = list.RowCount();
  for (int position = 0; position < rows; ++position) {
    const DeviceRow* row = list.RowAt(position);
    if (row != nullptr && row->login_handle == handle)
      return position;
  }
  return -1;
}

int CountCheckedRows(DeviceListPort& list, Prompter& prompter) {
  int checked = 0;
  const int rows = list.RowCount();
  for (int position = 0; position < rows; ++position) {
    if (list.IsChecked(position))
      ++checked;
  }
  if (checked == 0)
    prompter.ShowError(LookupText(keys::MSGTIP13));
  return checked;
}

int SingleDeviceChoice(DeviceListPort& list, Prompter& prompter, int* position) {
  int found = -1;
  int checked = 0;
  const int rows = list.RowCount();
  for (int p = 0; p < rows; ++p) {
    if (!list.IsChecked(p))
      continue;
    ++checked;
    found = p;
  }
  if (checked != 1 || list.RowAt(found) == nullptr) {
    prompter.ShowError(LookupText(keys::STRING_ONLY_SUPPORT_ONE_CAMERA));
    return -1;
  }
  if (position != nullptr)
    *position = found;
  return list.RowAt(found)->login_handle;
}

namespace {

StepOutcome RunStep(DeviceListPort& list, int position, const BatchOperation& operation) {
  DeviceRow* row = list.RowAt(position);
  if (row == nullptr || !row->online)
    return StepOutcome::kSkipped;
  if (row->login_handle <= 0) {
    if (operation.no_login_key)
      list.SetStatusText(position, LookupText(operation.no_login_key));
    return StepOutcome::kNoLogin;
  }
  if (operation.call(position, *row) != 0) {
    if (operation.failure_key)
      list.SetStatusText(position, LookupText(operation.failure_key));
    return StepOutcome::kFailed;
  }
  if (operation.success_key)
    list.SetStatusText(position, LookupText(operation.success_key));
  return StepOutcome::kSucceeded;
}

}  // namespace

BatchDeviceOutcome ReportedOutcome(StepOutcome outcome) {
  switch (outcome) {
    case StepOutcome::kSucceeded:
      return BatchDeviceOutcome::kSucceeded;
    case StepOutcome::kSkipped:
      return BatchDeviceOutcome::kSkipped;
    case StepOutcome::kNoLogin:
    case StepOutcome::kFailed:
      break;
  }
  // A device that was online but lost its login did not get the setting: a failure.
  return BatchDeviceOutcome::kFailed;
}

StepOutcome RunBatchStep(DeviceListPort& list, int position, const BatchOperation& operation) {
  const StepOutcome outcome = RunStep(list, position, operation);
  list.NoteBatchDevice(position, ReportedOutcome(outcome));
  return outcome;
}

BatchResult RunBatch(DeviceListPort& list, const BatchOperation& operation) {
  BatchResult result;
  const int rows = list.RowCount();
  for (int position = 0; position < rows; ++position) {
    if (!list.IsChecked(position) || list.RowAt(position) == nullptr)
      continue;
    ++result.visited;
    const StepOutcome outcome = RunBatchStep(list, position, operation);
    if (outcome == StepOutcome::kFailed || outcome == StepOutcome::kSucceeded)
      ++result.attempted;
    if (outcome == StepOutcome::kSucceeded)
      ++result.succeeded;
  }
  return result;
}

BatchOperation SdkRebootOperation(DeviceSdk& sdk) {
  BatchOperation operation;
  operation.no_login_key = keys::MSGTIP23;
  operation.failure_key = keys::MSGTIP35;
  operation.success_key = keys::RESTARTING;
  operation.call = [&sdk](int, DeviceRow& row) { return sdk.RebootDVR(row.login_handle); };
  return operation;
}

}  // namespace vdz
