#include "protocol/firmware_image.h"

#include <cstdio>
#include <cstdlib>

namespace vdz::sdkproto {

namespace {

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
  if (image_model_.empty() || version_.empty() || version_.size() > 127 || !size_ok || !crc_ok) {
    // A refused header names nothing: its version could be any length.
    header_bad_ = true;
    image_model_.clear();
    version_.clear();
  }
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
