#include "devconfig/setting_validators.h"

#include <gtest/gtest.h>

#include <string>

#include "devconfig/time_zone_table.h"

namespace vdz {
namespace {

TEST(DecimalInRangeTest, EdgeCases) {
  struct Case {
    std::string text;
    int64_t min, max;
    bool ok;
  } cases[] = {
      {"1", 1, 65535, true},
      {"65535", 1, 65535, true},
      {"0", 1, 65535, false},
      {"65536", 1, 65535, false},
      {"080", 1, 65535, true},
      {"", 0, 10, false},
      {"-1", -5, 5, false},
      {"+1", 0, 5, false},
      {" 1", 0, 5, false},
      {"1 ", 0, 5, false},
      {"1a", 0, 99, false},
      {"59", 60, 999999, false},
      {"999999", 60, 999999, true},
      {"1000000", 60, 999999, false},
      {std::string(63, '0') + "7", 0, 255, true},  // 64 characters
      {std::string(64, '0') + "7", 0, 255, false},
      {std::string(64, '9'), 0, 255, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(DecimalInRange(c.text, c.min, c.max), c.ok) << c.text;
}

TEST(Ipv4AddressAcceptedTest, EdgeCases) {
  struct Case {
    const char* text;
    bool ok;
  } cases[] = {
      {"10.0.0.1", true},         {"192.168.1.254", true}, {"0.0.0.0", false},
      {"255.255.255.255", false}, {"1.2.3", false},        {"1.2.3.4.5", false},
      {"1.2.3.256", false},       {"1.2.3.-4", false},     {"1..2.3.4", false},
      {"a.b.c.d", false},         {"1.2.3.4 ", false},     {"", false},
      {"255.255.255.0", true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Ipv4AddressAccepted(c.text), c.ok) << c.text;
  EXPECT_FALSE(Ipv4AddressAccepted(std::string(100, '1')));
}

TEST(HostNameAcceptedTest, EdgeCases) {
  struct Case {
    std::string text;
    bool ok;
  } cases[] = {
      {"Pool.NTP.Org", true},
      {"time.example.com", true},
      {"a.cn", true},
      {"localhost", false},
      {"ntp.example.info", false},
      {"ntp.example.c", false},
      {"ntp.example.c0m", false},
      {"-ntp.example.com", false},
      {"ntp.example.com-", false},
      {"ntp.example.com.", false},
      {"ntp_1.example.com", false},
      {"0.0.0.0", false},
      {std::string(59, 'a') + ".com", true},
      {std::string(60, 'a') + ".com", false},
      {"", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(HostNameAccepted(c.text), c.ok) << c.text;
}

TEST(NtpServerAcceptedTest, RefusesMasksAndBroadcast) {
  struct Case {
    const char* text;
    bool ok;
  } cases[] = {
      {"10.0.0.1", true},   {"pool.ntp.org", true},    {"255.255.255.0", false},
      {"255.0.0.0", false}, {"255.255.0.0", false},    {"255.255.255.255", false},
      {"0.0.0.0", false},   {"255.255.255.128", true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(NtpServerAccepted(c.text), c.ok) << c.text;
}

TEST(TimeZoneTableTest, ListsPerLanguageWithTerminator) {
  const auto longs = TimeZoneList("zh-cn");
  const auto shorts = TimeZoneList("en-us");
  ASSERT_EQ(longs.size(), 35u);
  ASSERT_EQ(shorts.size(), 35u);
  EXPECT_EQ(longs.back().value, -1);
  EXPECT_EQ(shorts.back().value, -1);
  for (int i = 0; i < kTimeZoneCount; ++i) {
    EXPECT_EQ(longs[i].value, shorts[i].value);
    // The short name is the long name's bracketed prefix.
    EXPECT_EQ(std::string(longs[i].name).rfind(shorts[i].name, 0), 0u) << i;
    if (i > 0) {
      EXPECT_GT(longs[i].value, longs[i - 1].value);
    }
  }
  EXPECT_STREQ(shorts[23].name, "(GMT+05:45)");
  EXPECT_STREQ(longs[27].name,
               "(GMT+08:00)\xE5\x8C\x97\xE4\xBA\xAC\xEF\xBC\x8C\xE9\x87\x8D\xE5\xBA\x86\xEF\xBC"
               "\x8C\xE4\xB9\x8C\xE9\xB2\x81\xE6\x9C\xA8\xE9\xBD\x90\xEF\xBC\x8C\xE9\xA6\x99\xE6"
               "\xB8\xAF\xE7\x89\xB9\xE5\x88\xAB\xE8\xA1\x8C\xE6\x94\xBF\xE5\x8C\xBA\xEF\xBC\x8C"
               "\xE5\x8F\xB0\xE5\x8C\x97");
  EXPECT_STREQ(shorts[14].name, "(GMT)");
}

TEST(TimeZoneTableTest, ValuesByIndexAndOffset) {
  EXPECT_EQ(TimeZoneValueAt(23), 1065);
  EXPECT_EQ(TimeZoneValueAt(0), 0);
  EXPECT_EQ(TimeZoneValueAt(34), 0);
  EXPECT_EQ(TimeZoneValueAt(-1), 0);
  EXPECT_EQ(TimeZoneIndexOf(kDefaultTimeZoneValue), 27);
  EXPECT_EQ(TimeZoneValueFromOffset("+05:45"), 1065);
  EXPECT_EQ(TimeZoneValueFromOffset("-12:00"), 0);
  EXPECT_EQ(TimeZoneValueFromOffset("+08:00"), 1200);
  EXPECT_EQ(TimeZoneValueFromOffset("00:00"), 720);
  EXPECT_EQ(TimeZoneValueFromOffset("+05:15"), -1);
  EXPECT_EQ(TimeZoneValueFromOffset("+8:00"), -1);
}

}  // namespace
}  // namespace vdz
