// The ONVIF search worker on both lab adapters against a WS-Discovery responder of the test's
// own, which answers every Probe the way real sites do: a camera twice with an IPv6
// link-local XAddr first, a SOAP 1.1 camera, a PC's wsdd, and our own Probe sent back.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "onvif/wsd_socket.h"

namespace vdz::onvif {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr char kFirstAdapter[] = "192.168.1.100";
constexpr char kSecondAdapter[] = "10.0.0.20";
constexpr char kCamera[] = "urn:uuid:1ab7e570-0000-4000-8000-00000000000a";
constexpr char kCamera11[] = "urn:uuid:1ab7e570-0000-4000-8000-00000000000b";
constexpr char kPc[] = "urn:uuid:1ab7e570-0000-4000-8000-00000000000c";

std::string Between(const std::string& text, const std::string& open, const std::string& close) {
  const std::size_t start = text.find(open);
  if (start == std::string::npos)
    return {};
  const std::size_t end = text.find(close, start + open.size());
  return end == std::string::npos ? std::string()
                                  : text.substr(start + open.size(), end - start - open.size());
}

std::string Answer(bool soap11, const std::string& relates_to, const std::string& endpoint,
                   const std::string& types, const std::string& xaddrs) {
  return std::string(R"(<?xml version="1.0" encoding="UTF-8"?><e:Envelope xmlns:e=")") +
         (soap11 ? "http://schemas.xmlsoap.org/soap/envelope/"
                 : "http://www.w3.org/2003/05/soap-envelope") +
         R"(" xmlns:w="http://schemas.xmlsoap.org/ws/2004/08/addressing" xmlns:d="http://schemas.xmlsoap.org/ws/2005/04/discovery" xmlns:dn="http://www.onvif.org/ver10/network/wsdl" xmlns:wsdp="http://schemas.xmlsoap.org/ws/2006/02/devprof" xmlns:pub="http://schemas.microsoft.com/windows/pub/2005/07"><e:Header><w:MessageID>urn:uuid:1ab7e570-ffff-4000-8000-000000000000</w:MessageID><w:RelatesTo>)" +
         relates_to +
         R"(</w:RelatesTo><w:Action>http://schemas.xmlsoap.org/ws/2005/04/discovery/ProbeMatches</w:Action></e:Header><e:Body><d:ProbeMatches><d:ProbeMatch><w:EndpointReference><w:Address>)" +
         endpoint + "</w:Address></w:EndpointReference><d:Types>" + types +
         "</d:Types><d:Scopes>onvif://www.onvif.org/name/Lab%20Camera</d:Scopes><d:XAddrs>" +
         xaddrs +
         "</d:XAddrs><d:MetadataVersion>1</d:MetadataVersion></d:ProbeMatch></d:ProbeMatches>"
         "</e:Body></e:Envelope>";
}

// Listens on the WS-Discovery group on both adapters; a Probe leaving an adapter loops back
// to group members on the same host.
class Responder {
 public:
  Responder() {
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(kWsdPort);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    ok_ = bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
    for (const char* adapter : {kFirstAdapter, kSecondAdapter}) {
      ip_mreq group{};
      inet_pton(AF_INET, kWsdMulticastAddress, &group.imr_multiaddr);
      inet_pton(AF_INET, adapter, &group.imr_interface);
      ok_ = ok_ && setsockopt(fd_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &group, sizeof group) == 0;
    }
    thread_ = std::jthread([this](std::stop_token stop) { Run(stop); });
  }
  ~Responder() {
    thread_.request_stop();
    thread_.join();
    close(fd_);
  }
  bool ok() const { return ok_; }
  int probes() const { return probes_; }

