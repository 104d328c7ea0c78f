#include "devops/batch_settings.h"

#include <cstdio>

#include "devconfig/request_bodies.h"
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

namespace {

// What one setting sends to each device, and the job kind it runs as: one settings job per
// command at a time; different settings may run side by side.
BatchOperation SettingOperation(DeviceSdk& sdk, const SettingsEntry& entry, DocumentFor document) {
  BatchOperation op;
  op.no_login_key = entry.no_login_key;
  op.failure_key = entry.failure_key;
  op.call = [&sdk, entry, document = std::move(document)](int n, const DeviceRow& row) {
    const std::string narrow = Utf8ToAnsi(document(n, row));
    int r = 0;
    if (entry.call == SettingsCall::kSetConfig) {
      r = sdk.SetDVRConfig(row.login_handle, entry.command, 0, narrow.c_str(),
                           static_cast<int>(narrow.size()));
      DiagLog("QM_NETSDK_IPC_SetDVRConfig %d %d = %d\n", row.login_handle, entry.command, r);
    } else {
      r = sdk.SystemControl(row.login_handle, entry.command, 0, narrow.c_str());
      DiagLog("QM_NETSDK_IPC_SystemControl %d %d = %d\n", row.login_handle, entry.command, r);
    }
    return r;
  };
  return op;
}

std::string SettingKind(const SettingsEntry& entry) {
  return "settings " + std::to_string(static_cast<int>(entry.call)) + "/" +
         std::to_string(entry.command);
}

}  // namespace

int SendSettingToChecked(DeviceJobRunner& jobs, DeviceSdk& sdk, DeviceListPort& list,
                         const SettingsEntry& entry, DocumentFor document, BatchDone done) {
  return StartBatch(jobs, list, SettingKind(entry),
                    SettingOperation(sdk, entry, std::move(document)), std::move(done));
}

int SendSettingToChecked(DeviceJobRunner& jobs, DeviceSdk& sdk, DeviceListPort& list,
                         const SettingsEntry& entry, const std::string& document, BatchDone done) {
  return SendSettingToChecked(
      jobs, sdk, list, entry, [document](int, const DeviceRow&) { return document; },
      std::move(done));
}

int SetTitleOnChecked(DeviceJobRunner& jobs, DeviceSdk& sdk, DeviceListPort& list,
                      const TitleOverlayValues& values, BatchDone done) {
  return SendSettingToChecked(
      jobs, sdk, list, settings::kTitle,
      [values](int, const DeviceRow& row) {
        const std::string title =
            ComposeTitle(values, AnsiToUtf8(FieldText(row.record.DeviceType)),
                         FieldText(row.record.Lan.IPAddress), FieldText(row.record.SerialNumber));
        return BuildTitleOverlayDocument(values, title);
      },
      std::move(done));
}

int SetPlatformOnChecked(DeviceJobRunner& jobs, DeviceSdk& sdk, DeviceListPort& list,
                         const PlatformValues& values, BatchDone done) {
  return SendSettingToChecked(
      jobs, sdk, list, settings::kPlatform,
      [values](int n, const DeviceRow&) {
        return BuildPlatformDocument(values, values.increment_account
                                                 ? IncrementedAccount(values.account, n)
                                                 : values.account);
      },
      std::move(done));
}

int SetMotionOnChecked(DeviceJobRunner& jobs, DeviceSdk& sdk, DeviceListPort& list,
                       const MotionValues& v, BatchDone done) {
  return SendSettingToChecked(
      jobs, sdk, list, settings::kMotion,
      BuildMotionDocument(v.enable, v.sensitivity, v.threshold, v.rows, v.columns),
      std::move(done));
}

int SetPasswordOnChecked(DeviceJobRunner& jobs, DeviceSdk& sdk, DeviceListPort& list,
                         const std::string& password, const OnvifActions* onvif, BatchDone done) {
  BatchOperation op = SettingOperation(
      sdk, settings::kPassword,
      [document = BuildPasswordDocument(password)](int, const DeviceRow&) { return document; });
  if (onvif != nullptr)
    op.foreign_call = [actions = *onvif, password](int, const DeviceRow& row) {
      return actions.SetPassword(row, password);
    };
  return StartBatch(jobs, list, SettingKind(settings::kPassword), std::move(op), std::move(done));
}

int SetTimeConfigOnChecked(DeviceJobRunner& jobs, DeviceSdk& sdk, DeviceListPort& list,
                           const TimeConfigValues& values, const OnvifActions* onvif,
                           BatchDone done) {
  BatchOperation op = SettingOperation(
      sdk, settings::kTimeConfig,
      [document = BuildTimeConfigDocument(values)](int, const DeviceRow&) { return document; });
  if (onvif != nullptr && values.time_source == kTimeSourceNtp)
    op.foreign_call = [actions = *onvif, server = values.server](int, const DeviceRow& row) {
      return actions.SetNtp(row, server);
    };
  return StartBatch(jobs, list, SettingKind(settings::kTimeConfig), std::move(op), std::move(done));
}

int SyncTimeOnChecked(DeviceJobRunner& jobs, DeviceSdk& sdk, DeviceListPort& list,
                      Prompter& prompter, BatchDone done, std::function<LocalTime()> clock,
                      const OnvifActions* onvif) {
  int checked = 0;
  for (int p = 0; p < list.RowCount(); ++p)
    checked += list.IsChecked(p) ? 1 : 0;
  if (checked == 0) {
    prompter.ShowError(LookupText(keys::MSGTIP17));
    return 0;
  }
  BatchOperation op = SettingOperation(
      sdk, settings::kTimeSync,
      [clock = std::move(clock)](int, const DeviceRow&) { return BuildTimeSyncRequest(clock()); });
  if (onvif != nullptr)
    op.foreign_call = [actions = *onvif](int, const DeviceRow& row) {
      return actions.SyncTime(row);
    };
  return StartBatch(jobs, list, SettingKind(settings::kTimeSync), std::move(op), std::move(done));
}

std::string BadPixelSummary(int preset, int succeeded) {
  char text[512];
  std::snprintf(text, sizeof text, "[%d preset ptz] %s%d", preset,
                LookupText(keys::SUCCEED_SET_NUM).c_str(), succeeded);
  return text;
}

int BadPixelPresetOnChecked(DeviceJobRunner& jobs, DeviceSdk& sdk, DeviceListPort& list,
                            Prompter& prompter, int preset, BatchDone done) {
  BatchOperation op;
  op.no_login_key = keys::MSGTIP40;
  op.failure_key = keys::SET_PRESET_FAILED;
  op.call = [&sdk, preset](int, const DeviceRow& row) {
    const int r = sdk.PTZPreset(row.login_handle, kPresetCommandSet, preset);
    DiagLog("QM_NETSDK_IPC_PTZPreset %d %d = %d\n", row.login_handle, preset, r);
    return r;
  };
  return StartBatch(jobs, list, "ptz preset", std::move(op),
                    [&prompter, preset, done = std::move(done)](const BatchResult& result) {
                      prompter.ShowMessage(BadPixelSummary(preset, result.succeeded));
                      if (done)
                        done(result);
                    });
}

}  // namespace vdz
