#include "shell/utf8_text.h"

namespace vdz {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

bool IsTrail(unsigned char c) {
  return (c & 0xC0) == 0x80;
}

}  // namespace

std::size_t Utf8SequenceLength(std::string_view text) {
  if (text.empty())
    return 0;
  const auto b0 = static_cast<unsigned char>(text[0]);
  if (b0 < 0x80)
    return 1;
  std::size_t length = 0;
  unsigned char min1 = 0x80, max1 = 0xBF;  // allowed range of the second byte
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    length = 2;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    length = 3;
    if (b0 == 0xE0)
      min1 = 0xA0;  // overlong
    if (b0 == 0xED)
      max1 = 0x9F;  // surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    length = 4;
    if (b0 == 0xF0)
      min1 = 0x90;  // overlong
    if (b0 == 0xF4)
      max1 = 0x8F;  // above U+10FFFF
  } else {
    return 0;
  }
  if (text.size() < length)
    return 0;
  const auto b1 = static_cast<unsigned char>(text[1]);
  if (b1 < min1 || b1 > max1)
    return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (!IsTrail(static_cast<unsigned char>(text[i])))
      return 0;
  }
  return length;
}

std::string SanitizeUtf8(std::string_view text, std::size_t max_code_points) {
  std::string out;
  out.reserve(text.size());
  std::size_t count = 0;
  while (!text.empty() && count < max_code_points) {
    const std::size_t length = Utf8SequenceLength(text);
    if (length == 0) {
      out.append(kReplacement);
      text.remove_prefix(1);
    } else {
      out.append(text.substr(0, length));
      text.remove_prefix(length);
    }
    ++count;
  }
  return out;
}

std::string_view Utf8Prefix(std::string_view text, std::size_t max_code_points) {
  std::size_t bytes = 0;
  for (std::size_t count = 0; count < max_code_points && bytes < text.size(); ++count) {
    const std::size_t length = Utf8SequenceLength(text.substr(bytes));
    bytes += length == 0 ? 1 : length;
  }
  return text.substr(0, bytes);
}

std::size_t Utf8CodePointCount(std::string_view text) {
  std::size_t count = 0;
  while (!text.empty()) {
    const std::size_t length = Utf8SequenceLength(text);
    text.remove_prefix(length == 0 ? 1 : length);
    ++count;
  }
  return count;
}

}  // namespace vdz
