// What each row of the device list carries. Rows can be sorted, so operations reach the
// device through registry_index, never through the row's position.
#pragma once

#include <cstdint>

#include "discovery/device_record.h"

namespace vdz {

struct DeviceRow {
  DeviceRecord record;
  int32_t registry_index = -1;
  int32_t login_handle = 0;
};

}  // namespace vdz
