// Reads who a device is from its search answer: IPC_SERIALNUMBER and DEVICE_TYPE.
#pragma once

#include "devconfig/device_document.h"
#include "devconfig/device_records.h"

namespace vdz {

// Clears SerialNumber, OEM_SN, PLATFORMID, P2PID and runtime; every other field keeps what
// the caller put there unless the answer carries it (so a caller wanting P2PSTATUS -1 for
// "not reported" presets it). Infers P2PTYPE from P2PID when it is still 0.
// 0 on success, also without IPC_SERIALNUMBER; -1 without root (logged) or MESSAGE_BODY.
int ReadDeviceIdentity(const DeviceDocument& doc, DeviceIdentity* identity);
int ReadDeviceIdentity(const char* text, DeviceIdentity* identity);

}  // namespace vdz
