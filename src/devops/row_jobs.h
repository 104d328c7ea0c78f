// Runs the network commands' row work (the free-address searches) as a job: one row after
// another, off the owner's thread, with progress and Cancel like every batch.
#pragma once

#include <string>

#include "devops/device_job_runner.h"
#include "discovery/readdress_commands.h"

namespace vdz {

RowRunner MakeRowRunner(DeviceJobRunner& jobs, DeviceListPort& list, std::string kind);

}  // namespace vdz
