#include "protocol/payload.h"

namespace vdz::sdkproto {

void PayloadWriter::U16(std::uint16_t v) {
  U8(static_cast<std::uint8_t>(v >> 8));
  U8(static_cast<std::uint8_t>(v));
}

void PayloadWriter::U32(std::uint32_t v) {
  U16(static_cast<std::uint16_t>(v >> 16));
  U16(static_cast<std::uint16_t>(v));
}

void PayloadWriter::U64(std::uint64_t v) {
  U32(static_cast<std::uint32_t>(v >> 32));
  U32(static_cast<std::uint32_t>(v));
}

void PayloadWriter::Text16(std::string_view text) {
  if (text.size() > 0xFFFF)
    text = text.substr(0, 0xFFFF);
  U16(static_cast<std::uint16_t>(text.size()));
  Bytes(text);
}

bool PayloadReader::Bytes(std::size_t n, std::string_view& v) {
  if (n > in_.size() - pos_)
    return false;
  v = in_.substr(pos_, n);
  pos_ += n;
  return true;
}

bool PayloadReader::U16(std::uint16_t& v) {
  std::string_view b;
  if (!Bytes(2, b))
    return false;
  v = static_cast<std::uint16_t>((static_cast<std::uint8_t>(b[0]) << 8) |
                                 static_cast<std::uint8_t>(b[1]));
  return true;
}

bool PayloadReader::U32(std::uint32_t& v) {
  std::string_view b;
  if (!Bytes(4, b))
    return false;
  v = LoadU32(reinterpret_cast<const std::uint8_t*>(b.data()));
  return true;
}

bool PayloadReader::I32(std::int32_t& v) {
  std::uint32_t u = 0;
  if (!U32(u))
    return false;
  v = static_cast<std::int32_t>(u);
  return true;
}

bool PayloadReader::U64(std::uint64_t& v) {
  std::uint32_t hi = 0;
  std::uint32_t lo = 0;
  if (!U32(hi) || !U32(lo))
    return false;
  v = (std::uint64_t{hi} << 32) | lo;
  return true;
}

bool PayloadReader::Text16(std::string_view& v) {
  std::uint16_t n = 0;
  if (!U16(n))
    return false;
  return Bytes(n, v);
}

}  // namespace vdz::sdkproto
