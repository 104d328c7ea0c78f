// The device side of a search answer (code 3), written by the simulator's own code so that
// a misreading in the application's readers cannot be mirrored here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "sim_device.h"

namespace vdz::devsim {

// A well-formed code-3 answer as the device would send it (typically 2-3 KB).
// msg_code is the header's Msg_code text ("3" unless a wrong code is wanted).
std::string WriteSearchAnswer(const SimDevice& device, int64_t now_ms,
                              std::string_view msg_code = "3");

// The datagram the device really sends, its misbehaviour applied: wrong code, no root,
// broken XML, or padded to kOversizeBytes. Sending twice or from a wrong address is
// the sender's business.
std::string BuildAnswerDatagram(const SimDevice& device, int64_t now_ms);

}  // namespace vdz::devsim
