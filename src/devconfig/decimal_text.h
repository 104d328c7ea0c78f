// Numbers in device attributes are decimal text read by the C atoi rule.
#pragma once

#include <cstdint>

namespace vdz {

// Leading white space, an optional sign, then digits up to the first non-digit; no digits
// reads as 0; null reads as 0. Values beyond int32 are clamped rather than overflowing.
int32_t ParseDecimal(const char* text);

}  // namespace vdz
