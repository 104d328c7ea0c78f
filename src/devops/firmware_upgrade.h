// Firmware upgrade of the checked devices: one image for all (file upgrade) or each device's
// own image from a folder (directory upgrade), one batch at a time, ended by a watch tick
// that finds no device upgrading.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "devops/device_sdk.h"
#include "discovery/device_list_port.h"
#include "shell/prompter.h"

namespace vdz {

class BatchReportLog;

// DeviceType with every "NVS-IPCAM-" removed.
std::string FirmwareModel(std::string_view device_type);

// The image for that model in the folder: files "firmware_<model>*.bin", in byte order of
// their names; one with "_AF" in its name is passed over unless the model has "_AF"; the
// last remaining one wins. Empty when none.
std::string ChooseFirmwareImage(const std::string& folder, std::string_view model);

// "<UPLOAD>: NN%" with results above 100 shown as 100; empty for 0 or less (ignored).
std::string UpgradeProgressText(int percent);

class UpgradeEngine {
 public:
  // watch(true) starts the 1000 ms watch timer, watch(false) stops it.
  UpgradeEngine(DeviceSdk& sdk, DeviceListPort& list, Prompter& prompter,
                std::function<void(bool)> watch);

  void UpgradeFromFile(const std::string& path);
  void UpgradeFromFolder(const std::string& folder);
  // Watch timer tick.
  void OnWatchTick();
  // Progress events of the row.
  void OnProgress(int position, DeviceRow& row);
  // An ending event of an upgrading row (its status cell already shows it).
  void OnUpgradeEnded(int position, DeviceRow& row, bool succeeded);
  // Each batch goes into the report: a device when its upgrade ends, the summary (handed
  // to on_summary) when no device is upgrading any more.
  void SetReport(BatchReportLog* report, std::function<void(const std::string&)> on_summary);

  bool busy() const { return busy_; }
  // Rows whose upgrading flag is set.
  int Upgrading() const;

 private:
  // The file upgrade's per-device step, for one row and one image.
  // True (and the row told why) for another maker's device.
  bool SkippedAsForeign(int position, const DeviceRow& row);
  void StartOne(int position, DeviceRow& row, const std::string& path);
  void Started(int checked);
  void OpenReport(const char* caption_key);
  void Note(int position, BatchDeviceOutcome outcome);
  void CloseReport();

  DeviceSdk& sdk_;
  DeviceListPort& list_;
  Prompter& prompter_;
  std::function<void(bool)> watch_;
  bool busy_ = false;
  BatchReportLog* report_ = nullptr;
  std::function<void(const std::string&)> on_summary_;
  int batch_ = 0;
};

}  // namespace vdz
