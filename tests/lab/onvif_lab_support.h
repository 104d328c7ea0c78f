// What the ONVIF lab tests share: the simulator's cameras as its control socket lists them,
// and a plain HTTP/SOAP client with its own WS-UsernameToken and HTTP Digest arithmetic
// (OpenSSL), so the simulator's side is checked against code it does not share.
#pragma once

#include <arpa/inet.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "lab/devsim_control.h"

namespace vdz::lab {

// One `onvif` line of the control command onvif-cameras, by key.
inline std::vector<std::map<std::string, std::string>> OnvifCameras(const DevsimControl& sim) {
  std::vector<std::string> lines;
  std::vector<std::map<std::string, std::string>> out;
  if (!sim.Send("onvif-cameras", &lines))
    return out;
  for (const std::string& l : lines) {
    auto f = ParseReplyLine(l);
    if (f[""] == "onvif")
      out.push_back(std::move(f));
  }
  return out;
}

// The camera with that misbehaviour text ("none" for a plain one), or an empty map.
inline std::map<std::string, std::string> CameraWith(const DevsimControl& sim,
                                                     const std::string& misbehave, int nth = 0) {
  for (auto& c : OnvifCameras(sim)) {
    if (c["misbehave"] == misbehave && nth-- == 0)
      return c;
  }
  return {};
}

inline std::string Digest(const EVP_MD* md, const std::string& data) {
  unsigned char out[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  EVP_Digest(data.data(), data.size(), out, &len, md, nullptr);
  return std::string(reinterpret_cast<char*>(out), len);
}

inline std::string Hex(const std::string& raw) {
  std::string out;
  char b[3];
  for (unsigned char c : raw) {
    std::snprintf(b, sizeof b, "%02x", c);
    out += b;
  }
  return out;
}

inline std::string Base64(const std::string& raw) {
  std::string out(4 * ((raw.size() + 2) / 3) + 1, '\0');
  const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                reinterpret_cast<const unsigned char*>(raw.data()),
                                static_cast<int>(raw.size()));
  out.resize(static_cast<std::size_t>(n));
  return out;
}

inline int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

inline std::string IsoUtc(int64_t unix_ms) {
  const time_t s = static_cast<time_t>(unix_ms / 1000);
  tm t{};
  gmtime_r(&s, &t);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", t.tm_year + 1900,
                t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec,
                static_cast<int>(unix_ms % 1000));
  return buf;
}

// A Security header with a PasswordDigest token whose Created is created_ms.
inline std::string UsernameToken(const std::string& user, const std::string& password,
                                 int64_t created_ms) {
  unsigned char nonce[16];
  RAND_bytes(nonce, sizeof nonce);
  const std::string raw(reinterpret_cast<char*>(nonce), sizeof nonce);
  const std::string created = IsoUtc(created_ms);
  const std::string digest = Base64(Digest(EVP_sha1(), raw + created + password));
  return "<Security s:mustUnderstand=\"1\" xmlns=\"http://docs.oasis-open.org/wss/2004/01/"
         "oasis-200401-wss-wssecurity-secext-1.0.xsd\"><UsernameToken><Username>" +
         user +
         "</Username><Password Type=\"http://docs.oasis-open.org/wss/2004/01/"
         "oasis-200401-wss-username-token-profile-1.0#PasswordDigest\">" +
         digest + "</Password><Nonce>" + Base64(raw) +
         "</Nonce><Created xmlns=\"http://docs.oasis-open.org/wss/2004/01/"
         "oasis-200401-wss-wssecurity-utility-1.0.xsd\">" +
         created + "</Created></UsernameToken></Security>";
}

inline std::string Envelope(const std::string& body, const std::string& security = "") {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><s:Envelope "
         "xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\" "
         "xmlns:tds=\"http://www.onvif.org/ver10/device/wsdl\" "
         "xmlns:trt=\"http://www.onvif.org/ver10/media/wsdl\" "
         "xmlns:tt=\"http://www.onvif.org/ver10/schema\">" +
         (security.empty() ? "" : "<s:Header>" + security + "</s:Header>") + "<s:Body>" + body +
         "</s:Body></s:Envelope>";
}

