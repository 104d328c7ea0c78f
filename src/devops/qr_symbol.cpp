#include "devops/qr_symbol.h"

#include <qrencode.h>

#include <memory>

namespace vdz {

std::optional<QrSymbol> EncodeQr(const std::string& text) {
  if (text.empty())
    return std::nullopt;
  // Version 0 lets the encoder pick the smallest version; QR_MODE_8 with case sensitivity
  // keeps the identifier byte for byte while the encoder still splits it into modes.
  std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
      QRcode_encodeString(text.c_str(), 0, QR_ECLEVEL_L, QR_MODE_8, 1), &QRcode_free);
  if (!code || code->width <= 0)
    return std::nullopt;
  QrSymbol symbol;
  symbol.width = code->width;
  const size_t cells = static_cast<size_t>(code->width) * static_cast<size_t>(code->width);
  symbol.dark.resize(cells);
  for (size_t i = 0; i < cells; ++i)
    symbol.dark[i] = code->data[i] & 1u;
  return symbol;
}

}  // namespace vdz
