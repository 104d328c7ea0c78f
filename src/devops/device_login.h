// Logging devices in to the SDK with the account their search answer reported.
#pragma once

#include "devops/device_sdk.h"
#include "discovery/device_list_port.h"

namespace vdz {

inline constexpr char kLoginFailedText[] = "QM_NETSDK_IPC_Login FAILED";

// Login with the record's address, control port and first account; on success the SDK
// reconnects by itself from then on. Returns the handle (greater than 0) or the failure.
int LoginDevice(DeviceSdk& sdk, const DeviceRecord& record);

// Stores a login result in the row at this position; a failure is written to its status.
void ApplyLoginResult(DeviceListPort& list, int position, int handle);

// Logs the row's current handle out (if any) and logs in again with the given record.
int ReloginDevice(DeviceSdk& sdk, DeviceRow& row, const DeviceRecord& record);

}  // namespace vdz
