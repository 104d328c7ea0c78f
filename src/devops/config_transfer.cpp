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

// The batch's counts as the transfer commands report them; the none-checked box comes when
// the job ends, as it did when the walk was the whole command.
BatchDone Counted(Prompter& prompter, const char* none_checked_key, ConfigDone done) {
  return [&prompter, none_checked_key, done = std::move(done)](const BatchResult& r) {
    if (r.visited == 0 && none_checked_key != nullptr)
      prompter.ShowError(LookupText(none_checked_key));
    if (done)
      done({r.visited, r.succeeded});
  };
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

int ExportConfigOfChecked(DeviceJobRunner& jobs, DeviceSdk& sdk, DeviceListPort& list,
                          Prompter& prompter, const std::string& folder, ConfigDone done) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  BatchOperation op;
  op.no_login_key = keys::MSGTIP21;
  op.failure_key = keys::MSGTIP33;
  op.success_key = keys::MSGTIP18;
  op.call = [&sdk, folder](int, const DeviceRow& row) {
    const std::string path = ConfigExportPath(folder, FieldText(row.record.SerialNumber),
                                              FieldText(row.record.Lan.IPAddress));
    const int result = sdk.GetConfigFile(row.login_handle, path.c_str());
    DiagLog("QM_NETSDK_IPC_GetConfigFile %d %s = %d\n", row.login_handle, path.c_str(), result);
    return result;
  };
  return StartBatch(jobs, list, "config export", std::move(op),
                    Counted(prompter, keys::MSGTIP26, std::move(done)));
}

int ImportConfigToChecked(DeviceJobRunner& jobs, DeviceSdk& sdk, DeviceListPort& list,
                          Prompter& prompter, const std::string& path, ConfigDone done) {
  BatchOperation op;
  op.no_login_key = keys::MSGTIP20;
  op.failure_key = keys::MSGTIP31;
  op.success_key = keys::MSGTIP32;
  op.call = [&sdk, path](int, const DeviceRow& row) {
    const int result = sdk.SetConfigFile(row.login_handle, path.c_str());
    DiagLog("QM_NETSDK_IPC_SetConfigFile %d %s = %d\n", row.login_handle, path.c_str(), result);
    return result;
  };
  return StartBatch(jobs, list, "config import", std::move(op),
                    Counted(prompter, keys::MSGTIP25, std::move(done)));
}

// The restore's two calls for one device, and the text each failure leaves.
constexpr int kRestoreRefused = 1;
constexpr int kRebootRefused = 2;

int FactoryRestoreChecked(DeviceJobRunner& jobs, DeviceSdk& sdk, DeviceListPort& list,
                          Prompter& prompter, ConfigDone done) {
  if (!prompter.AskYesNo(LookupText(keys::MSGTIP11), ConfirmationCaption()))
    return 0;
  if (CountCheckedRows(list, prompter) < 1)
    return 0;
  BatchOperation op;
  op.no_login_key = keys::MSGTIP40;
  op.call = [&sdk](int, const DeviceRow& row) {
    int failed = 0;
    if (sdk.SystemControl(row.login_handle, proto::kCmdRestoreConfig, 0, "") != 0)
      failed |= kRestoreRefused;
    // The reboot goes out whatever the restore answered.
    if (sdk.RebootDVR(row.login_handle) != 0)
      failed |= kRebootRefused;
    return failed;
  };
  op.after = [&list](int position, DeviceRow&, int failed) {
    if ((failed & kRestoreRefused) != 0)
      list.SetStatusText(position, LookupText(keys::MSGTIP44));
    if ((failed & kRebootRefused) != 0)
      list.SetStatusText(position, LookupText(keys::MSGTIP35));
  };
  return StartBatch(jobs, list, "config restore", std::move(op),
                    Counted(prompter, nullptr, std::move(done)));
}

int DanaleImport(DeviceSdk& sdk, DeviceListPort& list, Prompter& prompter,
                 const std::string& path) {
  const int handle = SingleDeviceChoice(list, prompter);
  if (handle <= 0)
    return -1;
  const int result = sdk.UploadOEMAppFile(handle, path.c_str());
  DiagLog("QM_NETSDK_IPC_UploadOEMAppFile %d %s = %d\n", handle, path.c_str(), result);
  return result;
}

}  // namespace vdz
