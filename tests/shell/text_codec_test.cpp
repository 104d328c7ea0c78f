#include "shell/text_codec.h"

#include <gtest/gtest.h>

#include <string>

namespace vdz {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Restores GBK whatever a test switched to.
class TextCodecTest : public ::testing::Test {
 protected:
  void TearDown() override { ASSERT_TRUE(SetAnsiCodePage("GBK")); }
};

TEST_F(TextCodecTest, GbkIsTheDefaultAndRoundTrips) {
  EXPECT_EQ(AnsiCodePage(), "GBK");
  const std::string gbk = "IPC-\xD6\xD0\xCE\xC4\xB2\xE2\xCA\xD4";  // "IPC-中文测试"
  EXPECT_EQ(AnsiToUtf8(gbk), "IPC-中文测试");
  EXPECT_EQ(Utf8ToAnsi("IPC-中文测试"), gbk);
  EXPECT_EQ(AnsiToUtf8(""), "");
  EXPECT_EQ(Utf8ToAnsi(""), "");
  const std::string with_nul("a\0b", 3);
  EXPECT_EQ(AnsiToUtf8(with_nul), with_nul);
}

TEST_F(TextCodecTest, InvalidBytesAreReplaced) {
  struct Case {
    std::string ansi;
    std::string utf8;
  };
  const std::string r(kReplacement);
  const Case cases[] = {
      {"A\xFF"
       "B",
       "A" + r + "B"},             // 0xFF never starts a GBK character
      {"\xD6\xD0\x81", "中" + r},  // lead byte cut off at the end
      {"\x81\x20z", r + " z"},     // lead byte with an invalid trail
      {"\xFF", r},
  };
  for (const Case& c : cases)
    EXPECT_EQ(AnsiToUtf8(c.ansi), c.utf8);
}

TEST_F(TextCodecTest, UnencodableOrInvalidUtf8BecomesOneQuestionMark) {
  struct Case {
    std::string utf8;
    std::string ansi;
  };
  const Case cases[] = {
      {"cam 😀 1", "cam ? 1"},     // no GBK form: one '?' for the whole character
      {"\xC3(", "?("},            // broken sequence
      {"x\xE4\xB8", "x??"},       // cut off at the end: one per byte
      {"\xED\xA0\x80z", "???z"},  // a surrogate is not UTF-8
      {"中\xFF文", "\xD6\xD0?\xCE\xC4"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Utf8ToAnsi(c.utf8), c.ansi) << c.utf8;
}

TEST_F(TextCodecTest, LongTextGrowsTheOutput) {
  std::string utf8;
  for (int i = 0; i < 50000; ++i)
    utf8 += i % 3 ? "中" : "a";
  const std::string ansi = Utf8ToAnsi(utf8);
  EXPECT_LT(ansi.size(), utf8.size());
  EXPECT_EQ(AnsiToUtf8(ansi), utf8);
}

TEST_F(TextCodecTest, OtherCodePages) {
  ASSERT_TRUE(SetAnsiCodePage("BIG5"));
  EXPECT_EQ(AnsiCodePage(), "BIG5");
  EXPECT_EQ(AnsiToUtf8("\xA4\xA4\xA4\xE5"), "中文");
  EXPECT_EQ(Utf8ToAnsi("中文"), "\xA4\xA4\xA4\xE5");

  ASSERT_TRUE(SetAnsiCodePage("CP1250"));
  EXPECT_EQ(AnsiToUtf8("\xB9\xE6"), "ąć");

  EXPECT_FALSE(SetAnsiCodePage("NO-SUCH-CODEPAGE"));
  EXPECT_FALSE(SetAnsiCodePage(nullptr));
  EXPECT_FALSE(SetAnsiCodePage(""));
  EXPECT_EQ(AnsiCodePage(), "CP1250");
}

}  // namespace
}  // namespace vdz
