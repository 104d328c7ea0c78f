#include "devconfig/ip_setting_rules.h"

#include <cstdio>

namespace vdz {

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
