// Which of a device's XAddrs the client talks to.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vdz::onvif {

struct HttpAddress {
  std::string scheme;  // "http" or "https"
  std::string host;    // without brackets; an IPv6 zone keeps its '%'
  int port = 0;        // 0 when the address names none
  std::string path;    // "/" at least
  bool ipv6 = false;
};

// False for anything that is not http(s)://host[:port][/path].
bool ParseHttpAddress(std::string_view text, HttpAddress* address);
std::string FormatHttpAddress(const HttpAddress& address);
// The port an http or https address names, else the scheme's own (80, 443); 0 when the
// address is neither.
int UrlPort(const std::string& url);
// The same address at another (dotted IPv4) host: a device that moved. Unchanged when the
// address does not parse.
std::string WithHost(const std::string& url, const std::string& host);

// ONVIF's fixed path of the device service, for answers that list no usable XAddr.
inline constexpr char kDefaultDeviceServicePath[] = "/onvif/device_service";

// The XAddr whose host is the address the answer came from (dotted IPv4); else the answering
// address with the port and path of the first usable XAddr (IPv4 ones first): cameras behind
// NAT or with a stale second address list hosts the workstation cannot reach. The answer came
// over IPv4, so an IPv6 XAddr (a link-local one without a zone cannot be reached at all) gives
// only its port and path.
// With no XAddr at all, the default device service path at the answering address.
std::string ChooseXAddr(const std::vector<std::string>& xaddrs, const std::string& from_address);

}  // namespace vdz::onvif
