#include "devconfig/decimal_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace vdz {
namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

struct DecimalCase {
  const char* text;
  int32_t expected;
};

TEST(ParseDecimalTest, FollowsTheAtoiRule) {
  const DecimalCase cases[] = {
      {"1", 1},      {" 1", 1},  {"\t\n\v\f\r 42", 42},
      {"007", 7},    {"-5", -5}, {"+7", 7},
      {"12abc", 12}, {"3.9", 3}, {"abc", 0},
      {"", 0},       {"-", 0},   {"- 5", 0},
      {"+-5", 0},    {"x3", 0},  {"1 2", 1},
  };
  for (const DecimalCase& c : cases) {
    EXPECT_EQ(ParseDecimal(c.text), c.expected) << '"' << c.text << '"';
  }
}

TEST(ParseDecimalTest, ClampsInsteadOfOverflowing) {
  const DecimalCase cases[] = {
      {"2147483647", kMax},
      {"2147483648", kMax},
      {"-2147483648", kMin},
      {"-2147483649", kMin},
      {"99999999999999999999999999999999", kMax},
      {"-99999999999999999999999999999999", kMin},
      {"000000000000000000000000000000012", 12},
  };
  for (const DecimalCase& c : cases) {
    EXPECT_EQ(ParseDecimal(c.text), c.expected) << c.text;
  }
}

TEST(ParseDecimalTest, NullReadsAsZero) {
  EXPECT_EQ(ParseDecimal(nullptr), 0);
}

}  // namespace
}  // namespace vdz
