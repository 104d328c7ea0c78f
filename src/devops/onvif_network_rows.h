// Reboot and new addresses for other makers' ONVIF rows of the list's network commands: a job
// of their own beside the discovery requests of ours, the same for the window and the CLI.
#pragma once

#include <functional>
#include <vector>

#include "devops/device_job_runner.h"
#include "devops/onvif_actions.h"
#include "discovery/readdress_commands.h"

namespace vdz {

// Each row as it ends, on the owner's thread, where it stands now.
using ForeignRowReport = std::function<void(int position, const DeviceRow& row, int result)>;

// The network commands' runner for ONVIF rows: reboot writes RESTARTING or MSGTIP35 in the
// status cell; a new address is written into the row once the device answers there.
ForeignRowsRunner OnvifNetworkRows(DeviceJobRunner& jobs, DeviceListPort& list,
                                   OnvifActions actions, ForeignRowReport report = {});

}  // namespace vdz
