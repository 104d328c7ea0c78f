// The input checks the settings dialogs, the device list's edit checks and the CLI share, so
// a value refused in one place is refused everywhere.
#pragma once

#include <cstdint>
#include <string_view>

namespace vdz {

// Digits only (no sign, no blanks), 1 to 64 of them, leading zeros allowed, value within
// [minimum, maximum].
bool DecimalInRange(std::string_view text, int64_t minimum, int64_t maximum);

// Four dot-separated decimal parts 0..255 (empty pieces between dots are skipped), accepted
// by inet_addr, not the all-ones address and not all parts zero; shorter than 100 characters.
bool Ipv4AddressAccepted(std::string_view text);

// A host name of 1 to 63 characters, letters (any case), digits, "-" and ".", holding a dot,
// neither starting nor ending with "-", not ending with "."; its last label is 2 or 3
// characters without a digit.
bool HostNameAccepted(std::string_view text);

// An NTP server: a usable IPv4 address other than the three netmask texts, or a host name.
bool NtpServerAccepted(std::string_view text);

}  // namespace vdz
