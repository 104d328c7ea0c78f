// Big-endian field writer and bounds-checked reader for frame payloads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vdz::sdkproto {

inline std::uint32_t LoadU32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         std::uint32_t{p[3]};
}

class PayloadWriter {
 public:
  explicit PayloadWriter(std::string& out) : out_(out) {}
  void U8(std::uint8_t v) { out_.push_back(static_cast<char>(v)); }
  void U16(std::uint16_t v);
  void U32(std::uint32_t v);
  void I32(std::int32_t v) { U32(static_cast<std::uint32_t>(v)); }
  void U64(std::uint64_t v);
  void Bytes(std::string_view bytes) { out_.append(bytes); }
  // u16 length and the bytes; longer texts are cut at 65535 bytes.
  void Text16(std::string_view text);

 private:
  std::string& out_;
};

// Every read fails (returns false, leaves the value alone) rather than run past the end.
class PayloadReader {
 public:
  explicit PayloadReader(std::string_view in) : in_(in) {}
  bool U16(std::uint16_t& v);
  bool U32(std::uint32_t& v);
  bool I32(std::int32_t& v);
  bool U64(std::uint64_t& v);
  bool Bytes(std::size_t n, std::string_view& v);
  bool Text16(std::string_view& v);
  std::string_view Rest() const { return in_.substr(pos_); }

 private:
  std::string_view in_;
  std::size_t pos_ = 0;
};

}  // namespace vdz::sdkproto
