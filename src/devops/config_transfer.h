// Whole-configuration transfers of the checked devices: export to one file per device,
// import of one file into each, factory restore through the SDK, DANALE application upload.
#pragma once

#include <string>
#include <string_view>

#include "devops/batch_runner.h"
#include "devops/device_sdk.h"
#include "discovery/device_list_port.h"
#include "shell/prompter.h"

namespace vdz {

// UserDataFolder()/config: the program's own folder is read-only once installed.
std::string ConfigExportFolder();

// folder/config_<serial>_<ip>.xml; characters that could leave the folder or trouble a
// file manager ('/', '\\', control characters, a leading '.') become '_'.
std::string ConfigExportPath(const std::string& folder, std::string_view serial,
                             std::string_view ip);

struct ConfigBatchResult {
  int checked = 0;
  int succeeded = 0;
};

using ConfigDone = std::function<void(const ConfigBatchResult&)>;

// Each runs as a job over the checked rows and returns its number (0: nothing started); done
// runs on the owner's thread once every device ended.
// Creates the folder when missing; per device MSGTIP21 / MSGTIP33 / MSGTIP18; MSGTIP26 when
// none is checked.
int ExportConfigOfChecked(DeviceJobRunner& jobs, DeviceSdk& sdk, DeviceListPort& list,
                          Prompter& prompter, const std::string& folder, ConfigDone done = {});
// Per device MSGTIP20 / MSGTIP31 / MSGTIP32; MSGTIP25 when none is checked.
int ImportConfigToChecked(DeviceJobRunner& jobs, DeviceSdk& sdk, DeviceListPort& list,
                          Prompter& prompter, const std::string& path, ConfigDone done = {});
// Asks first (MSGTIP11); the reboot follows whatever the restore command answered.
int FactoryRestoreChecked(DeviceJobRunner& jobs, DeviceSdk& sdk, DeviceListPort& list,
                          Prompter& prompter, ConfigDone done = {});
// The chosen file to the one checked device; nothing with any other number checked.
// Returns the upload's result, or -1 when nothing was uploaded.
int DanaleImport(DeviceSdk& sdk, DeviceListPort& list, Prompter& prompter, const std::string& path);

}  // namespace vdz
