// The discovery exchange: UDP broadcast requests in a fixed XML envelope, answers with
// code 3. Sockets and the send/receive loop are the engine's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "devconfig/device_document.h"
#include "protocol/protocol_numbers.h"

namespace vdz {

inline constexpr const char* kDiscoveryBroadcastAddress = "255.255.255.255";
// A longer datagram is refused by the receiver as a failed receive.
inline constexpr std::size_t kMaxDiscoveryDatagram = 5119;
// Requests are formatted into 10,240-byte buffers with the terminating NUL.
inline constexpr std::size_t kMaxDiscoveryMessage = 10239;

// The request envelope, LF separated, no LF after the last line; a null body gives the
// ten-line variant (search), any other body the eleven-line one. At most
// kMaxDiscoveryMessage characters: an over-long body is cut.
std::string BuildDiscoveryMessage(int code, const char* body);

enum class DatagramKind { kDeviceAnswer, kDropped };

// A device answer needs either root, non-empty Msg_type, Msg_code and Msg_flag, and a
// Msg_code reading as 3. Everything else is logged with "recv message: %s\n" and dropped.
DatagramKind ClassifyDatagram(const char* text);
// The same on an already parsed datagram, so the registry reads it without parsing again.
DatagramKind ClassifyDatagram(const DeviceDocument& doc);

}  // namespace vdz
