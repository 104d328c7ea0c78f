// Another maker's device met by a command it has no counterpart for.
#pragma once

#include "discovery/device_list_port.h"

namespace vdz {

// Says so in the row's status cell ("not supported by this device") and counts the row as
// skipped in the batch report (batch as OpenBatch() gave it; 0 for the one open now).
void SkipAsNotSupported(DeviceListPort& list, int position, int batch = 0);

}  // namespace vdz
