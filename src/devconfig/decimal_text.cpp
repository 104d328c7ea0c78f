#include "devconfig/decimal_text.h"

#include <limits>

namespace vdz {
namespace {

// The C locale's white space, independent of the process locale.
bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

int32_t ParseDecimal(const char* text) {
  if (!text)
    return 0;
  const char* p = text;
  while (IsSpace(*p))
    ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  // Accumulated as a magnitude in 64 bits and stopped at the clamp, so no input overflows.
  constexpr int64_t kMaxMagnitude = static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1;
  int64_t magnitude = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    if (magnitude < kMaxMagnitude)
      magnitude = magnitude * 10 + (*p - '0');
  }
  if (magnitude > kMaxMagnitude)
    magnitude = kMaxMagnitude;
  if (negative)
    return static_cast<int32_t>(-magnitude);
  return magnitude >= kMaxMagnitude ? std::numeric_limits<int32_t>::max()
                                    : static_cast<int32_t>(magnitude);
}

}  // namespace vdz
