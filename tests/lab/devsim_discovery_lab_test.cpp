// The simulator's discovery side seen from the workstation namespace, with plain sockets
// and hand-written requests only.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <tinyxml2.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "lab/devsim_control.h"

namespace vdz::lab {
namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kWorkstation = "192.168.1.100";
constexpr const char* kSecondAdapter = "10.0.0.20";

std::string Request(int code, const std::string& body = "") {
  std::string t =
      "<?xml version=\"1.0\" encoding=\"GB2312\" ?>\n<XML_VORTAN>\n<MESSAGE_HEADER\n"
      "Msg_type=\"SYSTEM_SEARCHIPC_MESSAGE\"\nMsg_code=\"" +
      std::to_string(code) + "\"\nMsg_flag=\"0\"\n/>\n<MESSAGE_BODY>\n";
  if (!body.empty())
    t += body + "\n";
  return t + "</MESSAGE_BODY>\n</XML_VORTAN>";
}

std::string LanBody(const std::string& sn, const std::string& mac, const std::string& ip,
                    const std::string& mask, const std::string& gw, const std::string& dns1,
                    const std::string& dns2) {
  return "<IPC_SERIALNUMBER\r\nSerialNumber=\"" + sn + "\"\r\n/>\r\n<LANConfig\r\nMacAddress=\"" +
         mac + "\"\r\nDHCP=\"0\"\r\nIPAddress=\"" + ip + "\"\r\nNetmask=\"" + mask +
         "\"\r\nGateway=\"" + gw + "\"\r\nDNS1=\"" + dns1 + "\"\r\nDNS2=\"" + dns2 + "\"\r\n/>\r\n";
}

std::string SerialBody(const std::string& sn) {
  return "<IPC_SERIALNUMBER SerialNumber=\"" + sn + "\" />\r\n";
}

struct Datagram {
  std::string source;
  int port = 0;
  std::string text;
  double ms_after_send = 0;
};

// Text of attribute `attr` in the first element `element`, by plain search.
std::string Attr(const std::string& text, const std::string& element, const std::string& attr) {
  const std::size_t at = text.find("<" + element + " ");
  if (at == std::string::npos)
    return "";
  const std::size_t end = text.find("/>", at);
  const std::size_t a = text.find(" " + attr + "=\"", at);
  if (a == std::string::npos || a > end)
    return "";
  const std::size_t v = a + attr.size() + 3;
  const std::size_t q = text.find('"', v);
  return q == std::string::npos ? "" : text.substr(v, q - v);
}

class SearchSocket {
 public:
  explicit SearchSocket(const char* local) {
    fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    const int rcvbuf = 131072;  // what the application asks for
    setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
    setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &rcvbuf, sizeof rcvbuf);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    inet_pton(AF_INET, local, &a.sin_addr);
    ok_ = bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    socklen_t len = sizeof a;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
  }
  ~SearchSocket() { close(fd_); }
  SearchSocket(const SearchSocket&) = delete;
  SearchSocket& operator=(const SearchSocket&) = delete;

  bool ok() const { return ok_; }
  int port() const { return port_; }

  bool Send(const std::string& text, const char* to = "255.255.255.255") {
    sockaddr_in d{};
    d.sin_family = AF_INET;
    d.sin_port = htons(3001);
    inet_pton(AF_INET, to, &d.sin_addr);
    sent_ = Clock::now();
    return sendto(fd_, text.data(), text.size(), 0, reinterpret_cast<sockaddr*>(&d), sizeof d) ==
           static_cast<ssize_t>(text.size());
  }

