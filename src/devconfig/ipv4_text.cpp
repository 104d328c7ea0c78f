#include "devconfig/ipv4_text.h"

#include <arpa/inet.h>

#include <bit>
#include <cstdio>

namespace vdz {

std::optional<uint32_t> ParseIpv4NetworkOrder(const char* dotted) {
  in_addr addr{};
  if (dotted == nullptr || inet_pton(AF_INET, dotted, &addr) != 1)
    return std::nullopt;
  return addr.s_addr;
}

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

std::string NetmaskFromPrefix(int prefix) {
  const int bits = prefix < 0 ? 0 : prefix > 32 ? 32 : prefix;
  return DottedFromHostOrder(bits == 0 ? 0u : ~uint32_t{0} << (32 - bits));
}

std::optional<int> PrefixFromNetmask(std::string_view mask) {
  const std::optional<uint32_t> value = ParseDottedQuad(mask);
  if (!value)
    return std::nullopt;
  const uint32_t inverted = ~*value;
  if ((inverted & (inverted + 1)) != 0)  // the zeros must all come last
    return std::nullopt;
  return std::popcount(*value);
}

uint32_t AdapterKey(const char* dotted) {
  const auto address = ParseIpv4NetworkOrder(dotted);
  if (!address)
    return 0;
  const auto* b = reinterpret_cast<const unsigned char*>(&*address);
  return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
         static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
}

std::string DottedFromKey(uint32_t key) {
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", key & 0xFF, (key >> 8) & 0xFF, (key >> 16) & 0xFF,
                (key >> 24) & 0xFF);
  return text;
}

}  // namespace vdz
