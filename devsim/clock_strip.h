// What the simulated cameras draw into every picture before it is encoded: a strip of blocks
// carrying the wall-clock milliseconds (machine-readable, for latency figures), the clock as
// text and the device's address. Drawn on I420 pictures, read back from 0xffRRGGBB pixels of
// the picture as shown, at any scale.
#pragma once

#include <cstdint>
#include <string>

namespace vdz::devsim {

struct I420Picture {
  uint8_t* y = nullptr;
  uint8_t* u = nullptr;
  uint8_t* v = nullptr;
  int y_stride = 0;
  int uv_stride = 0;
  int width = 0;
  int height = 0;
};

// Draws the strip for `wall_ms`, "HH:MM:SS.mmm" (UTC) and `label` on the picture.
void DrawCameraOverlay(const I420Picture& picture, int64_t wall_ms, const std::string& label);

// Reads the strip from a shown picture; false when it is not there (wrong checksum).
bool ReadClockStrip(const uint32_t* pixels, int width, int height, int stride_pixels,
                    int64_t* wall_ms);

// The rectangle of the address text, as fractions of the picture (x, y, w, h), for tests that
// compare the device's label region of two pictures.
struct LabelBox {
  double x, y, w, h;
};
LabelBox LabelRegion();

}  // namespace vdz::devsim
