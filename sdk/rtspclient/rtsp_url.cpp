#include "rtspclient/rtsp_url.h"

namespace vdz::rtsp {

namespace {

std::string Encode(const char* text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char* p = text; p != nullptr && *p != '\0'; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '_' || c == '.' || c == '~';
    if (plain) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

}  // namespace

std::string UrlWithAccount(const std::string& url, const char* user, const char* password,
                           bool with_password) {
  static const std::string kScheme = "rtsp://";
  if (url.compare(0, kScheme.size(), kScheme) != 0 || url.size() == kScheme.size())
    return {};
  const std::string rest = url.substr(kScheme.size());
  const std::size_t slash = rest.find('/');
  if (rest.substr(0, slash).find('@') != std::string::npos)
    return url;
  std::string out = kScheme;
  const std::string u = Encode(user);
  const std::string p = Encode(password);
  if (!u.empty() || !p.empty()) {
    out += u;
    if (!p.empty())
      out += ":" + (with_password ? p : std::string("***"));
    out += "@";
  }
  return out + rest;
}

std::string BuildUrl(const std::string& ip, int port, const char* user, const char* password,
                     const std::string& path, bool with_password) {
  std::string url = "rtsp://";
  const std::string u = Encode(user);
  const std::string p = Encode(password);
  if (!u.empty() || !p.empty()) {
    url += u;
    if (!p.empty())
      url += ":" + (with_password ? p : std::string("***"));
    url += "@";
  }
  url += ip + ":" + std::to_string(port) + path;
  return url;
}

std::string DefaultStreamPath(int stream_number) {
  return "/live/" + std::to_string(stream_number);
}

}  // namespace vdz::rtsp
