#include "devops/qr_symbol.h"

#include <qrencode.h>

#include <memory>
#include <string>

namespace vdz {

bool EncodeQrBitmap(std::string_view text, QrBitmap* bitmap) {
  if (text.empty())
    return false;
  const std::string z(text);
  // Version 0 asks for the smallest that fits; 8-bit hint with case kept lets the encoder
  // choose numeric and alphanumeric segments where they are shorter.
  std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
      QRcode_encodeString(z.c_str(), 0, QR_ECLEVEL_L, QR_MODE_8, 1), &QRcode_free);
  if (!code || code->width <= 0)
    return false;
  QrBitmap out;
  out.modules = code->width;
  out.side = code->width + 2 * kQrQuietZone;
  out.dark.assign(static_cast<std::size_t>(out.side) * static_cast<std::size_t>(out.side), 0);
  for (int j = 0; j < code->width; ++j) {
    for (int i = 0; i < code->width; ++i) {
      if (code->data[j * code->width + i] & 1) {
        out.dark[static_cast<std::size_t>((j + kQrQuietZone) * out.side + i + kQrQuietZone)] = 1;
      }
    }
  }
  *bitmap = std::move(out);
  return true;
}

}  // namespace vdz
