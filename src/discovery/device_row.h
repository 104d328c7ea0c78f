// What each row of the device list carries. Rows can be sorted, so operations reach the
// device through registry_index, never through the row's position.
#pragma once

#include <cstdint>

#include "discovery/device_record.h"
#include "discovery/foreign_device.h"

namespace vdz {

struct DeviceRow {
  DeviceRecord record;
  int32_t registry_index = -1;
  // Device SDK login; greater than 0 means logged in.
  int32_t login_handle = 0;
  // A login of the row runs in the background; its handle is not known yet.
  uint8_t login_pending = 0;
  // Set by the first session-up event of the login; never cleared while the row exists.
  uint8_t online = 0;
  uint8_t upgrading = 0;
  char firmware_version[128] = {};
  char device_information[1024] = {};
  // Another maker's device (kProtocolOnvif): no login of ours, its maker and state kept here.
  uint8_t protocol = 0;
  char maker[64] = {};
  char foreign_state[128] = {};
  int32_t snapshot_pending = 0;
  int64_t snapshot_request_time = 0;
};

}  // namespace vdz
