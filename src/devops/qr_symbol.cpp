#include "devops/qr_symbol.h"

#include <qrencode.h>

#include <memory>

namespace vdz {

std::optional<QrSymbol> EncodeQr(const std::string& text) {
  if (text.empty())
    return std::nullopt;
  // Version 0 lets the encoder pick the smallest version; QR_MODE_8 with case kept holds the
  // identifier byte for byte while the encoder still splits it into shorter modes.
  std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
      QRcode_encodeString(text.c_str(), 0, QR_ECLEVEL_L, QR_MODE_8, 1), &QRcode_free);
  if (!code || code->width <= 0)
    return std::nullopt;
  QrSymbol symbol;
  symbol.width = code->width;
  const std::size_t cells = static_cast<std::size_t>(code->width) * code->width;
  symbol.dark.resize(cells);
  for (std::size_t i = 0; i < cells; ++i)
    symbol.dark[i] = code->data[i] & 1u;
  return symbol;
}

bool EncodeQrBitmap(std::string_view text, QrBitmap* bitmap) {
  const std::optional<QrSymbol> symbol = EncodeQr(std::string(text));
  if (!symbol)
    return false;
  QrBitmap out;
  out.modules = symbol->width;
  out.side = symbol->width + 2 * kQrQuietZone;
  out.dark.assign(static_cast<std::size_t>(out.side) * out.side, 0);
  for (int j = 0; j < symbol->width; ++j) {
    for (int i = 0; i < symbol->width; ++i) {
      out.dark[static_cast<std::size_t>((j + kQrQuietZone) * out.side + i + kQrQuietZone)] =
          symbol->dark[static_cast<std::size_t>(j * symbol->width + i)];
    }
  }
  *bitmap = std::move(out);
  return true;
}

}  // namespace vdz