  // Collects datagrams until `expect` arrived and then `quiet_ms` passed without another,
  // or `limit_ms` after the send at the latest.
  std::vector<Datagram> Collect(std::size_t expect, int quiet_ms = 300, int limit_ms = 4000) {
    std::vector<Datagram> out;
    static char buf[65536];
    const auto limit = sent_ + std::chrono::milliseconds(limit_ms);
    auto last = Clock::now();
    for (;;) {
      const auto now = Clock::now();
      if (now >= limit)
        break;
      if (out.size() >= expect && now - last >= std::chrono::milliseconds(quiet_ms))
        break;
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 20) <= 0)
        continue;
      sockaddr_in from{};
      socklen_t len = sizeof from;
      const ssize_t n = recvfrom(fd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
      if (n < 0)
        continue;
      last = Clock::now();
      char ip[INET_ADDRSTRLEN] = {};
      inet_ntop(AF_INET, &from.sin_addr, ip, sizeof ip);
      out.push_back({ip, ntohs(from.sin_port), std::string(buf, static_cast<std::size_t>(n)),
                     std::chrono::duration<double, std::milli>(last - sent_).count()});
    }
    return out;
  }

 private:
  int fd_ = -1;
  int port_ = 0;
  bool ok_ = false;
  Clock::time_point sent_ = Clock::now();
};

std::vector<Datagram> FromSerial(const std::vector<Datagram>& all, const std::string& sn) {
  std::vector<Datagram> out;
  for (const Datagram& d : all) {
    if (Attr(d.text, "IPC_SERIALNUMBER", "SerialNumber") == sn)
      out.push_back(d);
  }
  return out;
}

bool WellFormed(const std::string& text) {
  tinyxml2::XMLDocument doc;
  return doc.Parse(text.data(), text.size()) == tinyxml2::XML_SUCCESS;
}

class DevsimLab : public testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(control_.Send("reset all", nullptr, &error)) << error;
    ASSERT_TRUE(control_.ClearRequestLog());
    devices_ = control_.Devices();
    ASSERT_FALSE(devices_.empty());
    for (const DevsimDevice& d : devices_)
      by_segment_[d.iface].push_back(d);
  }
  void TearDown() override { control_.Send("reset all"); }

  const std::vector<DevsimDevice>& Segment0() { return by_segment_["br0"]; }

  DevsimControl control_ = DevsimControl::FromEnvironment();
  std::vector<DevsimDevice> devices_;
  std::map<std::string, std::vector<DevsimDevice>> by_segment_;
};

TEST_F(DevsimLab, EveryDeviceOfTheSegmentAnswersOnceFromItsOwnAddress) {
  struct Case {
    const char* local;
    const char* segment;
  };
  const bool two =
      std::getenv("VDZ_LAB_ADAPTERS") && std::string(std::getenv("VDZ_LAB_ADAPTERS")) == "2";
  std::vector<Case> cases = {{kWorkstation, "br0"}, {"0.0.0.0", "br0"}};
  if (two)
    cases.push_back({kSecondAdapter, "br1"});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.local);
    const std::vector<DevsimDevice>& expected = by_segment_[c.segment];
    ASSERT_FALSE(expected.empty());
    SearchSocket s(c.local);
    ASSERT_TRUE(s.ok());
    ASSERT_TRUE(s.Send(Request(1)));
    const std::vector<Datagram> got = s.Collect(expected.size());
    ASSERT_EQ(got.size(), expected.size());
    std::set<std::string> serials;
    for (const Datagram& d : got) {
      const std::string sn = Attr(d.text, "IPC_SERIALNUMBER", "SerialNumber");
      serials.insert(sn);
      EXPECT_EQ(d.port, 3001);
      EXPECT_EQ(Attr(d.text, "LANConfig", "IPAddress"), d.source) << sn;
      EXPECT_NE(d.text.find("Msg_code=\"3\""), std::string::npos);
      EXPECT_TRUE(WellFormed(d.text)) << sn;
      EXPECT_GT(d.text.size(), 1500u);
      EXPECT_LT(d.text.size(), 5120u);
      bool known = false;
      for (const DevsimDevice& e : expected) {
        if (e.serial != sn)
          continue;
        known = true;
        EXPECT_EQ(e.ip, d.source);
        EXPECT_EQ(Attr(d.text, "LANConfig", "MacAddress"), e.mac);
        EXPECT_EQ(Attr(d.text, "DEVICE_TYPE", "DeviceType"), e.type);
        EXPECT_EQ(Attr(d.text, "StreamAccess", "PTZPort"), std::to_string(e.ptz_port));
        EXPECT_NE(d.text.find("<" + e.root + ">"), std::string::npos);
        EXPECT_NE(d.text.find("</" + e.root + ">"), std::string::npos);
      }
      EXPECT_TRUE(known) << sn << " is not on segment " << c.segment;
    }
    EXPECT_EQ(serials.size(), expected.size());
  }
}

