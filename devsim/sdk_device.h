// The SDK side of a simulated device: what its control-port server is told about it, and the
// words that name the faults that server can show.
#pragma once

#include <string>

#include "device_config.h"
#include "sim_device.h"

namespace vdz::devsim {

// The simulator ends a reboot itself (with the discovery silence), so the server's own reboot
// timer is set far beyond any silence.
inline constexpr int kSdkRebootHoldMs = 24 * 3600 * 1000;

devserver::DeviceConfig SdkDeviceConfig(const SimDevice& d);

// none, refuse-logins, silent, drop-line, garbage, huge-length, close-mid-frame,
// hold-logins, mute-after-login.
bool ParseSdkMisbehaviour(const std::string& word, devserver::Misbehaviour* m);
const char* SdkMisbehaviourText(devserver::Misbehaviour m);

// none, refuse-image, drop-mid-transfer, no-end, stall, garbage-acks, huge-file.
bool ParseTransferFault(const std::string& word, devserver::TransferFault* f);

}  // namespace vdz::devsim
