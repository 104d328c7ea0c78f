// The batch settings catalogue: what each setting sends to every checked device, through which
// library call and command, and the status texts it writes. The window and the CLI both run
// these; dialogs and confirmations come before them and belong to the front ends.
#pragma once

#include <functional>
#include <string>

#include "devconfig/settings_documents.h"
#include "devops/batch_runner.h"
#include "devops/device_sdk.h"
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
// logged in too), as UTF-8 text.
using DocumentFor = std::function<std::string(int n, const DeviceRow& row)>;

// Sends each checked device its document in the narrow code page; nothing is written on
// success. The length handed over is the narrow text's byte count, so a document holding
// multi-byte characters is never cut short.
BatchResult SendSettingToChecked(DeviceSdk& sdk, DeviceListPort& list, const SettingsEntry& entry,
                                 const DocumentFor& document);

// The same document for every device.
BatchResult SendSettingToChecked(DeviceSdk& sdk, DeviceListPort& list, const SettingsEntry& entry,
                                 const std::string& document);

BatchResult SetTitleOnChecked(DeviceSdk& sdk, DeviceListPort& list,
                              const TitleOverlayValues& values);
BatchResult SetPlatformOnChecked(DeviceSdk& sdk, DeviceListPort& list,
                                 const PlatformValues& values);
BatchResult SetMotionOnChecked(DeviceSdk& sdk, DeviceListPort& list, const MotionValues& values);

// Counts the checked rows itself: none gives the MSGTIP17 box. The clock is read again for
// every device.
BatchResult SyncTimeOnChecked(DeviceSdk& sdk, DeviceListPort& list, Prompter& prompter,
                              const std::function<LocalTime()>& clock = CurrentLocalTime);

inline constexpr int kPresetScanBadPixels = 200;
inline constexpr int kPresetSaveBadPixels = 201;
inline constexpr int kPresetCommandSet = 8;
// Bad-pixel scan or save, then the summary box over the whole batch.
BatchResult BadPixelPresetOnChecked(DeviceSdk& sdk, DeviceListPort& list, Prompter& prompter,
                                    int preset);
std::string BadPixelSummary(int preset, int succeeded);

}  // namespace vdz