TEST_F(DevsimLab, RequestLogNamesSourceInterfaceAndCode) {
  SearchSocket s(kWorkstation);
  ASSERT_TRUE(s.Send(Request(1)));
  s.Collect(Segment0().size());
  SearchSocket t(kWorkstation);
  ASSERT_TRUE(t.Send(Request(7, SerialBody("NO-SUCH-SERIAL"))));
  ASSERT_TRUE(t.Send("not xml at all"));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const std::vector<DevsimRequest> log = control_.RequestLog();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].source_ip, kWorkstation);
  EXPECT_EQ(log[0].source_port, s.port());
  EXPECT_EQ(log[0].iface, "br0");
  EXPECT_EQ(log[0].destination, "255.255.255.255");
  EXPECT_EQ(log[0].code, 1);
  EXPECT_EQ(log[0].serial, "");
  EXPECT_EQ(log[0].result, "answered:" + std::to_string(Segment0().size()));
  EXPECT_EQ(log[1].source_port, t.port());
  EXPECT_EQ(log[1].code, 7);
  EXPECT_EQ(log[1].serial, "NO-SUCH-SERIAL");
  EXPECT_EQ(log[1].result, "ignored:no-such-device");
  EXPECT_EQ(log[2].code, -1);
  EXPECT_EQ(log[2].result, "ignored:bad-xml");
  EXPECT_LT(log[0].seq, log[1].seq);
}

TEST_F(DevsimLab, SetParametersMovesTheDeviceAndRestoreBringsItBack) {
  const DevsimDevice dev = Segment0().front();
  std::set<std::string> used;
  for (const DevsimDevice& d : devices_)
    used.insert(d.ip);
  std::string new_ip;
  for (int h = 240; h > 2 && new_ip.empty(); --h) {
    const std::string c = "192.168.1." + std::to_string(h);
    if (!used.count(c))
      new_ip = c;
  }
  SearchSocket s(kWorkstation);
  ASSERT_TRUE(s.Send(Request(2, LanBody(dev.serial, dev.mac, new_ip, "255.255.0.0", "192.168.1.254",
                                        "192.168.1.253", "192.168.1.252"))));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const std::optional<DevsimDevice> moved = control_.Device(dev.serial);
  ASSERT_TRUE(moved);
  EXPECT_EQ(moved->ip, new_ip);
  EXPECT_EQ(moved->mask, "255.255.0.0");
  EXPECT_EQ(moved->factory_ip, dev.ip);

  ASSERT_TRUE(s.Send(Request(1)));
  std::vector<Datagram> got = s.Collect(Segment0().size());
  ASSERT_EQ(got.size(), Segment0().size());
  std::vector<Datagram> mine = FromSerial(got, dev.serial);
  ASSERT_EQ(mine.size(), 1u);
  EXPECT_EQ(mine[0].source, new_ip);
  EXPECT_EQ(Attr(mine[0].text, "LANConfig", "IPAddress"), new_ip);
  EXPECT_EQ(Attr(mine[0].text, "LANConfig", "Netmask"), "255.255.0.0");
  EXPECT_EQ(Attr(mine[0].text, "LANConfig", "Gateway"), "192.168.1.254");
  EXPECT_EQ(Attr(mine[0].text, "LANConfig", "DNS1"), "192.168.1.253");
  EXPECT_EQ(Attr(mine[0].text, "LANConfig", "DNS2"), "192.168.1.252");
  for (const Datagram& d : got)
    EXPECT_NE(d.source, dev.ip);

  // A move onto another device's address is refused and changes nothing.
  const DevsimDevice other = Segment0().back();
  ASSERT_TRUE(s.Send(Request(2, LanBody(dev.serial, dev.mac, other.ip, "255.255.255.0",
                                        "192.168.1.1", "192.168.1.1", ""))));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(control_.Device(dev.serial)->ip, new_ip);
  EXPECT_EQ(control_.RequestLog().back().result, "refused:address-in-use");

  ASSERT_TRUE(s.Send(Request(5, SerialBody(dev.serial))));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(control_.Device(dev.serial)->ip, dev.ip);
  ASSERT_TRUE(s.Send(Request(1)));
  got = s.Collect(Segment0().size());
  mine = FromSerial(got, dev.serial);
  ASSERT_EQ(mine.size(), 1u);
  EXPECT_EQ(mine[0].source, dev.ip);
  EXPECT_EQ(Attr(mine[0].text, "LANConfig", "Netmask"), dev.mask);
}

