#include "discovery/ip_setting_rules.h"

#include <arpa/inet.h>

#include <cstdio>

namespace vdz {

uint32_t InetAddrHostOrder(const char* text) {
  if (text == nullptr)
    return 0xFFFFFFFFu;
  return ntohl(::inet_addr(text));
}

std::optional<uint32_t> ParseDottedQuad(std::string_view text) {
  uint32_t address = 0;
  int octets = 0;
  std::size_t i = 0;
  while (octets < 4) {
    int value = 0;
    int digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 4) {
      value = value * 10 + (text[i] - '0');
      ++digits;
      ++i;
    }
    if (digits == 0 || digits > 3 || value > 255)
      return std::nullopt;
    address = address << 8 | static_cast<uint32_t>(value);
    ++octets;
    if (octets < 4) {
      if (i >= text.size() || text[i] != '.')
        return std::nullopt;
      ++i;
    }
  }
  if (i != text.size())
    return std::nullopt;
  return address;
}

Octets OctetsFromHostOrder(uint32_t address) {
  return {static_cast<int>(address >> 24 & 0xFF), static_cast<int>(address >> 16 & 0xFF),
          static_cast<int>(address >> 8 & 0xFF), static_cast<int>(address & 0xFF)};
}

std::string DottedFromHostOrder(uint32_t address) {
  const Octets o = OctetsFromHostOrder(address);
  char text[16];
  std::snprintf(text, sizeof text, "%d.%d.%d.%d", o[0], o[1], o[2], o[3]);
  return text;
}

bool IpSettingAccepted(const Octets& ip, const Octets& mask, const Octets& gateway) {
  for (std::size_t k = 0; k < 4; ++k) {
    if ((gateway[k] & mask[k]) != (ip[k] & mask[k]))
      return false;
  }
  return ip[3] != 255;
}

bool IpSettingTextsAccepted(const IpSettingValues& values, std::string* why) {
  const auto ip = ParseDottedQuad(values.ip);
  const auto mask = ParseDottedQuad(values.netmask);
  const auto gateway = ParseDottedQuad(values.gateway);
  if (!ip || !mask || !gateway) {
    *why = !ip     ? "address '" + values.ip + "' is not a dotted IPv4 address"
           : !mask ? "mask '" + values.netmask + "' is not a dotted IPv4 address"
                   : "gateway '" + values.gateway + "' is not a dotted IPv4 address";
    return false;
  }
  const Octets i = OctetsFromHostOrder(*ip);
  if (i[3] == 255) {
    *why = "address " + values.ip + " ends in .255";
    return false;
  }
  if (!IpSettingAccepted(i, OctetsFromHostOrder(*mask), OctetsFromHostOrder(*gateway))) {
    *why = "gateway " + values.gateway + " is not in the subnet of " + values.ip + "/" +
           values.netmask;
    return false;
  }
  for (const std::string* dns : {&values.dns1, &values.dns2}) {
    if (!dns->empty() && !ParseDottedQuad(*dns)) {
      *why = "name server '" + *dns + "' is not a dotted IPv4 address";
      return false;
    }
  }
  return true;
}

}  // namespace vdz
