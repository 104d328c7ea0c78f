#include "discovery/address_probe.h"

#include <gtest/gtest.h>

#include <cstring>

#include "readdress_fakes.h"
#include "shell/bounded_text.h"
#include "support/log_capture.h"

namespace vdz {
namespace {

using test::AddDevice;
using test::Net;

TEST(EchoPacketTest, RequestLayoutAndChecksum) {
  const auto packet = BuildEchoRequest(3, 0x01020304u);
  EXPECT_EQ(packet[0], 8);
  EXPECT_EQ(packet[1], 0);
  uint16_t id = 0, seq = 0;
  uint32_t tick = 0;
  std::memcpy(&id, &packet[4], 2);
  std::memcpy(&seq, &packet[6], 2);
  std::memcpy(&tick, &packet[8], 4);
  EXPECT_EQ(id, 3);
  EXPECT_EQ(seq, 3);
  EXPECT_EQ(tick, 0x01020304u);
  // A correct checksum makes the sum over the whole message come out as zero.
  EXPECT_EQ(InternetChecksum(packet.data(), packet.size()), 0);
  EXPECT_NE(BuildEchoRequest(4, 0x01020304u), packet);
  // RFC 1071's worked example: 0001 f203 f4f5 f6f7 sums to ddf2, complement 220d.
  const uint8_t example[] = {0x00, 0x01, 0xf2, 0x03, 0xf4, 0xf5, 0xf6, 0xf7};
  const uint16_t sum = InternetChecksum(example, sizeof example);
  const auto* b = reinterpret_cast<const uint8_t*>(&sum);
  EXPECT_EQ(b[0], 0x22);
  EXPECT_EQ(b[1], 0x0d);
  const uint8_t odd[] = {0xFF};
  EXPECT_EQ(InternetChecksum(odd, 1), static_cast<uint16_t>(~0x00FFu));
}

std::vector<uint8_t> RawPacket(const char* source, uint8_t icmp_type, std::size_t icmp_length,
                               int header_words = 5) {
  std::vector<uint8_t> p(static_cast<std::size_t>(header_words) * 4 + icmp_length, 0);
  p[0] = static_cast<uint8_t>(0x40 | header_words);
  const uint32_t s = Net(source);
  std::memcpy(&p[12], &s, 4);
  if (icmp_length > 0)
    p[static_cast<std::size_t>(header_words) * 4] = icmp_type;
  return p;
}

TEST(EchoPacketTest, ClassifiesRawAndPingSocketPackets) {
  const uint32_t dest = Net("192.168.1.20");
  struct Case {
    std::vector<uint8_t> packet;
    bool with_header;
    uint32_t sender;
    EchoVerdict verdict;
    const char* source;
  } cases[] = {
      {RawPacket("192.168.1.20", 0, 8), true, 0, EchoVerdict::kReplyFromDestination,
       "192.168.1.20"},
      {RawPacket("192.168.1.20", 0, 8, 6), true, 0, EchoVerdict::kReplyFromDestination,
       "192.168.1.20"},
      {RawPacket("192.168.1.21", 0, 8), true, 0, EchoVerdict::kOtherSource, "192.168.1.21"},
      {RawPacket("192.168.1.20", 0, 7), true, 0, EchoVerdict::kBadLength, "192.168.1.20"},
      {RawPacket("192.168.1.20", 0, 4, 15), true, 0, EchoVerdict::kBadLength, "192.168.1.20"},
      {RawPacket("192.168.1.20", 3, 8), true, 0, EchoVerdict::kNotEchoReply, "192.168.1.20"},
      {std::vector<uint8_t>(10, 0), true, 0, EchoVerdict::kBadLength, "0.0.0.0"},
      {{0, 0, 0, 0, 0, 0, 0, 0}, false, dest, EchoVerdict::kReplyFromDestination, "192.168.1.20"},
      {{0, 0, 0, 0, 0, 0, 0, 0},
       false,
       Net("192.168.1.1"),
       EchoVerdict::kOtherSource,
       "192.168.1.1"},
      {{0, 0, 0}, false, dest, EchoVerdict::kBadLength, "192.168.1.20"},
      {{8, 0, 0, 0, 0, 0, 0, 0}, false, dest, EchoVerdict::kNotEchoReply, "192.168.1.20"},
  };
  int i = 0;
  for (const Case& c : cases) {
    uint32_t source = 12345;
    EXPECT_EQ(ClassifyEchoPacket(c.packet.data(), c.packet.size(), c.with_header, c.sender, dest,
                                 &source),
              c.verdict)
        << "case " << i;
    EXPECT_EQ(test::Dot(source), c.source) << "case " << i;
    ++i;
  }
}

// A reply counts for the request whose sequence and data it carries back, whatever the
// identifier (a ping socket's kernel picks its own); a late reply to another probe does not.
TEST(EchoPacketTest, AReplyAnswersOnlyTheRequestItEchoes) {
  const auto request = BuildEchoRequest(2, 0x0A0B0C0Du);
  auto reply = [](const std::array<uint8_t, kEchoRequestSize>& echoed, bool with_header,
                  int header_words = 5) {
    std::vector<uint8_t> p =
        with_header ? RawPacket("192.168.1.20", 0, 0, header_words) : std::vector<uint8_t>{};
    p.insert(p.end(), echoed.begin(), echoed.end());
    p[p.size() - kEchoRequestSize] = 0;  // echo reply
    return p;
  };
  auto rekeyed = request;
  rekeyed[4] = 0x77;  // identifier only
  struct Case {
    std::vector<uint8_t> packet;
    bool with_header;
    bool answers;
  } cases[] = {
      {reply(request, true), true, true},
      {reply(request, true, 6), true, true},
      {reply(request, false), false, true},
      {reply(rekeyed, false), false, true},
      {reply(BuildEchoRequest(2, 0x0A0B0C0Eu), true), true, false},    // another probe's tick
      {reply(BuildEchoRequest(1, 0x0A0B0C0Du), false), false, false},  // another attempt
      {std::vector<uint8_t>(27, 0), true, false},
      {std::vector<uint8_t>(11, 0), false, false},
  };
  int i = 0;
  for (const Case& c : cases) {
    EXPECT_EQ(EchoAnswers(c.packet.data(), c.packet.size(), c.with_header, request), c.answers)
        << "case " << i;
    ++i;
  }
}

class FindFreeAddressTest : public ::testing::Test {
 protected:
  FreeAddressSearch Search() {
    return {params_, network_, registry_,
            table_,  prober_,  [this](const std::string& c) { announced_.push_back(c); }};
  }

