// The IP settings rules shared by the IP dialog, the network commands and the CLI: address
// parsing with the dialog's semantics and the gateway/last-byte check that guards OK.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "devconfig/ipv4_text.h"

namespace vdz {

// What the IP settings dialog edits: five dotted texts and the DHCP switch.
struct IpSettingValues {
  std::string ip, netmask, gateway, dns1, dns2;
  int dhcp = 0;
};

// Runs the IP settings dialog filled with initial (batch: the first label says "TEXT1");
// the accepted values, or nothing when cancelled. The window gives the Qt dialog, the CLI
// its options.
using IpSettingDialog =
    std::function<std::optional<IpSettingValues>(const IpSettingValues& initial, bool batch)>;

// The gateway lies in the address's subnet (octet by octet under the mask) and the address's
// last byte is not 255. Applied whether or not DHCP is on.
bool IpSettingAccepted(const Octets& ip, const Octets& mask, const Octets& gateway);

// The same rule on texts; *why says which part failed. Unparsable texts fail.
bool IpSettingTextsAccepted(const IpSettingValues& values, std::string* why);

}  // namespace vdz