TEST_F(DevsimLab, PlatformIdentityIsStoredAndReported) {
  const DevsimDevice dev = Segment0()[1];
  SearchSocket s(kWorkstation);
  const std::string body = SerialBody(dev.serial) +
                           "<RK_CONFIG>\n<SYSTEM DEVICETYPE=\"3\" EXTNUMBER=\"2101\" "
                           "MAINNUMBER=\"8001\" EXTNAME=\"GATE-A\" ADDRESSBOXIP=\"192.168.1.1\" "
                           "NOTES=\"a note that is far longer than thirty-one bytes\" "
                           "MANAGECENTER=\"192.168.1.1\" />\n</RK_CONFIG>";
  ASSERT_TRUE(s.Send(Request(2, body)));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_TRUE(s.Send(Request(1)));
  const std::vector<Datagram> mine = FromSerial(s.Collect(Segment0().size()), dev.serial);
  ASSERT_EQ(mine.size(), 1u);
  EXPECT_EQ(Attr(mine[0].text, "SYSTEM", "DEVICETYPE"), "3");
  EXPECT_EQ(Attr(mine[0].text, "SYSTEM", "EXTNUMBER"), "2101");
  EXPECT_EQ(Attr(mine[0].text, "SYSTEM", "EXTNAME"), "GATE-A");
  EXPECT_EQ(Attr(mine[0].text, "SYSTEM", "NOTES"),
            std::string("a note that is far longer than thirty-one bytes").substr(0, 31));
  EXPECT_EQ(mine[0].source, dev.ip);  // the address is untouched by an RK_CONFIG request
}

TEST_F(DevsimLab, RebootSilencesTheDeviceThenItAnswersWithItsRunningTimeReset) {
  ASSERT_TRUE(control_.Send("config reboot-silence=1.5"));
  const DevsimDevice dev = Segment0()[2];
  ASSERT_GT(dev.runtime, 60);
  SearchSocket s(kWorkstation);
  ASSERT_TRUE(s.Send(Request(7, SerialBody(dev.serial))));
  const auto rebooted = Clock::now();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(control_.Device(dev.serial)->state, "rebooting");

  ASSERT_TRUE(s.Send(Request(1)));
  std::vector<Datagram> got = s.Collect(Segment0().size() - 1);
  EXPECT_EQ(got.size(), Segment0().size() - 1);
  EXPECT_TRUE(FromSerial(got, dev.serial).empty());
  EXPECT_NE(control_.RequestLog().back().result.find("rebooting:1"), std::string::npos);

  std::this_thread::sleep_until(rebooted + std::chrono::milliseconds(1700));
  ASSERT_TRUE(s.Send(Request(1)));
  got = s.Collect(Segment0().size());
  const std::vector<Datagram> mine = FromSerial(got, dev.serial);
  ASSERT_EQ(mine.size(), 1u);
  const long long runtime = std::atoll(Attr(mine[0].text, "IPC_SERIALNUMBER", "runtime").c_str());
  EXPECT_LT(runtime, 10);
  EXPECT_LT(runtime, dev.runtime);
}

