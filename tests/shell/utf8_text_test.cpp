#include "shell/utf8_text.h"

#include <gtest/gtest.h>

#include <string>

namespace vdz {
namespace {

const std::string kR = "\xEF\xBF\xBD";

TEST(Utf8Text, SanitizeReplacesEachBadByte) {
  struct Case {
    std::string in;
    std::string out;
  };
  const Case cases[] = {
      {"plain", "plain"},
      {"中文 ąć 😀", "中文 ąć 😀"},
      {"\xC0\xAF", kR + kR},                    // overlong '/'
      {"\xE0\x80\xAF", kR + kR + kR},           // overlong, three bytes
      {"\xED\xA0\x80", kR + kR + kR},           // surrogate
      {"\xF4\x90\x80\x80", kR + kR + kR + kR},  // above U+10FFFF
      {"a\xE4\xB8", "a" + kR + kR},             // cut off
      {"\x80z", kR + "z"},                      // stray trail byte
      {"\xFE\xFF", kR + kR},
  };
  for (const Case& c : cases)
    EXPECT_EQ(SanitizeUtf8(c.in), c.out) << c.in;
}

TEST(Utf8Text, CutsBetweenWholeCharacters) {
  EXPECT_EQ(SanitizeUtf8("中文测试", 2), "中文");
  EXPECT_EQ(SanitizeUtf8("a\xFF"
                         "bc",
                         3),
            "a" + kR + "b");
  EXPECT_EQ(SanitizeUtf8("abc", 0), "");
  EXPECT_EQ(Utf8Prefix("中文测试", 3), "中文测");
  EXPECT_EQ(Utf8Prefix("a\xFF"
                       "b",
                       2),
            "a\xFF");  // bytes kept as they are
  EXPECT_EQ(Utf8Prefix("ab", 10), "ab");
  EXPECT_EQ(Utf8CodePointCount("中a😀\xFF"), 4u);
  EXPECT_EQ(Utf8SequenceLength("😀"), 4u);
  EXPECT_EQ(Utf8SequenceLength("\xF0\x9F\x98"), 0u);
  EXPECT_EQ(Utf8SequenceLength(""), 0u);
}

}  // namespace
}  // namespace vdz
