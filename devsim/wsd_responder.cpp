#include "wsd_responder.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <sys/socket.h>
#include <tinyxml2.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "onvif_soap.h"

namespace vdz::devsim {

namespace {

constexpr const char* kProbeAction = "http://schemas.xmlsoap.org/ws/2005/04/discovery/Probe";

std::vector<std::string> SplitBlanks(const std::string& text) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
      ++i;
    std::size_t j = i;
    while (j < text.size() && !std::isspace(static_cast<unsigned char>(text[j])))
      ++j;
    if (j > i)
      out.push_back(text.substr(i, j - i));
    i = j;
  }
  return out;
}

std::string UrlPart(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.') {
      out += static_cast<char>(c);
    } else {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", c);
      out += buf;
    }
  }
  return out;
}

}  // namespace

std::optional<WsdProbe> ReadProbe(std::string_view datagram, std::string* why) {
  tinyxml2::XMLDocument doc;
  if (doc.Parse(datagram.data(), datagram.size()) != tinyxml2::XML_SUCCESS) {
    *why = "not-xml";
    return std::nullopt;
  }
  const tinyxml2::XMLElement* envelope = doc.RootElement();
  if (!envelope || LocalName(envelope->Name()) != "Envelope") {
    *why = "no-envelope";
    return std::nullopt;
  }
  const tinyxml2::XMLElement* probe_el = Path(envelope, {"Body", "Probe"});
  const std::string action = Text(Path(envelope, {"Header", "Action"}));
  if (!probe_el || (!action.empty() && action != kProbeAction)) {
    *why = "not-probe";
    return std::nullopt;
  }
  WsdProbe probe;
  probe.message_id = Text(Path(envelope, {"Header", "MessageID"}));
  if (probe.message_id.empty()) {
    *why = "no-message-id";
    return std::nullopt;
  }
  const std::string_view root(envelope->Name());
  const std::size_t colon = root.find(':');
  probe.soap11 =
      NamespaceOf(envelope, colon == std::string_view::npos ? std::string_view()
                                                            : root.substr(0, colon)) == kSoap11Ns;
  const tinyxml2::XMLElement* types = Child(probe_el, "Types");
  for (const std::string& qname : SplitBlanks(Text(types))) {
    const std::size_t c = qname.find(':');
    const std::string prefix = c == std::string::npos ? "" : qname.substr(0, c);
    probe.types.emplace_back(NamespaceOf(types, prefix), std::string(LocalName(qname)));
  }
  probe.scopes = SplitBlanks(Text(Child(probe_el, "Scopes")));
  return probe;
}

std::vector<std::string> CameraScopes(const OnvifCamera& c) {
  std::vector<std::string> s = {
      std::string("onvif://www.onvif.org/type/") + (c.display ? "video_decoder" : "video_encoder"),
      "onvif://www.onvif.org/Profile/Streaming",
      "onvif://www.onvif.org/hardware/" + UrlPart(c.model),
      "onvif://www.onvif.org/name/" + UrlPart(c.maker + " " + c.model),
      "onvif://www.onvif.org/location/country/lab",
      "onvif://www.onvif.org/MAC/" + UrlPart(c.mac)};
  if (c.misbehave.big_match) {
    // Sites describe their cameras at length; such answers no longer fit one Ethernet frame.
    for (int i = 0; i < 12; ++i) {
      s.push_back("onvif://www.onvif.org/location/building/north-wing/floor-" + std::to_string(i) +
                  "/corridor-with-a-rather-long-description-of-where-the-camera-hangs");
    }
  }
  return s;
}