  test::FixedNetwork network_;
  LocalParameterCache params_{network_};
  DeviceRegistry registry_;
  AssignedAddressTable table_;
  test::FakeProber prober_;
  std::vector<std::string> announced_;
};

TEST_F(FindFreeAddressTest, FirstCandidateIsDotTwoAndLocalGatewayEdgesAreNeverOffered) {
  test::LogCapture log;
  FreeAddressSearch search = Search();
  bool found = false;
  EXPECT_EQ(FindFreeAddress(search, &found), "192.168.1.2");
  EXPECT_TRUE(found);
  ASSERT_EQ(prober_.probed.size(), 1u);
  EXPECT_TRUE(log.Contains("got one ip: 192.168.1.2\n"));

  // Everything answers: every candidate is probed once, in order, and none of the others.
  prober_.probed.clear();
  announced_.clear();
  for (int h = 0; h < 256; ++h)
    prober_.answering.insert("192.168.1." + std::to_string(h));
  EXPECT_EQ(FindFreeAddress(search, &found), "192.168.1.100");
  EXPECT_FALSE(found);
  ASSERT_EQ(prober_.probed.size(), 252u);  // 2..254 without .100
  EXPECT_EQ(prober_.probed.front(), "192.168.1.2");
  EXPECT_EQ(prober_.probed.back(), "192.168.1.254");
  for (const char* never : {"192.168.1.0", "192.168.1.1", "192.168.1.100", "192.168.1.255"})
    EXPECT_EQ(std::count(prober_.probed.begin(), prober_.probed.end(), never), 0) << never;
  EXPECT_EQ(announced_, prober_.probed);
}

TEST_F(FindFreeAddressTest, KnownAndAnsweringAddressesAreSkipped) {
  AddDevice(registry_, "OFF", "192.168.1.2");  // switched off: held anyway
  table_.Add(Net("192.168.1.3"));
  AdapterInfo second;
  second.description = "lan1";
  second.interface_index = 3;
  second.addresses = {{"192.168.1.4", "255.255.255.0"}, {"192.168.1.5", "255.255.255.0"}};
  network_.adapters.push_back(second);
  prober_.answering = {"192.168.1.6"};
  prober_.failing = {"192.168.1.7"};
  FreeAddressSearch search = Search();
  EXPECT_EQ(FindFreeAddress(search), "192.168.1.8");
  EXPECT_EQ(prober_.probed,
            (std::vector<std::string>{"192.168.1.6", "192.168.1.7", "192.168.1.8"}));
}

TEST_F(FindFreeAddressTest, WideMaskStillVariesOnlyTheLastOctet) {
  network_.adapters[0].addresses = {{"172.16.5.100", "255.255.0.0"}};
  network_.adapters[0].gateway = "172.16.0.1";
  for (int h = 2; h < 10; ++h)
    prober_.answering.insert("172.16.5." + std::to_string(h));
  FreeAddressSearch search = Search();
  EXPECT_EQ(FindFreeAddress(search), "172.16.5.10");
  for (const std::string& p : prober_.probed)
    EXPECT_EQ(p.rfind("172.16.5.", 0), 0u) << p;
}

TEST_F(FindFreeAddressTest, WithoutALocalAddressNothingIsProbed) {
  network_.adapters.clear();  // no default route: empty local parameters
  FreeAddressSearch search = Search();
  bool found = true;
  EXPECT_EQ(FindFreeAddress(search, &found), "");
  EXPECT_FALSE(found);
  EXPECT_TRUE(prober_.probed.empty());
}

TEST_F(FindFreeAddressTest, AssignGivesLocalParametersAndTwoCallsGiveTwoAddresses) {
  AddDevice(registry_, "A", "10.0.0.5");
  AddDevice(registry_, "B", "10.0.0.6");
  test::RecordingEngine engine;
  NetworkChangeTarget target{registry_, table_, engine};
  FreeAddressSearch search = Search();
  DeviceRow a, b;
  a.registry_index = 0;
  b.registry_index = 1;
  registry_.CopyRecord(0, &a.record, sizeof a.record);
  registry_.CopyRecord(1, &b.record, sizeof b.record);
  a.record.Lan.DHCP = 1;

  ASSERT_EQ(AssignFreeAddress(search, target, a), 0);
  ASSERT_EQ(AssignFreeAddress(search, target, b), 0);
  EXPECT_STREQ(a.record.Lan.IPAddress, "192.168.1.2");
  EXPECT_STREQ(b.record.Lan.IPAddress, "192.168.1.3");
  EXPECT_EQ(a.record.Lan.DHCP, 0);
  EXPECT_STREQ(a.record.Lan.Netmask, "255.255.255.0");
  EXPECT_STREQ(a.record.Lan.Gateway, "192.168.1.1");
  EXPECT_STREQ(a.record.Lan.DNS1, "192.168.1.1");
  EXPECT_STREQ(a.record.Lan.DNS2, "192.168.1.2");
  ASSERT_EQ(engine.sent.size(), 2u);
  // A free address is never sent past the local segments.
  EXPECT_TRUE(engine.sent_to.empty());
  EXPECT_NE(engine.sent[1].body.find("SerialNumber=\"B\""), std::string::npos);
  EXPECT_NE(engine.sent[1].body.find("IPAddress=\"192.168.1.3\""), std::string::npos);
}

TEST_F(FindFreeAddressTest, AssignSendsNothingWhenNoAddressIsFreeOrTheIndexIsStale) {
  test::LogCapture log;
  AddDevice(registry_, "A", "10.0.0.5");
  test::RecordingEngine engine;
  NetworkChangeTarget target{registry_, table_, engine};
  DeviceRow row;
  row.registry_index = 0;
  registry_.CopyRecord(0, &row.record, sizeof row.record);
  for (int h = 0; h < 256; ++h)
    prober_.answering.insert("192.168.1." + std::to_string(h));
  FreeAddressSearch search = Search();
  EXPECT_EQ(AssignFreeAddress(search, target, row), kNoFreeAddress);
  EXPECT_STREQ(row.record.Lan.IPAddress, "10.0.0.5");
  EXPECT_TRUE(engine.sent.empty());
  EXPECT_TRUE(log.Contains("AssignFreeAddress(): no free ip found, IPC A keeps its address.\n"));

  prober_.answering.clear();
  row.registry_index = 7;
  EXPECT_EQ(AssignFreeAddress(search, target, row), -1);
  EXPECT_TRUE(log.Contains("set IPC A failed. error = -1\n"));
  EXPECT_TRUE(engine.sent.empty());
}

}  // namespace
}  // namespace vdz
