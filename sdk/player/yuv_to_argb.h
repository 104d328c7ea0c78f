// Converts 4:2:0 planar YUV (BT.601) to 32-bit pixels 0xffRRGGBB with AVX-512, the
// conversion and the store in one pass. The arithmetic is libyuv's (6-bit fixed point, the
// same coefficients and rounding), so its pixels equal libyuv's I420ToARGB / J420ToARGB bit for
// bit and the two can stand in for each other.
#pragma once

#include <cstdint>

namespace vdz::player {

struct YuvPlanes {
  const uint8_t* y = nullptr;
  const uint8_t* u = nullptr;
  const uint8_t* v = nullptr;
  int y_stride = 0;
  int u_stride = 0;
  int v_stride = 0;
};

// True where the CPU has AVX-512 with byte and word instructions.
bool CanConvertYuvWithAvx512();

// Writes width x height pixels at out, rows stride_pixels apart; full_range for the JPEG
// range. With stream the pixels go around the cache (whole 64-byte lines with non-temporal
// stores), for a destination that is written and not read soon. Only bytes of the picture are
// read and written: no overrun past a row. Call only where CanConvertYuvWithAvx512().
void ConvertYuvToArgbAvx512(const YuvPlanes& planes, int width, int height, bool full_range,
                            uint32_t* out, int stride_pixels, bool stream);

}  // namespace vdz::player