bool ProbeMatchesCamera(const WsdProbe& probe, const OnvifCamera& camera) {
  if (probe.types.empty() && camera.misbehave.no_typeless)
    return false;
  for (const auto& [ns, local] : probe.types) {
    const bool ok = (ns == kOnvifDeviceNs && local == "Device") ||
                    (ns == kOnvifNetworkNs &&
                     local == (camera.display ? "NetworkVideoDisplay" : "NetworkVideoTransmitter"));
    if (!ok)
      return false;
  }
  const std::vector<std::string> own = CameraScopes(camera);
  for (const std::string& want : probe.scopes) {
    const bool found = std::any_of(own.begin(), own.end(), [&](const std::string& s) {
      return s.rfind(want, 0) == 0 &&
             (s.size() == want.size() || s[want.size()] == '/' || want.back() == '/');
    });
    if (!found)
      return false;
  }
  return true;
}

std::string BuildProbeMatches(const WsdProbe& probe, const OnvifCamera& c,
                              uint64_t message_number) {
  const bool soap11 = c.misbehave.soap11;
  std::string xaddrs;
  if (c.misbehave.two_xaddrs) {
    // A link-local address without its zone: useless to a client, listed first all the same.
    unsigned mac[6] = {};
    std::sscanf(c.mac.c_str(), "%x:%x:%x:%x:%x:%x", &mac[0], &mac[1], &mac[2], &mac[3], &mac[4],
                &mac[5]);
    char v6[64];
    std::snprintf(v6, sizeof v6, "fe80::%x:%xff:fe%02x:%x", ((mac[0] ^ 2) << 8) | mac[1], mac[2],
                  mac[3], (mac[4] << 8) | mac[5]);
    xaddrs = std::string("http://[") + v6 + "]:80/onvif/device_service ";
  }
  const std::string port = ":" + std::to_string(c.http_port);
  xaddrs += "http://" + c.Ip() + port + "/onvif/device_service";
  std::string scopes;
  for (const std::string& s : CameraScopes(c))
    scopes += (scopes.empty() ? "" : " ") + s;
  const std::string header =
      "<wsa:MessageID>urn:uuid:" + NewUuid() + "</wsa:MessageID><wsa:RelatesTo>" +
      XmlEscape(probe.message_id) +
      "</wsa:RelatesTo><wsa:To>http://schemas.xmlsoap.org/ws/2004/08/addressing/role/anonymous"
      "</wsa:To><wsa:Action>http://schemas.xmlsoap.org/ws/2005/04/discovery/ProbeMatches"
      "</wsa:Action><d:AppSequence InstanceId=\"" +
      std::to_string(1 + c.reboots) + "\" MessageNumber=\"" + std::to_string(message_number) +
      "\"/>";
  const std::string body = "<d:ProbeMatches><d:ProbeMatch><wsa:EndpointReference><wsa:Address>" +
                           c.Address() + "</wsa:Address></wsa:EndpointReference><d:Types>" +
                           (c.display ? "dn:NetworkVideoDisplay" : "dn:NetworkVideoTransmitter") +
                           " tds:Device</d:Types><d:Scopes>" + XmlEscape(scopes) +
                           "</d:Scopes><d:XAddrs>" + XmlEscape(xaddrs) +
                           "</d:XAddrs><d:MetadataVersion>" + std::to_string(c.metadata_version) +
                           "</d:MetadataVersion></d:ProbeMatch></d:ProbeMatches>";
  // Only the namespaces a ProbeMatch uses: a plain answer stays within one Ethernet frame.
  return std::string(
             "<?xml version=\"1.0\" encoding=\"UTF-8\"?><SOAP-ENV:Envelope xmlns:SOAP-ENV=\"") +
         (soap11 ? kSoap11Ns : kSoap12Ns) +
         "\" xmlns:wsa=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\" xmlns:d=\"" + kWsdNs +
         "\" xmlns:dn=\"" + kOnvifNetworkNs + "\" xmlns:tds=\"" + kOnvifDeviceNs +
         "\"><SOAP-ENV:Header>" + header + "</SOAP-ENV:Header><SOAP-ENV:Body>" + body +
         "</SOAP-ENV:Body></SOAP-ENV:Envelope>";
}

WsdResponder::~WsdResponder() {
  if (fd_ >= 0)
    close(fd_);
}