TEST_F(DevsimLab, MisbehavingDevicesDeliverWhatTheyPromise) {
  const DevsimDevice dev = Segment0()[3];
  struct Case {
    const char* mode;
    std::size_t datagrams_from_device_address;
    std::size_t answers_naming_device;
  };
  const Case cases[] = {
      {"drop=1", 0, 0}, {"twice", 2, 2},    {"wrong-addr", 0, 1},   {"malformed", 1, 1},
      {"noroot", 1, 1}, {"oversize", 1, 1}, {"wrong-code=4", 1, 1}, {"delay=300", 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    ASSERT_TRUE(control_.Send("reset all"));
    ASSERT_TRUE(control_.Send("misbehave " + dev.serial + " " + c.mode));
    SearchSocket s(kWorkstation);
    ASSERT_TRUE(s.Send(Request(1)));
    const std::vector<Datagram> got = s.Collect(Segment0().size() - 1 + c.answers_naming_device);
    std::vector<Datagram> from_device;
    for (const Datagram& d : got) {
      if (d.source == dev.ip)
        from_device.push_back(d);
    }
    EXPECT_EQ(from_device.size(), c.datagrams_from_device_address);
    const std::vector<Datagram> mine = FromSerial(got, dev.serial);
    EXPECT_EQ(mine.size(), c.answers_naming_device);
    const std::string mode = c.mode;
    if (mode == "drop=1") {
      EXPECT_NE(control_.RequestLog().back().result.find("dropped:1"), std::string::npos);
    } else if (mode == "wrong-addr") {
      ASSERT_EQ(mine.size(), 1u);
      EXPECT_NE(mine[0].source, dev.ip);
      EXPECT_EQ(Attr(mine[0].text, "LANConfig", "IPAddress"), dev.ip);
    } else if (mode == "malformed") {
      ASSERT_EQ(mine.size(), 1u);
      EXPECT_NE(mine[0].text.find("<" + dev.root + ">"), std::string::npos);
      EXPECT_NE(mine[0].text.find("</" + dev.root + ">"), std::string::npos);
      EXPECT_FALSE(WellFormed(mine[0].text));
    } else if (mode == "noroot") {
      ASSERT_EQ(mine.size(), 1u);
      EXPECT_EQ(mine[0].text.find("XML_VORTAN"), std::string::npos);
      EXPECT_EQ(mine[0].text.find("XML_LUMERIANT"), std::string::npos);
      EXPECT_NE(mine[0].text.find("<MESSAGE_HEADER"), std::string::npos);
    } else if (mode == "oversize") {
      ASSERT_EQ(mine.size(), 1u);
      EXPECT_EQ(mine[0].text.size(), 6000u);
      EXPECT_TRUE(WellFormed(mine[0].text));
    } else if (mode == "wrong-code=4") {
      ASSERT_EQ(mine.size(), 1u);
      EXPECT_NE(mine[0].text.find("Msg_code=\"4\""), std::string::npos);
    } else if (mode == "delay=300") {
      ASSERT_EQ(mine.size(), 1u);
      EXPECT_GE(mine[0].ms_after_send, 290.0);
    } else if (mode == "twice") {
      ASSERT_EQ(mine.size(), 2u);
      EXPECT_EQ(mine[0].text.substr(0, 200), mine[1].text.substr(0, 200));
    }
    for (const Datagram& d : got) {
      if (Attr(d.text, "IPC_SERIALNUMBER", "SerialNumber") != dev.serial) {
        EXPECT_EQ(Attr(d.text, "LANConfig", "IPAddress"), d.source);
      }
    }
  }
}

TEST_F(DevsimLab, ARequestToOneDeviceAddressIsAnsweredByThatDeviceOnly) {
  const DevsimDevice dev = Segment0().back();
  SearchSocket s(kWorkstation);
  ASSERT_TRUE(s.Send(Request(1), dev.ip.c_str()));
  const std::vector<Datagram> got = s.Collect(1);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].source, dev.ip);
  EXPECT_EQ(Attr(got[0].text, "IPC_SERIALNUMBER", "SerialNumber"), dev.serial);
}

