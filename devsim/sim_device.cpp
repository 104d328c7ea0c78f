#include "sim_device.h"

#include <arpa/inet.h>

namespace vdz::devsim {

std::string Ipv4Text(uint32_t host_order) {
  char buf[INET_ADDRSTRLEN] = {};
  const in_addr a{htonl(host_order)};
  inet_ntop(AF_INET, &a, buf, sizeof buf);
  return buf;
}

bool ParseIpv4(const std::string& text, uint32_t* host_order) {
  in_addr a{};
  if (text.size() > 15 || inet_pton(AF_INET, text.c_str(), &a) != 1)
    return false;
  *host_order = ntohl(a.s_addr);
  return true;
}

bool UsableDeviceAddress(uint32_t ip, uint32_t mask) {
  const uint32_t first = ip >> 24;
  if (first == 0 || first == 127 || first >= 224)
    return false;
  const uint32_t host = ip & ~mask;
  return mask == 0xffffffffu || (host != 0 && host != ~mask);
}

bool ValidMask(uint32_t mask) {
  if (mask == 0)
    return false;
  const uint32_t inverted = ~mask;
  return (inverted & (inverted + 1)) == 0;
}

}  // namespace vdz::devsim
