#include "devops/qr_symbol.h"

#include <gtest/gtest.h>

namespace vdz {
namespace {

TEST(QrSymbol, SmallestVersionForTheText) {
  struct Case {
    std::string text;
    int width;  // 17 + 4 * version
  };
  const Case cases[] = {
      {"QMP2P-4F2A-77310-XYZ", 21},             // 20 alphanumerics fit version 1 at level L
      {"QMP2P-4F2A-77310-XYZ-0123456789", 25},  // 31 need version 2
      {"qmp2p-4f2a-77310-xyz", 25},             // lower case is bytes: 20 > 17 of version 1
      {std::string(2953, 'a'), 177},            // the largest byte payload of version 40 at L
  };
  for (const Case& c : cases) {
    const auto symbol = EncodeQr(c.text);
    ASSERT_TRUE(symbol.has_value()) << c.text.size();
    EXPECT_EQ(symbol->width, c.width) << c.text.substr(0, 32);
    EXPECT_EQ(symbol->dark.size(), static_cast<size_t>(c.width * c.width));
  }
}

TEST(QrSymbol, NothingForEmptyOrTooLongText) {
  EXPECT_FALSE(EncodeQr("").has_value());
  EXPECT_FALSE(EncodeQr(std::string(2954, 'a')).has_value());
}

TEST(QrSymbol, FinderPatternCornersAreDark) {
  const auto symbol = EncodeQr("QMP2P");
  ASSERT_TRUE(symbol.has_value());
  const int w = symbol->width;
  for (auto [x, y] : {std::pair{0, 0}, {w - 1, 0}, {0, w - 1}, {3, 3}})
    EXPECT_EQ(symbol->dark[static_cast<size_t>(y * w + x)], 1) << x << "," << y;
  EXPECT_EQ(symbol->dark[static_cast<size_t>(1 * w + 1)], 0);  // the finder's white ring
}

}  // namespace
}  // namespace vdz
