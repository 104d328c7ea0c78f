// A QR Code symbol as plain modules, for the label and the QR panel alike.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vdz {

struct QrSymbol {
  int width = 0;              // modules per side, no quiet zone
  std::vector<uint8_t> dark;  // width * width, row-major, 1 = dark module
};

// Error-correction level L, the smallest version that holds the text, mask and segment modes
// chosen by the encoder. Nothing for an empty text or one the encoder cannot hold.
std::optional<QrSymbol> EncodeQr(const std::string& text);

}  // namespace vdz
