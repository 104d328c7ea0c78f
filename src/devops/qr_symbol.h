// QR Code symbols of a device's P2P identifier, for the window's QR panel and the label
// window alike: the modules as the encoder gives them, and the panel's bitmap with the
// standard 4-module quiet zone.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vdz {

inline constexpr int kQrQuietZone = 4;

struct QrSymbol {
  int width = 0;              // modules per side, no quiet zone
  std::vector<uint8_t> dark;  // width * width, row by row; 1 is a dark module
};

struct QrBitmap {
  int modules = 0;            // symbol side in modules
  int side = 0;               // modules + 2 quiet zones, in pixels
  std::vector<uint8_t> dark;  // side * side, row by row; 1 is a dark pixel

  bool Dark(int x, int y) const { return dark[static_cast<std::size_t>(y * side + x)] != 0; }
};

// Error-correction level L, the smallest version that holds the text, automatic mask and
// segment modes. Nothing for an empty text or one no version holds.
std::optional<QrSymbol> EncodeQr(const std::string& text);

// The same symbol as a bitmap with its quiet zone, one pixel per module. False when
// EncodeQr gives nothing.
bool EncodeQrBitmap(std::string_view text, QrBitmap* bitmap);

}  // namespace vdz
