#include "devops/batch_settings.h"

#include <cstdio>

#include "protocol/protocol_numbers.h"
#include "shell/bounded_text.h"
#include "shell/diag_log.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"
#include "shell/text_codec.h"

namespace vdz {

namespace settings {
const SettingsEntry kTitle{SettingsCall::kSetConfig, proto::kCfgTitleOverlay, keys::MSGTIP40,
                           keys::MSGTIP39};
const SettingsEntry kPassword{SettingsCall::kSetConfig, proto::kCfgPassword, keys::MSGTIP40,
                              keys::MSGTIP41};
const SettingsEntry kLanguage{SettingsCall::kSetConfig, proto::kCfgDeviceLanguage, keys::MSGTIP40,
                              keys::MSGTIP42};
const SettingsEntry kPlatform{SettingsCall::kSetConfig, proto::kCfgPlatform, keys::MSGTIP40,
                              keys::MSGTIP43};
const SettingsEntry kEncoding{SettingsCall::kSetConfig, proto::kCfgEncoding, keys::MSGTIP40,
                              keys::MSGTIP39};
const SettingsEntry kImage{SettingsCall::kSystemControl, proto::kCmdImageParameters, keys::MSGTIP40,
                           keys::MSGTIP39};
const SettingsEntry kMotion{SettingsCall::kSetConfig, proto::kCfgMotionDetection, keys::MSGTIP40,
                            keys::MSGTIP45};
const SettingsEntry kMaintenance{SettingsCall::kSetConfig, proto::kCfgMaintenance, keys::MSGTIP40,
                                 keys::SET_TIMINGMAINTANCE_FAILED};
const SettingsEntry kTimeConfig{SettingsCall::kSetConfig, proto::kCfgTime, keys::MSGTIP40,
                                keys::SET_TIMECONFIG_FAILED};
const SettingsEntry kTimeSync{SettingsCall::kSystemControl, proto::kCmdTimeSync, keys::MSGTIP22,
                              keys::MSGTIP36};
const SettingsEntry kOutputPort{SettingsCall::kSystemControl, proto::kCmdOutputPort, keys::MSGTIP40,
                                keys::SET_IOOUTPUT_FAILED};
}  // namespace settings

BatchResult SendSettingToChecked(DeviceSdk& sdk, DeviceListPort& list, const SettingsEntry& entry,
                                 const DocumentFor& document) {
  BatchResult result;
  int n = 0;
  for (int p = 0; p < list.RowCount(); ++p) {
    if (!list.IsChecked(p) || list.RowAt(p) == nullptr)
      continue;
    const int number = n++;
    ++result.visited;
    BatchOperation op;
    op.no_login_key = entry.no_login_key;
    op.failure_key = entry.failure_key;
    op.call = [&](int, DeviceRow& row) {
      const std::string narrow = Utf8ToAnsi(document(number, row));
      int r = 0;
      if (entry.call == SettingsCall::kSetConfig) {
        r = sdk.SetDVRConfig(row.login_handle, entry.command, 0, narrow.c_str(),
                             static_cast<int>(narrow.size()));
        DiagLog("QM_NETSDK_IPC_SetDVRConfig %d %d = %d", row.login_handle, entry.command, r);
      } else {
        r = sdk.SystemControl(row.login_handle, entry.command, 0, narrow.c_str());
        DiagLog("QM_NETSDK_IPC_SystemControl %d %d = %d", row.login_handle, entry.command, r);
      }
      return r;
    };
    switch (RunBatchStep(list, p, op)) {
      case StepOutcome::kSucceeded:
        ++result.succeeded;
        ++result.attempted;
        break;
      case StepOutcome::kFailed:
        ++result.attempted;
        break;
      default:
        break;
    }
  }
  return result;
}

BatchResult SendSettingToChecked(DeviceSdk& sdk, DeviceListPort& list, const SettingsEntry& entry,
                                 const std::string& document) {
  return SendSettingToChecked(sdk, list, entry,
                              [&document](int, const DeviceRow&) { return document; });
}

BatchResult SetTitleOnChecked(DeviceSdk& sdk, DeviceListPort& list,
                              const TitleOverlayValues& values) {
  return SendSettingToChecked(sdk, list, settings::kTitle, [&](int, const DeviceRow& row) {
    const std::string title =
        ComposeTitle(values, AnsiToUtf8(FieldText(row.record.DeviceType)),
                     FieldText(row.record.Lan.IPAddress), FieldText(row.record.SerialNumber));
    return BuildTitleOverlayDocument(values, title);
  });
}

BatchResult SetPlatformOnChecked(DeviceSdk& sdk, DeviceListPort& list,
                                 const PlatformValues& values) {
  return SendSettingToChecked(sdk, list, settings::kPlatform, [&](int n, const DeviceRow&) {
    return BuildPlatformDocument(
        values, values.increment_account ? IncrementedAccount(values.account, n) : values.account);
  });
}

BatchResult SetMotionOnChecked(DeviceSdk& sdk, DeviceListPort& list, const MotionValues& v) {
  return SendSettingToChecked(
      sdk, list, settings::kMotion,
      BuildMotionDocument(v.enable, v.sensitivity, v.threshold, v.rows, v.columns));
}

BatchResult SyncTimeOnChecked(DeviceSdk& sdk, DeviceListPort& list, Prompter& prompter,
                              const std::function<LocalTime()>& clock) {
  int checked = 0;
  for (int p = 0; p < list.RowCount(); ++p)
    checked += list.IsChecked(p) ? 1 : 0;
  if (checked == 0) {
    prompter.ShowError(LookupText(keys::MSGTIP17));
    return {};
  }
  return SendSettingToChecked(sdk, list, settings::kTimeSync,
                              [&](int, const DeviceRow&) { return BuildTimeSyncRequest(clock()); });
}

std::string BadPixelSummary(int preset, int succeeded) {
  char text[512];
  std::snprintf(text, sizeof text, "[%d preset ptz] %s%d", preset,
                LookupText(keys::SUCCEED_SET_NUM).c_str(), succeeded);
  return text;
}

BatchResult BadPixelPresetOnChecked(DeviceSdk& sdk, DeviceListPort& list, Prompter& prompter,
                                    int preset) {
  BatchOperation op;
  op.no_login_key = keys::MSGTIP40;
  op.failure_key = keys::SET_PRESET_FAILED;
  op.call = [&](int, DeviceRow& row) {
    const int r = sdk.PTZPreset(row.login_handle, kPresetCommandSet, preset);
    DiagLog("QM_NETSDK_IPC_PTZPreset %d %d = %d", row.login_handle, preset, r);
    return r;
  };
  const BatchResult result = RunBatch(list, op);
  prompter.ShowMessage(BadPixelSummary(preset, result.succeeded));
  return result;
}

}  // namespace vdz
