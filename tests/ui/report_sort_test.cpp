#include "ui/report_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace vdz {
namespace {

std::vector<ReportSortKey> Keys(const std::vector<std::u16string>& texts) {
  std::vector<ReportSortKey> keys;
  for (const std::u16string& text : texts) {
    keys.push_back(MakeReportSortKey(text));
  }
  return keys;
}

std::vector<std::u16string> Sorted(const std::vector<std::u16string>& texts, bool ascending,
                                   std::optional<std::u16string_view> separator = {}) {
  const std::vector<int> order = ReportSortOrder(Keys(texts), separator, ascending);
  std::vector<std::u16string> result;
  for (int i : order) {
    result.push_back(texts[static_cast<std::size_t>(i)]);
  }
  return result;
}

TEST(ReportSortParse, HexadecimalTexts) {
  struct Case {
    std::u16string text;
    std::optional<std::uint32_t> value;
  } cases[] = {
      {u"9", 9},
      {u"A", 10},
      {u"10", 16},
      {u"ff", 255},
      {u"0x1F", 31},
      {u"FFFFFFFF", 0xFFFFFFFFu},
      {u"00000000FFFFFFFF", 0xFFFFFFFFu},  // leading zeros do not count against 32 bits
      {u"100000000", std::nullopt},        // needs 33 bits
      {u"ABCDEF0123456789", std::nullopt},
      {u"", std::nullopt},
      {u"0x", std::nullopt},
      {u"1.5", std::nullopt},
      {u"G1", std::nullopt},
      {u" 1", std::nullopt},
      {u"10%", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseSortHex(c.text), c.value) << std::string(c.text.begin(), c.text.end());
  }
}

TEST(ReportSortParse, DecimalTexts) {
  struct Case {
    std::u16string text;
    std::optional<double> value;
  } cases[] = {
      {u"1.5", 1.5},
      {u"10%", 10.0},
      {u"2", 2.0},
      {u"-3.25", -3.25},
      {u"+4", 4.0},
      {u".5", 0.5},
      {u"7.", 7.0},
      {u"1e3", 1000.0},
      {u"2.5%", 2.5},
      {u"", std::nullopt},
      {u"%", std::nullopt},
      {u"10%%", std::nullopt},
      {u"1.2.3", std::nullopt},
      {u"abc", std::nullopt},
      {u"inf", std::nullopt},
      {u"1 %", std::nullopt},
      {u".", std::nullopt},
      {u"-", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseSortDecimal(c.text), c.value) << std::string(c.text.begin(), c.text.end());
  }
}

TEST(ReportSortCompare, FirstRuleThatAppliesToBothDecides) {
  struct Case {
    std::u16string a;
    std::u16string b;
    int sign;
  } cases[] = {
      {u"9", u"A", -1},     // hexadecimal: 9 < 10
      {u"A", u"10", -1},    // hexadecimal: 10 < 16
      {u"10", u"9", 1},     // hexadecimal, not text ("10" < "9" as text)
      {u"1.5", u"2", -1},   // decimal
      {u"2", u"10%", -1},   // decimal: 2 < 10
      {u"10%", u"1.5", 1},  // decimal
      {u"b", u"a", 1},      // letters a-f are hexadecimal: 11 > 10
      {u"x", u"y", -1},     // text
      {u"Z", u"a", -1},     // code units, case-sensitive: 'Z' (0x5A) < 'a' (0x61)
      {u"abc", u"abc", 0}, {u"192.168.1.10", u"192.168.1.9", -1},  // text order for addresses
      {u"", u"0", -1},                                             // empty is no number
  };
  for (const Case& c : cases) {
    const int order = CompareReportSortKeys(MakeReportSortKey(c.a), MakeReportSortKey(c.b));
    EXPECT_EQ((order > 0) - (order < 0), c.sign)
        << std::string(c.a.begin(), c.a.end()) << " vs " << std::string(c.b.begin(), c.b.end());
  }
}

TEST(ReportSortCompare, DateTimeRuleComesAfterNumbersBeforeText) {
  ReportSortKey earlier = MakeReportSortKey(u"x-late");
  ReportSortKey later = MakeReportSortKey(u"a-early");
  earlier.date_time = 1000;
  later.date_time = 2000;
  EXPECT_LT(CompareReportSortKeys(earlier, later), 0);  // text alone would say the opposite
  ReportSortKey hex_a = MakeReportSortKey(u"A");
  ReportSortKey hex_b = MakeReportSortKey(u"B");
  hex_a.date_time = 5;
  hex_b.date_time = 1;
  EXPECT_LT(CompareReportSortKeys(hex_a, hex_b), 0);  // hexadecimal is tried first
}

TEST(ReportSortOrder, ExamplesAscendingAndDescending) {
  EXPECT_EQ(Sorted({u"A", u"10", u"9"}, true), (std::vector<std::u16string>{u"9", u"A", u"10"}));
  EXPECT_EQ(Sorted({u"A", u"10", u"9"}, false), (std::vector<std::u16string>{u"10", u"A", u"9"}));
  EXPECT_EQ(Sorted({u"1.5", u"10%", u"2"}, true),
            (std::vector<std::u16string>{u"1.5", u"2", u"10%"}));
  EXPECT_EQ(Sorted({u"1.5", u"10%", u"2"}, false),
            (std::vector<std::u16string>{u"10%", u"2", u"1.5"}));
}

TEST(ReportSortOrder, SeparatorRowsStayAndSplitRuns) {
  const std::vector<std::u16string> texts = {u"zeta", u"alpha", u"--",   u"omega",
                                             u"beta", u"--",    u"gamma"};
  EXPECT_EQ(
      Sorted(texts, true, u"--"),
      (std::vector<std::u16string>{u"alpha", u"zeta", u"--", u"beta", u"omega", u"--", u"gamma"}));
  // Without the separator "--" sorts with the rest.
  EXPECT_EQ(Sorted(texts, true).front(), u"--");
}

TEST(ReportSortOrder, EmptyAndSingleRow) {
  EXPECT_TRUE(ReportSortOrder({}, std::nullopt, true).empty());
  EXPECT_EQ(ReportSortOrder(Keys({u"x"}), std::nullopt, false), std::vector<int>{0});
}

TEST(ReportSortOrder, MixedColumnGivesAPermutationAndSortsNumbersAmongThemselves) {
  // Hex, decimal and text cells mixed: the pairwise rules are not a total order, so this is
  // where an unguarded quicksort would run off its range.
  std::mt19937 random(12345);
  const std::vector<std::u16string> pool = {u"9",    u"A",     u"10", u"1.5", u"10%", u"zz",
                                            u"ab",   u"2e1",   u"FF", u"-1",  u"x9",  u"",
                                            u"0x10", u"1.25%", u"Zq", u"7"};
  for (int round = 0; round < 50; ++round) {
    std::vector<std::u16string> texts;
    for (int i = 0; i < 300; ++i) {
      texts.push_back(pool[random() % pool.size()]);
    }
    for (bool ascending : {true, false}) {
      std::vector<int> order = ReportSortOrder(Keys(texts), std::nullopt, ascending);
      ASSERT_EQ(order.size(), texts.size());
      std::sort(order.begin(), order.end());
      for (std::size_t i = 0; i < order.size(); ++i) {
        ASSERT_EQ(order[i], static_cast<int>(i));
      }
    }
  }
  // A column of pure decimal numbers is totally ordered, so the result must be sorted.
  std::vector<std::u16string> decimals;
  for (int i = 0; i < 200; ++i) {
    decimals.push_back(std::u16string(u"1.") + static_cast<char16_t>(u'0' + random() % 10) + u"%");
  }
  const std::vector<std::u16string> sorted = Sorted(decimals, true);
  EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) {
    return *ParseSortDecimal(a) < *ParseSortDecimal(b);
  }));
}

}  // namespace
}  // namespace vdz