bool WsdResponder::Open(std::string* error) {
  fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) {
    *error = std::string("WS-Discovery socket: ") + std::strerror(errno);
    return false;
  }
  const int one = 1;
  const int big = 4 * 1024 * 1024;
  setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  setsockopt(fd_, IPPROTO_IP, IP_PKTINFO, &one, sizeof one);
  setsockopt(fd_, SOL_SOCKET, SO_SNDBUFFORCE, &big, sizeof big);
  setsockopt(fd_, SOL_SOCKET, SO_RCVBUFFORCE, &big, sizeof big);
  sockaddr_in any{};
  any.sin_family = AF_INET;
  any.sin_port = htons(kWsdPort);
  if (bind(fd_, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0) {
    *error = std::string("bind WS-Discovery port 3702: ") + std::strerror(errno);
    return false;
  }
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) {
    *error = "getifaddrs failed";
    return false;
  }
  for (ifaddrs* a = list; a; a = a->ifa_next) {
    if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET || std::strcmp(a->ifa_name, "lo") == 0)
      continue;
    ip_mreqn join{};
    inet_pton(AF_INET, kWsdGroup, &join.imr_multiaddr);
    join.imr_ifindex = static_cast<int>(if_nametoindex(a->ifa_name));
    // An interface with several addresses is joined once; EADDRINUSE says it already is.
    setsockopt(fd_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &join, sizeof join);
  }
  freeifaddrs(list);
  return true;
}

std::optional<WsdResponder::Datagram> WsdResponder::Receive() {
  // Probes are small; 64 KiB takes any datagram whole and reports what it was.
  static char buf[65536];
  Datagram d;
  alignas(cmsghdr) char control[256];
  iovec iov{buf, sizeof buf};
  msghdr msg{};
  msg.msg_name = &d.from;
  msg.msg_namelen = sizeof d.from;
  msg.msg_iov = &iov;
  msg.msg_iovlen = 1;
  msg.msg_control = control;
  msg.msg_controllen = sizeof control;
  const ssize_t n = recvmsg(fd_, &msg, MSG_DONTWAIT);
  if (n < 0)
    return std::nullopt;
  for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
    if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
      in_pktinfo info{};
      std::memcpy(&info, CMSG_DATA(c), sizeof info);
      d.ifindex = info.ipi_ifindex;
      d.destination = ntohl(info.ipi_addr.s_addr);
    }
  }
  d.truncated = (msg.msg_flags & MSG_TRUNC) != 0;
  d.data.assign(buf, static_cast<std::size_t>(n));
  return d;
}

void WsdResponder::Enqueue(int64_t due_us, uint32_t source, const sockaddr_in& to,
                           std::string payload) {
  auto at = std::upper_bound(queue_.begin(), queue_.end(), due_us,
                             [](int64_t due, const Pending& p) { return due < p.due_us; });
  queue_.insert(at, Pending{due_us, source, to, std::move(payload)});
}

int64_t WsdResponder::Pump(int64_t now_us) {
  while (!queue_.empty() && queue_.front().due_us <= now_us) {
    Pending& p = queue_.front();
    // The answer leaves from the camera's own address, as a real camera's would.
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    iovec iov{p.payload.data(), p.payload.size()};
    msghdr msg{};
    msg.msg_name = &p.to;
    msg.msg_namelen = sizeof p.to;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    cmsghdr* c = CMSG_FIRSTHDR(&msg);
    c->cmsg_level = IPPROTO_IP;
    c->cmsg_type = IP_PKTINFO;
    c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_spec_dst.s_addr = htonl(p.source);
    std::memcpy(CMSG_DATA(c), &info, sizeof info);
    if (sendmsg(fd_, &msg, MSG_DONTWAIT) < 0) {
      if (errno == EAGAIN || errno == ENOBUFS)
        return 1000;  // the socket is full: try again in a moment
      ++errors_;
    } else {
      ++sent_;
    }
    queue_.pop_front();
  }
  return queue_.empty() ? -1 : queue_.front().due_us - now_us;
}

}  // namespace vdz::devsim
