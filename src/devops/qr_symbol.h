// QR Code symbols of a device's P2P identifier, for the window's QR panel and the label
// window: one bit per pixel, one pixel per module, with the standard 4-module quiet zone.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace vdz {

inline constexpr int kQrQuietZone = 4;

struct QrBitmap {
  int modules = 0;            // symbol side in modules
  int side = 0;               // modules + 2 quiet zones, in pixels
  std::vector<uint8_t> dark;  // side * side, row by row; 1 is a dark pixel

  bool Dark(int x, int y) const { return dark[static_cast<std::size_t>(y * side + x)] != 0; }
};

// Error-correction level L, the smallest version that holds the text, automatic mask and
// segment modes. False when the text is empty or does not fit any version.
bool EncodeQrBitmap(std::string_view text, QrBitmap* bitmap);

}  // namespace vdz
