// The simulated ONVIF cameras' WS-Discovery side seen from the workstation namespace, with a
// plain UDP socket and hand-written Probes: who answers which Probe, and how each
// misbehaving camera's ProbeMatches look on the wire.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <tinyxml2.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "lab/onvif_lab_support.h"

namespace vdz::lab {
namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kWorkstation = "192.168.1.100";
constexpr const char* kGroup = "239.255.255.250";

struct Match {
  std::string from;
  std::size_t bytes = 0;
  std::string envelope_ns;
  std::string relates_to;
  std::string address;  // EndpointReference
  std::string xaddrs;
};

std::string Local(const char* name) {
  const std::string n = name;
  return n.substr(n.find(':') + 1);
}

const tinyxml2::XMLElement* Find(const tinyxml2::XMLElement* e, const std::string& local) {
  for (; e; e = e->NextSiblingElement()) {
    if (Local(e->Name()) == local)
      return e;
    if (const tinyxml2::XMLElement* inner = Find(e->FirstChildElement(), local))
      return inner;
  }
  return nullptr;
}

std::string TextOf(const tinyxml2::XMLElement* root, const std::string& local) {
  const tinyxml2::XMLElement* e = Find(root, local);
  return e && e->GetText() ? e->GetText() : "";
}

// Sends one Probe (types may be empty: no Types element) and collects the answers that
// arrive within `listen_ms`.
std::vector<Match> Probe(const std::string& types, const std::string& message_id,
                         const char* to = kGroup, int listen_ms = 1200) {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  inet_pton(AF_INET, kWorkstation, &local.sin_addr);
  bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
  in_addr out_if{};
  inet_pton(AF_INET, kWorkstation, &out_if);
  setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &out_if, sizeof out_if);
  const std::string probe =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><e:Envelope "
      "xmlns:e=\"http://www.w3.org/2003/05/soap-envelope\" "
      "xmlns:w=\"http://schemas.xmlsoap.org/ws/2004/08/addressing\" "
      "xmlns:d=\"http://schemas.xmlsoap.org/ws/2005/04/discovery\" "
      "xmlns:dn=\"http://www.onvif.org/ver10/network/wsdl\" "
      "xmlns:tds=\"http://www.onvif.org/ver10/device/wsdl\" "
      "xmlns:wsdp=\"http://schemas.xmlsoap.org/ws/2006/02/devprof\"><e:Header><w:MessageID>" +
      message_id +
      "</w:MessageID><w:To>urn:schemas-xmlsoap-org:ws:2005:04:discovery</w:To><w:Action>"
      "http://schemas.xmlsoap.org/ws/2005/04/discovery/Probe</w:Action></e:Header><e:Body>"
      "<d:Probe>" +
      (types.empty() ? "" : "<d:Types>" + types + "</d:Types>") +
      "</d:Probe></e:Body></e:Envelope>";
  sockaddr_in dst{};
  dst.sin_family = AF_INET;
  dst.sin_port = htons(3702);
  inet_pton(AF_INET, to, &dst.sin_addr);
  sendto(fd, probe.data(), probe.size(), 0, reinterpret_cast<sockaddr*>(&dst), sizeof dst);
  std::vector<Match> out;
  const auto end = Clock::now() + std::chrono::milliseconds(listen_ms);
  static char buf[65536];
  while (Clock::now() < end) {
    pollfd p{fd, POLLIN, 0};
    const int wait = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count());
    if (poll(&p, 1, std::max(wait, 0)) <= 0)
      continue;
    sockaddr_in from{};
    socklen_t len = sizeof from;
    const ssize_t n = recvfrom(fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
    if (n <= 0)
      continue;
    Match m;
    char ip[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &from.sin_addr, ip, sizeof ip);
    m.from = ip;
    m.bytes = static_cast<std::size_t>(n);
    tinyxml2::XMLDocument doc;
    if (doc.Parse(buf, m.bytes) == tinyxml2::XML_SUCCESS && doc.RootElement()) {
      const tinyxml2::XMLElement* root = doc.RootElement();
      const std::string prefix =
          std::string(root->Name()).substr(0, std::string(root->Name()).find(':'));
      const char* ns = root->Attribute(("xmlns:" + prefix).c_str());
      m.envelope_ns = ns ? ns : "";
      m.relates_to = TextOf(root, "RelatesTo");
      m.address = TextOf(root, "Address");
      m.xaddrs = TextOf(root, "XAddrs");
    }
    out.push_back(m);
  }
  close(fd);
  return out;
}