struct HttpResult {
  int status = 0;                                   // 0: no answer
  std::multimap<std::string, std::string> headers;  // names in lower case
  std::string body;
};

// One request on its own connection (Connection: close), at most timeout_s.
inline HttpResult Http(const std::string& ip, const std::string& method, const std::string& path,
                       const std::string& body, const std::string& extra_headers = "",
                       int timeout_s = 5) {
  HttpResult r;
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  timeval tv{timeout_s, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(80);
  inet_pton(AF_INET, ip.c_str(), &a.sin_addr);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    return r;
  }
  const std::string request = method + " " + path + " HTTP/1.1\r\nHost: " + ip +
                              "\r\nContent-Type: application/soap+xml; charset=utf-8\r\n"
                              "Content-Length: " +
                              std::to_string(body.size()) + "\r\nConnection: close\r\n" +
                              extra_headers + "\r\n" + body;
  send(fd, request.data(), request.size(), MSG_NOSIGNAL);
  std::string in;
  char buf[8192];
  for (ssize_t n; (n = recv(fd, buf, sizeof buf, 0)) > 0 && in.size() < (1u << 22);)
    in.append(buf, static_cast<std::size_t>(n));
  close(fd);
  const std::size_t head_end = in.find("\r\n\r\n");
  if (in.rfind("HTTP/1.", 0) != 0 || head_end == std::string::npos)
    return r;
  r.status = std::atoi(in.c_str() + 9);
  std::size_t line = in.find("\r\n") + 2;
  while (line < head_end) {
    const std::size_t eol = in.find("\r\n", line);
    const std::string h = in.substr(line, eol - line);
    const std::size_t colon = h.find(':');
    std::string name = h.substr(0, colon);
    for (char& c : name)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    r.headers.emplace(
        name, colon == std::string::npos ? "" : h.substr(h.find_first_not_of(' ', colon + 1)));
    line = eol + 2;
  }
  r.body = in.substr(head_end + 4);
  return r;
}

inline std::string Soap(const std::string& ip, const std::string& body,
                        const std::string& security = "", HttpResult* result = nullptr) {
  HttpResult r = Http(ip, "POST", "/onvif/device_service", Envelope(body, security));
  if (result)
    *result = r;
  return r.status == 200 ? r.body : "";
}

// The text of the first element whose name ends in :local (or is local), by plain search.
inline std::string Element(const std::string& xml, const std::string& local) {
  for (std::size_t at = 0; (at = xml.find(local + ">", at)) != std::string::npos; ++at) {
    const std::size_t open = xml.rfind('<', at);
    if (open == std::string::npos || xml[open + 1] == '/' ||
        xml.find_first_of(" >", open) != at + local.size())
      continue;
    const std::string_view name(xml.data() + open + 1, at + local.size() - open - 1);
    if (name != local &&
        (name.size() <= local.size() || name[name.size() - local.size() - 1] != ':'))
      continue;
    const std::size_t start = at + local.size() + 1;
    return xml.substr(start, xml.find('<', start) - start);
  }
  return "";
}

// The camera's clock as its GetSystemDateAndTime (no login) gives it, minus ours, in ms.
inline int64_t CameraClockOffsetMs(const std::string& ip) {
  const std::string x = Soap(ip, "<tds:GetSystemDateAndTime/>");
  const std::size_t utc = x.find("UTCDateTime");
  if (utc == std::string::npos)
    return INT64_MIN;
  const std::string t = x.substr(utc);
  tm parts{};
  parts.tm_year = std::atoi(Element(t, "Year").c_str()) - 1900;
  parts.tm_mon = std::atoi(Element(t, "Month").c_str()) - 1;
  parts.tm_mday = std::atoi(Element(t, "Day").c_str());
  parts.tm_hour = std::atoi(Element(t, "Hour").c_str());
  parts.tm_min = std::atoi(Element(t, "Minute").c_str());
  parts.tm_sec = std::atoi(Element(t, "Second").c_str());
  return static_cast<int64_t>(timegm(&parts)) * 1000 - NowMs();
}

}  // namespace vdz::lab