// True when an ICMP echo to ip is answered by ip within about half a second.
bool Pings(const std::string& ip) {
  const int fd = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (fd < 0)
    return false;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  inet_pton(AF_INET, ip.c_str(), &to.sin_addr);
  bool answered = false;
  for (int attempt = 0; attempt < 3 && !answered; ++attempt) {
    unsigned char pkt[12] = {8, 0, 0, 0, 0x12, 0x34, 0, static_cast<unsigned char>(attempt)};
    uint32_t sum = 0;
    for (int i = 0; i < 12; i += 2)
      sum += static_cast<uint32_t>(pkt[i] << 8 | pkt[i + 1]);
    while (sum >> 16)
      sum = (sum & 0xffff) + (sum >> 16);
    pkt[2] = static_cast<unsigned char>(~sum >> 8);
    pkt[3] = static_cast<unsigned char>(~sum);
    sendto(fd, pkt, sizeof pkt, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    const auto end = Clock::now() + std::chrono::milliseconds(200);
    while (Clock::now() < end && !answered) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 20) <= 0)
        continue;
      unsigned char buf[256];
      sockaddr_in from{};
      socklen_t len = sizeof from;
      const ssize_t n = recvfrom(fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
      const std::size_t hl = n > 0 ? (buf[0] & 0x0fu) * 4u : 0;
      if (n > 0 && static_cast<std::size_t>(n) >= hl + 8 &&
          from.sin_addr.s_addr == to.sin_addr.s_addr && buf[hl] == 0) {
        answered = true;
      }
    }
  }
  close(fd);
  return answered;
}

TEST_F(DevsimLab, OnlyHeldAddressesAnswerPing) {
  const DevsimDevice dev = Segment0().front();
  EXPECT_TRUE(Pings(dev.ip));
  EXPECT_TRUE(Pings("192.168.1.1"));
  std::set<std::string> used;
  for (const DevsimDevice& d : devices_)
    used.insert(d.ip);
  std::string free_ip;
  for (int h = 200; h < 250 && free_ip.empty(); ++h) {
    const std::string c = "192.168.1." + std::to_string(h);
    if (!used.count(c))
      free_ip = c;
  }
  EXPECT_FALSE(Pings(free_ip));
  ASSERT_TRUE(control_.Send("host add " + free_ip));
  EXPECT_TRUE(Pings(free_ip));
  ASSERT_TRUE(control_.Send("host del " + free_ip));
  EXPECT_FALSE(Pings(free_ip));
}

TEST_F(DevsimLab, ControlRefusesWhatItCannotDo) {
  std::string error;
  EXPECT_FALSE(control_.Send("get NO-SUCH-SERIAL", nullptr, &error));
  EXPECT_NE(error.find("no device"), std::string::npos);
  EXPECT_FALSE(control_.Send("misbehave all dance", nullptr, &error));
  EXPECT_FALSE(control_.Send("add sn=X ip=192.168.1.100", nullptr, &error));  // the workstation
  EXPECT_FALSE(
      control_.Send("add sn=" + devices_.front().serial + " ip=192.168.1.222", nullptr, &error));
  EXPECT_FALSE(control_.Send("frobnicate", nullptr, &error));
  EXPECT_EQ(control_.Devices().size(), devices_.size());
}

TEST_F(DevsimLab, AThousandDevicesAllReachA128KiBReceiveBuffer) {
  std::string error;
  std::vector<std::string> lines;
  ASSERT_TRUE(control_.Send("site devices=1000 first-ip=192.168.1.10", &lines, &error)) << error;
  SearchSocket s(kWorkstation);
  ASSERT_TRUE(s.Send(Request(1)));
  const std::vector<Datagram> got = s.Collect(1000, 300, 10000);
  std::set<std::string> serials;
  for (const Datagram& d : got)
    serials.insert(Attr(d.text, "IPC_SERIALNUMBER", "SerialNumber"));
  EXPECT_EQ(got.size(), 1000u);
  EXPECT_EQ(serials.size(), 1000u);
  if (!got.empty()) {
    std::printf("1000 devices: first answer after %.1f ms, last after %.1f ms\n",
                got.front().ms_after_send, got.back().ms_after_send);
  }
  ASSERT_TRUE(control_.Send("site initial", nullptr, &error)) << error;
  EXPECT_EQ(control_.Devices().size(), devices_.size());
}

}  // namespace
}  // namespace vdz::lab
