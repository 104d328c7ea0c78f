#include "protocol/frame.h"

#include "protocol/payload.h"

namespace vdz::sdkproto {

bool IsKnownFrameType(std::uint8_t type) {
  switch (static_cast<FrameType>(type)) {
    case FrameType::kChallenge:
    case FrameType::kLogin:
    case FrameType::kLoginReply:
    case FrameType::kRequest:
    case FrameType::kResponse:
    case FrameType::kEvent:
    case FrameType::kAux:
    case FrameType::kPing:
    case FrameType::kPong:
    case FrameType::kFileBegin:
    case FrameType::kFileData:
    case FrameType::kFileAck:
    case FrameType::kFileEnd:
      return true;
  }
  return false;
}

HeaderCheck DecodeHeader(const std::uint8_t* bytes, FrameHeader& out) {
  if (LoadU32(bytes) != kMagic)
    return HeaderCheck::kBadMagic;
  if (bytes[4] != kVersion)
    return HeaderCheck::kBadVersion;
  if (!IsKnownFrameType(bytes[5]))
    return HeaderCheck::kBadType;
  const std::uint32_t length = LoadU32(bytes + 12);
  if (length > kMaxPayload)
    return HeaderCheck::kTooLong;
  out.type = static_cast<FrameType>(bytes[5]);
  out.sequence = LoadU32(bytes + 8);
  out.length = length;
  return HeaderCheck::kOk;
}

void AppendFrame(std::string& out, FrameType type, std::uint32_t sequence,
                 std::string_view payload) {
  PayloadWriter w(out);
  w.U32(kMagic);
  w.U8(kVersion);
  w.U8(static_cast<std::uint8_t>(type));
  w.U16(0);
  w.U32(sequence);
  w.U32(static_cast<std::uint32_t>(payload.size()));
  w.Bytes(payload);
}

const char* HeaderCheckText(HeaderCheck check) {
  switch (check) {
    case HeaderCheck::kOk:
      return "ok";
    case HeaderCheck::kBadMagic:
      return "bad magic";
    case HeaderCheck::kBadVersion:
      return "bad version";
    case HeaderCheck::kBadType:
      return "unknown frame type";
    case HeaderCheck::kTooLong:
      return "frame too long";
  }
  return "?";
}

}  // namespace vdz::sdkproto
