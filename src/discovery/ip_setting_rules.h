// The IP settings rules shared by the IP dialog, the network commands and the CLI: address
// parsing with the dialog's semantics and the gateway/last-byte check that guards OK.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vdz {

// What the IP settings dialog edits: five dotted texts and the DHCP switch.
struct IpSettingValues {
  std::string ip, netmask, gateway, dns1, dns2;
  int dhcp = 0;
};

using Octets = std::array<int, 4>;

// inet_addr semantics, first octet most significant: empty or bad text gives 0xFFFFFFFF.
uint32_t InetAddrHostOrder(const char* text);

// Strict dotted quad ("a.b.c.d", each 0..255, decimal); host order, first octet high.
std::optional<uint32_t> ParseDottedQuad(std::string_view text);

// "%d.%d.%d.%d", most significant octet first.
std::string DottedFromHostOrder(uint32_t address);
Octets OctetsFromHostOrder(uint32_t address);

// The gateway lies in the address's subnet (octet by octet under the mask) and the address's
// last byte is not 255. Applied whether or not DHCP is on.
bool IpSettingAccepted(const Octets& ip, const Octets& mask, const Octets& gateway);

// The same rule on texts; *why says which part failed. Unparsable texts fail.
bool IpSettingTextsAccepted(const IpSettingValues& values, std::string* why);

}  // namespace vdz
