#include "devops/config_transfer.h"

#include <filesystem>
#include <system_error>

#include "devops/batch_runner.h"
#include "protocol/protocol_numbers.h"
#include "shell/app_paths.h"
#include "shell/bounded_text.h"
#include "shell/diag_log.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"

namespace vdz {

namespace {

std::string SafeNamePart(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '/' || c == '\\' || u < 0x20 || u == 0x7F)
      c = '_';
  }
  return out;
}

// Walks the checked rows with the shared per-device step, counting them.
ConfigBatchResult RunChecked(DeviceListPort& list, const BatchOperation& operation) {
  const BatchResult r = RunBatch(list, operation);
  return {r.visited, r.succeeded};
}

}  // namespace

std::string ConfigExportFolder() {
  return JoinPath(UserDataFolder(), "config");
}

std::string ConfigExportPath(const std::string& folder, std::string_view serial,
                             std::string_view ip) {
  // "config_" in front already keeps a name from starting with '.'.
  return JoinPath(folder, "config_" + SafeNamePart(serial) + "_" + SafeNamePart(ip) + ".xml");
}

ConfigBatchResult ExportConfigOfChecked(DeviceSdk& sdk, DeviceListPort& list, Prompter& prompter,
                                        const std::string& folder) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  BatchOperation op;
  op.no_login_key = keys::MSGTIP21;
  op.failure_key = keys::MSGTIP33;
  op.success_key = keys::MSGTIP18;
  op.call = [&](int, DeviceRow& row) {
    const std::string path = ConfigExportPath(folder, FieldText(row.record.SerialNumber),
                                              FieldText(row.record.Lan.IPAddress));
    const int result = sdk.GetConfigFile(row.login_handle, path.c_str());
    DiagLog("QM_NETSDK_IPC_GetConfigFile %d %s = %d", row.login_handle, path.c_str(), result);
    return result;
  };
  const ConfigBatchResult r = RunChecked(list, op);
  if (r.checked == 0)
    prompter.ShowError(LookupText(keys::MSGTIP26));
  return r;
}

ConfigBatchResult ImportConfigToChecked(DeviceSdk& sdk, DeviceListPort& list, Prompter& prompter,
                                        const std::string& path) {
  BatchOperation op;
  op.no_login_key = keys::MSGTIP20;
  op.failure_key = keys::MSGTIP31;
  op.success_key = keys::MSGTIP32;
  op.call = [&](int, DeviceRow& row) {
    const int result = sdk.SetConfigFile(row.login_handle, path.c_str());
    DiagLog("QM_NETSDK_IPC_SetConfigFile %d %s = %d", row.login_handle, path.c_str(), result);
    return result;
  };
  const ConfigBatchResult r = RunChecked(list, op);
  if (r.checked == 0)
    prompter.ShowError(LookupText(keys::MSGTIP25));
  return r;
}

ConfigBatchResult FactoryRestoreChecked(DeviceSdk& sdk, DeviceListPort& list, Prompter& prompter) {
  if (!prompter.AskYesNo(LookupText(keys::MSGTIP11), ConfirmationCaption()))
    return {};
  if (CountCheckedRows(list, prompter) < 1)
    return {};
  ConfigBatchResult r;
  for (int p = 0; p < list.RowCount(); ++p) {
    DeviceRow* row = list.RowAt(p);
    if (!list.IsChecked(p) || row == nullptr)
      continue;
    ++r.checked;
    if (!row->online) {
      list.NoteBatchDevice(p, BatchDeviceOutcome::kSkipped);
      continue;
    }
    if (row->login_handle <= 0) {
      list.SetStatusText(p, LookupText(keys::MSGTIP40));
      list.NoteBatchDevice(p, BatchDeviceOutcome::kFailed);
      continue;
    }
    bool ok = true;
    if (sdk.SystemControl(row->login_handle, proto::kCmdRestoreConfig, 0, "") != 0) {
      list.SetStatusText(p, LookupText(keys::MSGTIP44));
      ok = false;
    }
    // The reboot goes out whatever the restore answered.
    if (sdk.RebootDVR(row->login_handle) != 0) {
      list.SetStatusText(p, LookupText(keys::MSGTIP35));
      ok = false;
    }
    r.succeeded += ok;
    list.NoteBatchDevice(p, ok ? BatchDeviceOutcome::kSucceeded : BatchDeviceOutcome::kFailed);
  }
  return r;
}

int DanaleImport(DeviceSdk& sdk, DeviceListPort& list, Prompter& prompter,
                 const std::string& path) {
  const int handle = SingleDeviceChoice(list, prompter);
  if (handle <= 0)
    return -1;
  const int result = sdk.UploadOEMAppFile(handle, path.c_str());
  DiagLog("QM_NETSDK_IPC_UploadOEMAppFile %d %s = %d", handle, path.c_str(), result);
  return result;
}

}  // namespace vdz
