#include "onvif/xaddr_choice.h"

#include <charconv>

namespace vdz::onvif {

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size())
    return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i])
      return false;
  }
  return true;
}

}  // namespace

bool ParseHttpAddress(std::string_view text, HttpAddress* address) {
  HttpAddress a;
  if (StartsWithNoCase(text, "http://")) {
    a.scheme = "http";
    text.remove_prefix(7);
  } else if (StartsWithNoCase(text, "https://")) {
    a.scheme = "https";
    text.remove_prefix(8);
  } else {
    return false;
  }
  const std::size_t slash = text.find('/');
  std::string_view authority = text.substr(0, slash);
  a.path = slash == std::string_view::npos ? "/" : std::string(text.substr(slash));
  if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos)
    authority.remove_prefix(at + 1);
  std::string_view port;
  if (!authority.empty() && authority.front() == '[') {
    const std::size_t close = authority.find(']');
    if (close == std::string_view::npos)
      return false;
    a.host = std::string(authority.substr(1, close - 1));
    a.ipv6 = true;
    std::string_view rest = authority.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':')
        return false;
      port = rest.substr(1);
    }
    // In an address the zone's '%' is written "%25".
    if (const std::size_t zone = a.host.find("%25"); zone != std::string::npos)
      a.host.erase(zone + 1, 2);
  } else {
    const std::size_t colon = authority.find(':');
    a.host = std::string(authority.substr(0, colon));
    if (colon != std::string_view::npos)
      port = authority.substr(colon + 1);
  }
  if (a.host.empty())
    return false;
  if (!port.empty()) {
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), a.port);
    if (error != std::errc{} || end != port.data() + port.size() || a.port <= 0 || a.port > 65535)
      return false;
  }
  *address = std::move(a);
  return true;
}

std::string FormatHttpAddress(const HttpAddress& a) {
  std::string text = a.scheme + "://";
  if (a.ipv6) {
    std::string host = a.host;
    if (const std::size_t zone = host.find('%'); zone != std::string::npos)
      host.insert(zone + 1, "25");
    text += '[' + host + ']';
  } else {
    text += a.host;
  }
  if (a.port != 0)
    text += ':' + std::to_string(a.port);
  text += a.path.empty() ? "/" : a.path;
  return text;
}

int UrlPort(const std::string& url) {
  HttpAddress address;
  if (!ParseHttpAddress(url, &address))
    return 0;
  return address.port != 0 ? address.port : address.scheme == "https" ? 443 : 80;
}

std::string WithHost(const std::string& url, const std::string& host) {
  HttpAddress address;
  if (!ParseHttpAddress(url, &address))
    return url;
  address.host = host;
  address.ipv6 = false;
  return FormatHttpAddress(address);
}

std::string ChooseXAddr(const std::vector<std::string>& xaddrs, const std::string& from_address) {
  const HttpAddress* first_ipv4 = nullptr;
  const HttpAddress* first_any = nullptr;
  std::vector<HttpAddress> parsed;
  parsed.reserve(xaddrs.size());
  for (const std::string& x : xaddrs) {
    HttpAddress a;
    if (ParseHttpAddress(x, &a))
      parsed.push_back(std::move(a));
  }
  for (const HttpAddress& a : parsed) {
    if (!a.ipv6 && a.host == from_address)
      return FormatHttpAddress(a);
    if (first_any == nullptr)
      first_any = &a;
    if (!a.ipv6 && first_ipv4 == nullptr)
      first_ipv4 = &a;
  }
  HttpAddress chosen;
  if (first_ipv4 != nullptr) {
    chosen = *first_ipv4;
  } else if (first_any != nullptr) {
    chosen = *first_any;
  } else {
    chosen.scheme = "http";
    chosen.path = kDefaultDeviceServicePath;
  }
  chosen.host = from_address;
  chosen.ipv6 = false;
  return FormatHttpAddress(chosen);
}

}  // namespace vdz::onvif
