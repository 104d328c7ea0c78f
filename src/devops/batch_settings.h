// The batch settings catalogue: what each setting sends to every checked device, through which
// library call and command, and the status texts it writes. The window and the CLI both run
// these; dialogs and confirmations come before them and belong to the front ends.
#pragma once

#include <functional>
#include <string>

#include "devconfig/settings_documents.h"
#include "devops/batch_runner.h"
#include "devops/device_sdk.h"
#include "devops/onvif_actions.h"
#include "discovery/device_list_port.h"
#include "shell/prompter.h"

namespace vdz {

enum class SettingsCall { kSetConfig, kSystemControl };

struct SettingsEntry {
  SettingsCall call;
  int command;
  const char* no_login_key;
  const char* failure_key;
};

namespace settings {
extern const SettingsEntry kTitle, kPassword, kLanguage, kPlatform, kEncoding, kImage, kMotion,
    kMaintenance, kTimeConfig, kTimeSync, kOutputPort;
}  // namespace settings

// The document for the n-th checked row (n from 0, counting rows that are skipped or not
// logged in too), as UTF-8 text. Runs on a pool thread with a copy of the row: it must own
// whatever else it reads.
using DocumentFor = std::function<std::string(int n, const DeviceRow& row)>;

// Sends each checked device its document in the narrow code page as a job; nothing is
// written on success. The length handed over is the narrow text's byte count, so a document
// holding multi-byte characters is never cut short. The job's number, 0 when refused.
int SendSettingToChecked(DeviceJobRunner& jobs, DeviceSdk& sdk, DeviceListPort& list,
                         const SettingsEntry& entry, DocumentFor document, BatchDone done = {});

// The same document for every device.
int SendSettingToChecked(DeviceJobRunner& jobs, DeviceSdk& sdk, DeviceListPort& list,
                         const SettingsEntry& entry, const std::string& document,
                         BatchDone done = {});

int SetTitleOnChecked(DeviceJobRunner& jobs, DeviceSdk& sdk, DeviceListPort& list,
                      const TitleOverlayValues& values, BatchDone done = {});
int SetPlatformOnChecked(DeviceJobRunner& jobs, DeviceSdk& sdk, DeviceListPort& list,
                         const PlatformValues& values, BatchDone done = {});
int SetMotionOnChecked(DeviceJobRunner& jobs, DeviceSdk& sdk, DeviceListPort& list,
                       const MotionValues& values, BatchDone done = {});

// The device password of every checked device. ONVIF devices among them get it for the
// account they were identified with, by their own protocol, when onvif is given.
int SetPasswordOnChecked(DeviceJobRunner& jobs, DeviceSdk& sdk, DeviceListPort& list,
                         const std::string& password, const OnvifActions* onvif = nullptr,
                         BatchDone done = {});
// The time settings. ONVIF devices take an NTP server by their own protocol when onvif is
// given; the other time sources are not theirs and they are skipped.
int SetTimeConfigOnChecked(DeviceJobRunner& jobs, DeviceSdk& sdk, DeviceListPort& list,
                           const TimeConfigValues& values, const OnvifActions* onvif = nullptr,
                           BatchDone done = {});

// Counts the checked rows itself: none gives the MSGTIP17 box. The clock is read again for
// every device, just before its request.
// Other makers' ONVIF devices among them are set to the workstation's clock by their own
// protocol when onvif is given.
int SyncTimeOnChecked(DeviceJobRunner& jobs, DeviceSdk& sdk, DeviceListPort& list,
                      Prompter& prompter, BatchDone done = {},
                      std::function<LocalTime()> clock = CurrentLocalTime,
                      const OnvifActions* onvif = nullptr);

inline constexpr int kPresetScanBadPixels = 200;
inline constexpr int kPresetSaveBadPixels = 201;
inline constexpr int kPresetCommandSet = 8;
// Bad-pixel scan or save, then the summary box over the whole batch once every device ended.
int BadPixelPresetOnChecked(DeviceJobRunner& jobs, DeviceSdk& sdk, DeviceListPort& list,
                            Prompter& prompter, int preset, BatchDone done = {});
std::string BadPixelSummary(int preset, int succeeded);

}  // namespace vdz