 private:
  void Send(const std::string& text, const sockaddr_in& to) {
    sendto(fd_, text.data(), text.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  }
  void Run(const std::stop_token& stop) {
    char buffer[65536];
    while (!stop.stop_requested()) {
      pollfd entry{fd_, POLLIN, 0};
      if (poll(&entry, 1, 50) <= 0)
        continue;
      sockaddr_in from{};
      socklen_t length = sizeof from;
      const ssize_t n =
          recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
      if (n <= 0)
        continue;
      const std::string probe(buffer, static_cast<std::size_t>(n));
      if (probe.find("Probe>") == std::string::npos ||
          probe.find("ProbeMatches") != std::string::npos)
        continue;
      probes_ += 1;
      const std::string id = Between(probe, "MessageID>", "</");
      const std::string camera = Answer(false, id, kCamera, "dn:NetworkVideoTransmitter",
                                        "http://[fe80::2aa:ff:fe28:9c5a]/onvif/device_service "
                                        "http://172.31.9.9:8000/onvif/device_service");
      Send(camera, from);
      Send(camera, from);  // cameras repeat their answer
      Send(Answer(true, id, kCamera11, "dn:NetworkVideoTransmitter",
                  "http://172.31.9.10/onvif/device_service"),
           from);
      Send(Answer(false, id, kPc, "wsdp:Device pub:Computer", "http://172.31.9.11:5357/x"), from);
      Send(probe, from);  // our own Probe, as a reflecting switch would return it
    }
  }

  int fd_ = -1;
  bool ok_ = false;
  std::atomic<int> probes_{0};
  std::jthread thread_;
};

TEST(WsDiscoverySearchLab, OneEntryPerDeviceFromEveryAdapter) {
  Responder responder;
  ASSERT_TRUE(responder.ok());
  std::mutex mutex;
  std::map<std::string, int> reported;  // endpoint -> callbacks
  WsDiscoveryOptions options;
  options.adapters = {kFirstAdapter, kSecondAdapter};
  WsDiscoverySearch search(options, [&](const OnvifDeviceEntry& entry) {
    std::lock_guard lock(mutex);
    reported[entry.endpoint] += 1;
  });
  const auto start = Clock::now();
  ASSERT_TRUE(search.Start());
  EXPECT_EQ(search.open_socket_count(), 2);
  // Three Probes per adapter leave over the first 2.5 s; wait a little past the last.
  std::this_thread::sleep_for(milliseconds(2400));
  const WsDiscoveryStats stats = search.Stats();
  const auto stop_start = Clock::now();
  search.Stop();
  const auto stop_took = Clock::now() - stop_start;
  EXPECT_FALSE(search.running());
  EXPECT_LT(stop_took, milliseconds(500));
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(4));

  EXPECT_EQ(stats.probes_sent, 6);
  EXPECT_EQ(responder.probes(), 6);
  EXPECT_GE(stats.own_echoes, 6);
  EXPECT_GE(stats.not_video, 6);
  std::map<std::string, OnvifDeviceEntry> ours;
  for (const OnvifDeviceEntry& e : search.Entries()) {
    if (e.endpoint.rfind("urn:uuid:1ab7e570-", 0) == 0)
      ours.emplace(e.endpoint, e);
  }
  ASSERT_EQ(ours.size(), 2u);
  ASSERT_EQ(ours.count(kCamera), 1u);
  const OnvifDeviceEntry& camera = ours.at(kCamera);
  // Two answers per Probe on each adapter, all merged.
  EXPECT_EQ(camera.answers, 12);
  // The XAddr host is not the answering address: the answering address with its port and path.
  EXPECT_EQ(camera.device_url, "http://" + camera.address + ":8000/onvif/device_service");
  EXPECT_TRUE(camera.address == kFirstAdapter || camera.address == kSecondAdapter)
      << camera.address;
  EXPECT_EQ(camera.name, "Lab Camera");
  EXPECT_TRUE(ours.at(kCamera11).soap11);
  EXPECT_EQ(ours.count(kPc), 0u);
  std::lock_guard lock(mutex);
  EXPECT_EQ(reported.count(kPc), 0u);
  EXPECT_GE(reported[kCamera], 1);
}

}  // namespace
}  // namespace vdz::onvif
