// Feeds arbitrary bytes through the firmware image check a device makes as an upload
// arrives, cut into chunks the first byte chooses; the verdict must not depend on the cut.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "protocol/firmware_image.h"

namespace {

using vdz::sdkproto::FirmwareImageChecker;

void Expect(bool condition) {
  if (!condition)
    __builtin_trap();
}

FirmwareImageChecker Check(std::string_view image, std::size_t piece) {
  FirmwareImageChecker checker("X1");
  for (std::size_t pos = 0; pos < image.size(); pos += piece)
    checker.Feed(image.substr(pos, piece));
  return checker;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0)
    return 0;
  const std::size_t piece = 1 + data[0] % 128;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

  const FirmwareImageChecker whole = Check(bytes, std::max<std::size_t>(bytes.size(), 1));
  const FirmwareImageChecker pieces = Check(bytes, piece);
  Expect(whole.Finish() == pieces.Finish() && whole.version() == pieces.version());
  Expect(whole.version().size() <= 127);
  FirmwareImageChecker::VerdictText(whole.Finish());

  // The same bytes as the body behind the header our tools write is a good image.
  if (data[0] & 0x80) {
    const std::string image =
        vdz::sdkproto::FirmwareImageHeader("X1", "V3.0.0", bytes) + std::string(bytes);
    Expect(Check(image, piece).Finish() == FirmwareImageChecker::Verdict::kOk);
  }
  return 0;
}
