#include "devops/batch_runner.h"

#include "shell/language_keys.h"
#include "shell/language_table.h"

namespace vdz {

int FindRowByHandle(DeviceListPort& list, int handle) {
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

BatchResult RunBatch(DeviceListPort& list, const BatchOperation& operation) {
  BatchResult result;
  const int rows = list.RowCount();
  for (int position = 0; position < rows; ++position) {
    if (!list.IsChecked(position))
      continue;
    DeviceRow* row = list.RowAt(position);
    if (row == nullptr)
      continue;
    ++result.visited;
    if (!row->online)
      continue;
    if (row->login_handle <= 0) {
      if (operation.no_login_key)
        list.SetStatusText(position, LookupText(operation.no_login_key));
      continue;
    }
    ++result.attempted;
    if (operation.call(position, *row) != 0) {
      if (operation.failure_key)
        list.SetStatusText(position, LookupText(operation.failure_key));
      continue;
    }
    ++result.succeeded;
    if (operation.success_key)
      list.SetStatusText(position, LookupText(operation.success_key));
  }
  return result;
}

}  // namespace vdz
