// The lab's firmware image: one header line
//   VDZFW model=X1 version=V3.0.0 size=8388608 crc32=1a2b3c4d\n
// then `size` body bytes whose CRC-32 (IEEE) is crc32. A device checks it as the bytes arrive,
// so it never holds the image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "protocol/crc32.h"

namespace vdz::sdkproto {

inline constexpr std::size_t kMaxImageHeader = 512;

// Header line (with its newline) for this body.
std::string FirmwareImageHeader(std::string_view model, std::string_view version,
                                std::string_view body);

class FirmwareImageChecker {
 public:
  enum class Verdict { kOk, kBadHeader, kWrongModel, kTruncated, kTooLong, kBadChecksum };

  explicit FirmwareImageChecker(std::string model) : model_(std::move(model)) {}
  void Feed(std::string_view bytes);
  Verdict Finish() const;
  // The header's version (at most 127 bytes); empty unless the header was read and good.
  const std::string& version() const { return version_; }
  static const char* VerdictText(Verdict v);

 private:
  void ParseHeader();

  std::string model_;
  std::string header_;
  bool header_done_ = false;
  bool header_bad_ = false;
  std::string image_model_;
  std::string version_;
  std::uint64_t size_ = 0;
  std::uint32_t expected_crc_ = 0;
  std::uint64_t body_ = 0;
  std::uint32_t crc_ = 0;
};

}  // namespace vdz::sdkproto
