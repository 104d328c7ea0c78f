#include "protocol/firmware_image.h"

#include <array>
#include <cstdio>
#include <cstdlib>

namespace vdz::sdkproto {

namespace {

// Eight tables: table[k][b] is the CRC of byte b followed by k zero bytes, so eight input
// bytes cost eight look-ups with no dependency between them instead of a chain of eight.
// A device checking fifty 8 MiB images at once spent most of its time in the byte loop.
using CrcTables = std::array<std::array<std::uint32_t, 256>, 8>;

CrcTables MakeCrcTables() {
  CrcTables t{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int k = 0; k < 8; ++k)
      c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[0][i] = c;
  }
  for (std::size_t k = 1; k < t.size(); ++k) {
    for (std::size_t i = 0; i < 256; ++i)
      t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFFu];
  }
  return t;
}

std::uint32_t LittleEndian32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Value of key=value in a space-separated header line; empty when absent.
std::string_view Field(std::string_view line, std::string_view key) {
  std::size_t pos = 0;
  while (pos < line.size()) {
    const std::size_t end = std::min(line.find(' ', pos), line.size());
    const std::string_view word = line.substr(pos, end - pos);
    if (word.size() > key.size() && word.substr(0, key.size()) == key && word[key.size()] == '=')
      return word.substr(key.size() + 1);
    pos = end + 1;
  }
  return {};
}

}  // namespace

std::uint32_t Crc32(std::uint32_t crc, std::string_view bytes) {
  static const CrcTables kT = MakeCrcTables();
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  std::size_t n = bytes.size();
  crc = ~crc;
  for (; n >= 8; p += 8, n -= 8) {
    const std::uint32_t lo = LittleEndian32(p) ^ crc;
    const std::uint32_t hi = LittleEndian32(p + 4);
    crc = kT[7][lo & 0xFFu] ^ kT[6][(lo >> 8) & 0xFFu] ^ kT[5][(lo >> 16) & 0xFFu] ^
          kT[4][lo >> 24] ^ kT[3][hi & 0xFFu] ^ kT[2][(hi >> 8) & 0xFFu] ^
          kT[1][(hi >> 16) & 0xFFu] ^ kT[0][hi >> 24];
  }
  for (; n > 0; ++p, --n)
    crc = kT[0][(crc ^ *p) & 0xFFu] ^ (crc >> 8);
  return ~crc;
}

std::string FirmwareImageHeader(std::string_view model, std::string_view version,
                                std::string_view body) {
  char crc[16];
  std::snprintf(crc, sizeof crc, "%08x", Crc32(0, body));
  return "VDZFW model=" + std::string(model) + " version=" + std::string(version) +
         " size=" + std::to_string(body.size()) + " crc32=" + crc + "\n";
}

void FirmwareImageChecker::Feed(std::string_view bytes) {
  if (!header_done_) {
    const std::size_t nl = bytes.find('\n');
    const std::size_t take = nl == std::string_view::npos ? bytes.size() : nl;
    if (header_.size() + take > kMaxImageHeader) {
      header_done_ = header_bad_ = true;
      return;
    }
    header_.append(bytes.substr(0, take));
    if (nl == std::string_view::npos)
      return;
    header_done_ = true;
    ParseHeader();
    bytes.remove_prefix(nl + 1);
  }
  if (header_bad_)
    return;
  body_ += bytes.size();
  crc_ = Crc32(crc_, bytes);
}

void FirmwareImageChecker::ParseHeader() {
  const std::string_view line(header_);
  if (line.substr(0, 6) != "VDZFW ") {
    header_bad_ = true;
    return;
  }
  image_model_ = std::string(Field(line, "model"));
  version_ = std::string(Field(line, "version"));
  const std::string size(Field(line, "size"));
  const std::string crc(Field(line, "crc32"));
  char* end = nullptr;
  size_ = std::strtoull(size.c_str(), &end, 10);
  const bool size_ok = !size.empty() && *end == '\0';
  expected_crc_ = static_cast<std::uint32_t>(std::strtoul(crc.c_str(), &end, 16));
  const bool crc_ok = crc.size() == 8 && *end == '\0';
  if (image_model_.empty() || version_.empty() || version_.size() > 127 || !size_ok || !crc_ok)
    header_bad_ = true;
}

FirmwareImageChecker::Verdict FirmwareImageChecker::Finish() const {
  if (!header_done_ || header_bad_)
    return Verdict::kBadHeader;
  if (image_model_ != model_)
    return Verdict::kWrongModel;
  if (body_ < size_)
    return Verdict::kTruncated;
  if (body_ > size_)
    return Verdict::kTooLong;
  return crc_ == expected_crc_ ? Verdict::kOk : Verdict::kBadChecksum;
}

const char* FirmwareImageChecker::VerdictText(Verdict v) {
  switch (v) {
    case Verdict::kOk:
      return "image accepted";
    case Verdict::kBadHeader:
      return "not a firmware image";
    case Verdict::kWrongModel:
      return "image for another model";
    case Verdict::kTruncated:
      return "image truncated";
    case Verdict::kTooLong:
      return "image longer than its header says";
    case Verdict::kBadChecksum:
      return "image checksum wrong";
  }
  return "?";
}

}  // namespace vdz::sdkproto