TEST(OnvifDiscovery, TypedProbeGetsOneMatchPerCameraShapedByItsMisbehaviour) {
  const DevsimControl sim = DevsimControl::FromEnvironment();
  const auto cameras = OnvifCameras(sim);
  ASSERT_GE(cameras.size(), 10u);
  const std::string id = "urn:uuid:6d3a8e0c-1c2b-4f7e-9a55-0c1d2e3f4a5b";
  const std::vector<Match> matches = Probe("dn:NetworkVideoTransmitter", id);
  std::map<std::string, std::vector<Match>> by_address;
  for (const Match& m : matches) {
    EXPECT_EQ(m.relates_to, id) << m.from;
    by_address[m.address].push_back(m);
  }
  ASSERT_EQ(by_address.size(), cameras.size());
  for (auto c : cameras) {
    SCOPED_TRACE(c["serial"] + " " + c["misbehave"]);
    const std::vector<Match>& got = by_address[c["uuid"]];
    ASSERT_EQ(got.size(), c["misbehave"] == "duplicate" ? 2u : 1u);
    const Match& m = got.front();
    EXPECT_EQ(m.from, c["ip"]) << "answers leave from the camera's own address";
    EXPECT_EQ(m.envelope_ns, c["misbehave"] == "soap11"
                                 ? "http://schemas.xmlsoap.org/soap/envelope/"
                                 : "http://www.w3.org/2003/05/soap-envelope");
    if (c["misbehave"] == "big-match") {
      EXPECT_GT(m.bytes, 1500u);
    } else {
      EXPECT_LE(m.bytes, 1500u);
    }
    const std::string own = "http://" + c["ip"] + ":80/onvif/device_service";
    if (c["misbehave"] == "two-xaddrs") {
      EXPECT_EQ(m.xaddrs.rfind("http://[fe80::", 0), 0u) << m.xaddrs;
      EXPECT_EQ(m.xaddrs.substr(m.xaddrs.find(' ') + 1), own);
    } else {
      EXPECT_EQ(m.xaddrs, own);
    }
  }
}

TEST(OnvifDiscovery, WhoAnswersWhichProbe) {
  const DevsimControl sim = DevsimControl::FromEnvironment();
  const auto cameras = OnvifCameras(sim);
  const auto plain = CameraWith(sim, "none");
  struct Case {
    const char* types;
    const char* to;
    std::size_t answering;  // distinct cameras
  };
  const Case cases[] = {
      {"tds:Device", kGroup, cameras.size()},
      {"dn:NetworkVideoTransmitter tds:Device", kGroup, cameras.size()},
      {"", kGroup, cameras.size() - 1},  // all but the no-typeless camera
      {"dn:NetworkVideoDisplay", kGroup, 0},
      {"wsdp:Device", kGroup, 0},  // another protocol's device, as a file server announces it
      {"dn:NetworkVideoTransmitter", plain.at("ip").c_str(), 1},  // sent to one address
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.types) + " to " + c.to);
    std::map<std::string, int> seen;
    for (const Match& m :
         Probe(c.types, "urn:uuid:00000000-0000-4000-8000-00000000000" + std::to_string(++n), c.to))
      ++seen[m.address];
    EXPECT_EQ(seen.size(), c.answering);
    if (std::string(c.types).empty()) {
      EXPECT_EQ(seen.count(CameraWith(sim, "no-typeless")["uuid"]), 0u);
    }
    if (c.to != std::string(kGroup)) {
      EXPECT_EQ(seen.count(plain.at("uuid")), 1u);
    }
  }
  int probes = 0;
  for (const DevsimRequest& r : sim.RequestLog()) {
    if (r.action == "Probe" && r.result.rfind("answered:", 0) == 0)
      ++probes;
  }
  EXPECT_GE(probes, static_cast<int>(std::size(cases)));
}

}  // namespace
}  // namespace vdz::lab
