// IPv4 addresses as text and as numbers, in the three forms the tool meets: network order
// (sockets and the assigned-address table), host order with the first octet high (the IP
// dialog's arithmetic) and the adapter table's key.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vdz {

using Octets = std::array<int, 4>;

// Dotted text to its address bytes in network order; nothing for text that does not parse.
std::optional<uint32_t> ParseIpv4NetworkOrder(const char* dotted);

// inet_addr semantics, first octet most significant: empty or bad text gives 0xFFFFFFFF.
uint32_t InetAddrHostOrder(const char* text);

// Strict dotted quad ("a.b.c.d", each 0..255, decimal); host order, first octet high.
std::optional<uint32_t> ParseDottedQuad(std::string_view text);

// "%d.%d.%d.%d", most significant octet first.
std::string DottedFromHostOrder(uint32_t address);
Octets OctetsFromHostOrder(uint32_t address);

// A prefix length (0..32) as a dotted mask, and back: nothing for a mask whose ones do not
// all come first.
std::string NetmaskFromPrefix(int prefix);
std::optional<int> PrefixFromNetmask(std::string_view mask);

// The adapter table's key: the address bytes in network order read as a little-endian
// number, so 192.168.1.10 (key 0x0A01A8C0) sorts before 10.0.0.20 (key 0x1400000A).
uint32_t AdapterKey(const char* dotted);  // 0 when the text does not parse
std::string DottedFromKey(uint32_t key);

}  // namespace vdz
