// CRC-32 (IEEE 802.3, reflected, as zlib and PNG use it).
#pragma once

#include <cstdint>
#include <string_view>

namespace vdz::sdkproto {

// Continues `crc` (0 to start) over `bytes`; feeding a buffer in pieces gives the same value.
std::uint32_t Crc32(std::uint32_t crc, std::string_view bytes);

// The portable table path alone, for comparing against the carry-less multiply path.
std::uint32_t Crc32Tables(std::uint32_t crc, std::string_view bytes);

}  // namespace vdz::sdkproto
