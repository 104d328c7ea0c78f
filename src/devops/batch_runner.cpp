#include "devops/batch_runner.h"

#include <memory>
#include <vector>

#include "devops/device_sdk.h"
#include "discovery/not_supported.h"
#include "shell/bounded_text.h"
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

RowKey KeyOf(const DeviceRow& row) {
  return {&row, row.registry_index, std::string(FieldText(row.record.SerialNumber))};
}

int Relocate(DeviceListPort& list, const RowKey& key) {
  // The row's address finds it without touching it: it may be gone.
  const int position = list.PositionOf(*key.row);
  const DeviceRow* row = position >= 0 ? list.RowAt(position) : nullptr;
  if (row == nullptr || row->registry_index != key.registry_index ||
      FieldText(row->record.SerialNumber) != key.serial)
    return -1;
  return position;
}

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

int StartBatch(DeviceJobRunner& jobs, DeviceListPort& list, const std::string& kind,
               BatchOperation operation, BatchDone done) {
  std::vector<int> checked;
  for (int position = 0; position < list.RowCount(); ++position) {
    if (list.IsChecked(position) && list.RowAt(position) != nullptr)
      checked.push_back(position);
  }
  return StartBatchOnRows(jobs, list, kind, checked, std::move(operation), std::move(done));
}

int StartBatchOnRows(DeviceJobRunner& jobs, DeviceListPort& list, const std::string& kind,
                     const std::vector<int>& positions, BatchOperation operation, BatchDone done) {
  if (!jobs.Admit(kind))
    return 0;
  auto op = std::make_shared<const BatchOperation>(std::move(operation));
  auto result = std::make_shared<BatchResult>();
  const int batch = list.OpenBatch();
  std::vector<DeviceTask> tasks;
  int n = 0;
  for (const int position : positions) {
    DeviceRow* row = list.RowAt(position);
    if (row == nullptr)
      continue;
    const int number = n++;
    ++result->visited;
    const bool foreign = row->protocol != kProtocolOurs;
    if (foreign && !op->foreign_call) {
      SkipAsNotSupported(list, position, batch);
      continue;
    }
    if (!foreign && !row->online) {
      list.NoteBatchDevice(position, BatchDeviceOutcome::kSkipped, batch);
      continue;
    }
    if (!foreign && row->login_handle <= 0) {
      if (op->no_login_key)
        list.SetStatusText(position, LookupText(op->no_login_key));
      list.NoteBatchDevice(position, ReportedOutcome(StepOutcome::kNoLogin), batch);
      continue;
    }
    const RowKey key = KeyOf(*row);
    DeviceTask task;
    task.device = std::string(FieldText(row->record.Lan.IPAddress));
    task.work = [op, number, copy = *row, foreign] {
      return foreign ? op->foreign_call(number, copy) : op->call(number, copy);
    };
    task.done = [&list, op, result, batch, key](int rc) {
      ++result->attempted;
      result->succeeded += rc == 0 ? 1 : 0;
      const int at = Relocate(list, key);
      if (at < 0)
        return;
      const char* text = rc == 0 ? op->success_key : op->failure_key;
      if (text != nullptr)
        list.SetStatusText(at, LookupText(text));
      if (op->after)
        op->after(at, *list.RowAt(at), rc);
      list.NoteBatchDevice(
          at, ReportedOutcome(rc == 0 ? StepOutcome::kSucceeded : StepOutcome::kFailed), batch);
    };
    // Cancelled before its turn: the device received nothing.
    task.skipped = [&list, batch, key] {
      const int at = Relocate(list, key);
      if (at >= 0)
        list.NoteBatchDevice(at, BatchDeviceOutcome::kSkipped, batch);
    };
    tasks.push_back(std::move(task));
  }
  return jobs.Start(kind, std::move(tasks), [result, done = std::move(done)](const JobEnd&) {
    if (done)
      done(*result);
  });
}

StepOutcome RunSdkReboot(DeviceSdk& sdk, DeviceListPort& list, int position) {
  DeviceRow* row = list.RowAt(position);
  StepOutcome outcome = StepOutcome::kSkipped;
  if (row != nullptr && row->online) {
    if (row->login_handle <= 0) {
      list.SetStatusText(position, LookupText(keys::MSGTIP23));
      outcome = StepOutcome::kNoLogin;
    } else if (sdk.RebootDVR(row->login_handle) != 0) {
      list.SetStatusText(position, LookupText(keys::MSGTIP35));
      outcome = StepOutcome::kFailed;
    } else {
      list.SetStatusText(position, LookupText(keys::RESTARTING));
      outcome = StepOutcome::kSucceeded;
    }
  }
  list.NoteBatchDevice(position, ReportedOutcome(outcome));
  return outcome;
}

}  // namespace vdz
