#include "discovery/search_ranges.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devconfig/ipv4_text.h"
#include "discovery/local_interfaces.h"

namespace vdz {
namespace {

struct RangeCase {
  const char* text;
  const char* canonical;  // null: refused
  uint32_t asked;         // addresses a search sends to
  const char* error_part;
};

TEST(SearchRanges, ParsesAndExpandsEachForm) {
  const RangeCase cases[] = {
      {"10.2.0.0/22", "10.2.0.0/22", 1022, nullptr},
      {" 10.2.1.7/22 ", "10.2.0.0/22", 1022, nullptr},  // host bits cleared
      {"10.16.0.0/20", "10.16.0.0/20", 4094, nullptr},
      {"10.3.0.9/32", "10.3.0.9/32", 1, nullptr},
      {"10.3.0.8/31", "10.3.0.8/31", 2, nullptr},
      {"10.3.0.10-10.3.0.40", "10.3.0.10-10.3.0.40", 31, nullptr},
      {"10.3.0.255-10.3.1.0", "10.3.0.255-10.3.1.0", 2, nullptr},
      {"10.3.0.5", "10.3.0.5", 1, nullptr},
      {"10.16.0.0/19", nullptr, 0, "holds 8192 addresses; at most 4096"},
      {"10.0.0.0-10.0.16.0", nullptr, 0, "holds 4097 addresses"},
      {"10.3.0.40-10.3.0.10", nullptr, 0, "ends before it starts"},
      {"10.3.0.0/33", nullptr, 0, "is not CIDR"},
      {"10.3.0/24", nullptr, 0, "is not CIDR"},
      {"10.3.0.0/", nullptr, 0, "is not CIDR"},
      {"camera-7", nullptr, 0, "is not CIDR"},
      {"10.3.0.1-", nullptr, 0, "is not CIDR"},
  };
  for (const RangeCase& c : cases) {
    AddressRange range;
    std::string error;
    const bool ok = ParseAddressRange(c.text, &range, &error);
    ASSERT_EQ(ok, c.canonical != nullptr) << c.text << ": " << error;
    if (ok) {
      EXPECT_EQ(RangeText(range), c.canonical) << c.text;
      EXPECT_EQ(ExpandRanges({range}).size(), c.asked) << c.text;
    } else {
      EXPECT_NE(error.find(c.error_part), std::string::npos) << c.text << ": " << error;
      EXPECT_NE(error.find(std::string("'") + c.text + "'"), std::string::npos) << error;
    }
  }
}

TEST(SearchRanges, ListsKeepOrderAskEachAddressOnceAndFailAsAWhole) {
  std::vector<AddressRange> ranges;
  std::string error;
  ASSERT_TRUE(ParseAddressRanges("10.3.0.0/30, 10.3.0.2-10.3.0.5\n10.2.0.9", &ranges, &error));
  EXPECT_EQ(RangesText(ranges), "10.3.0.0/30,10.3.0.2-10.3.0.5,10.2.0.9");
  std::vector<std::string> asked;
  for (uint32_t a : ExpandRanges(ranges))
    asked.push_back(DottedFromHostOrder(a));
  EXPECT_EQ(asked, (std::vector<std::string>{"10.3.0.1", "10.3.0.2", "10.3.0.3", "10.3.0.4",
                                             "10.3.0.5", "10.2.0.9"}));
  ASSERT_TRUE(ParseAddressRanges("  ", &ranges, &error));
  EXPECT_TRUE(ranges.empty());
  ranges = {AddressRange{1, 1, -1}};
  EXPECT_FALSE(ParseAddressRanges("10.2.0.0/22,10.0.0.0/8", &ranges, &error));
  EXPECT_EQ(ranges.size(), 1u);  // untouched
}

TEST(SearchRanges, TheWorkstationsOwnSubnetIsNotedAndCountsAsLocal) {
  AdapterTable adapters;
  AdapterInfo lan;
  lan.addresses = {{"192.168.1.100", "255.255.255.0"}};
  adapters.emplace(AdapterKey("192.168.1.100"), lan);
  std::vector<AddressRange> ranges;
  std::string error;
  ASSERT_TRUE(ParseAddressRanges("10.2.0.0/22,192.168.1.200-192.168.2.10", &ranges, &error));
  const std::vector<std::string> notes = LocalSubnetNotes(ranges, adapters);
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_NE(notes[0].find("'192.168.1.200-192.168.2.10' lies in the workstation's subnet "
                          "192.168.1.0/24"),
            std::string::npos)
      << notes[0];
  EXPECT_FALSE(OutsideLocalSubnets(*ParseDottedQuad("192.168.1.7"), adapters));
  EXPECT_TRUE(OutsideLocalSubnets(*ParseDottedQuad("192.168.2.7"), adapters));
  EXPECT_TRUE(OutsideLocalSubnets(*ParseDottedQuad("10.2.0.7"), adapters));
}

}  // namespace
}  // namespace vdz
