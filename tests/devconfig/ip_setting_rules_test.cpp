#include "devconfig/ip_setting_rules.h"

#include <gtest/gtest.h>

namespace vdz {
namespace {

Octets O(const char* dotted) {
  return OctetsFromHostOrder(InetAddrHostOrder(dotted));
}

TEST(IpSettingRulesTest, GatewayMustShareTheSubnetAndTheLastByteMustNotBe255) {
  struct Case {
    const char *ip, *mask, *gateway;
    bool accepted;
  } cases[] = {
      {"192.168.1.10", "255.255.255.0", "192.168.2.1", false},
      {"192.168.1.10", "255.255.255.0", "192.168.1.1", true},
      {"192.168.1.255", "255.255.0.0", "192.168.7.1", false},  // not broadcast, still refused
      {"10.9.8.7", "0.0.0.0", "172.16.0.1", true},             // mask 0: any gateway
      {"192.168.1.254", "255.255.255.252", "192.168.1.253", true},
      {"192.168.1.254", "255.255.255.252", "192.168.1.249", false},
      {"192.168.1.0", "255.255.255.0", "192.168.1.1", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IpSettingAccepted(O(c.ip), O(c.mask), O(c.gateway)), c.accepted)
        << c.ip << " " << c.mask << " " << c.gateway;
    std::string why;
    IpSettingValues v{c.ip, c.mask, c.gateway, "", "", 0};
    EXPECT_EQ(IpSettingTextsAccepted(v, &why), c.accepted) << why;
    EXPECT_EQ(why.empty(), c.accepted);
  }
}

TEST(IpSettingRulesTest, ParsersFollowTheirSemantics) {
  EXPECT_EQ(InetAddrHostOrder(""), 0xFFFFFFFFu);
  EXPECT_EQ(InetAddrHostOrder("garbage"), 0xFFFFFFFFu);
  EXPECT_EQ(InetAddrHostOrder(nullptr), 0xFFFFFFFFu);
  EXPECT_EQ(InetAddrHostOrder("192.168.1.10"), 0xC0A8010Au);
  EXPECT_EQ(DottedFromHostOrder(0xC0A801FEu), "192.168.1.254");

  EXPECT_EQ(ParseDottedQuad("192.168.1.10"), 0xC0A8010Au);
  EXPECT_EQ(ParseDottedQuad("0.0.0.0"), 0u);
  for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.4 ", "1..2.3", "a.b.c.d",
                          "1.2.3.0004", "-1.2.3.4"})
    EXPECT_FALSE(ParseDottedQuad(bad).has_value()) << bad;

  for (const auto& [prefix, mask] :
       {std::pair{0, "0.0.0.0"}, std::pair{8, "255.0.0.0"}, std::pair{23, "255.255.254.0"},
        std::pair{32, "255.255.255.255"}}) {
    EXPECT_EQ(NetmaskFromPrefix(prefix), mask);
    EXPECT_EQ(PrefixFromNetmask(mask), prefix);
  }
  for (const char* bad : {"255.0.255.0", "0.255.255.255", "255.255.255.1", "mask"})
    EXPECT_FALSE(PrefixFromNetmask(bad).has_value()) << bad;

  std::string why;
  EXPECT_FALSE(
      IpSettingTextsAccepted({"192.168.1.10", "255.255.255.0", "192.168.1.1", "x", "", 0}, &why));
  EXPECT_NE(why.find("name server"), std::string::npos);
  EXPECT_FALSE(
      IpSettingTextsAccepted({"192.168.1", "255.255.255.0", "192.168.1.1", "", "", 0}, &why));
  EXPECT_NE(why.find("address"), std::string::npos);
}

}  // namespace
}  // namespace vdz
