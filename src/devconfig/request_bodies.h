// Bodies of the requests sent to one device, and the password document. Each value is
// escaped, so ordinary values give exactly the devices' formats and markup characters
// cannot break out of their attribute. Results are at most kRequestBodyMaxLength long.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "devconfig/device_records.h"

namespace vdz {

// The devices' request buffers hold 1024 bytes with the terminating NUL.
inline constexpr std::size_t kRequestBodyMaxLength = 1023;

// Serial number and LANConfig, CR LF separated; ALLNET is not written.
std::string BuildLanConfigBody(std::string_view serial, const LanConfigRecord& lan);

// Serial number only, for restore and reboot.
std::string BuildSerialBody(std::string_view serial);

// Serial number and RK_CONFIG/SYSTEM; ends with the closing tag, no line end.
std::string BuildRkConfigBody(std::string_view serial, const RkSystemRecord& rk);

// Sets the admin account's password; the password is already narrow device text.
std::string BuildPasswordDocument(std::string_view password);

}  // namespace vdz
