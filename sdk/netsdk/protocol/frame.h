// Frame layout of our device SDK protocol (see docs/sdk-protocol.md), shared by both sides.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vdz::sdkproto {

inline constexpr std::uint32_t kMagic = 0x514D4E53;  // "QMNS"
inline constexpr std::uint8_t kVersion = 1;
inline constexpr std::size_t kHeaderSize = 16;
// Anything announcing more is hostile or broken: the line is dropped before allocating.
inline constexpr std::uint32_t kMaxPayload = 1024 * 1024;
inline constexpr std::size_t kNonceSize = 16;

enum class FrameType : std::uint8_t {
  kChallenge = 0x01,
  kLogin = 0x02,
  kLoginReply = 0x03,
  kRequest = 0x10,
  kResponse = 0x11,
  kEvent = 0x20,
  kAux = 0x21,
  kPing = 0x30,
  kPong = 0x31,
  kFileBegin = 0x40,
  kFileData = 0x41,
  kFileAck = 0x42,
  kFileEnd = 0x43,
};

enum class RequestOp : std::uint16_t {
  kSetConfig = 1,
  kGetConfig = 2,
  kSystemControl = 3,
  kReboot = 4,
  kPtzPreset = 5,
  kPtzControl = 6,
  kCreateIFrame = 7,
  kTalkStart = 8,  // text: the talk parameters; the device answers with event 6, 35, 36 or 37
  kTalkStop = 9,   // the device closes its receiver; event 8
  kPlayFile = 10,  // argument: mode, text: a stored MP3 file the device plays
  kStopPlay = 11,
};

bool IsKnownFrameType(std::uint8_t type);

struct FrameHeader {
  FrameType type = FrameType::kPing;
  std::uint32_t sequence = 0;
  std::uint32_t length = 0;
};

enum class HeaderCheck { kOk, kBadMagic, kBadVersion, kBadType, kTooLong };

// Reads the first kHeaderSize bytes of `bytes` (caller guarantees that many).
HeaderCheck DecodeHeader(const std::uint8_t* bytes, FrameHeader& out);

// Appends one whole frame to `out`; the payload must not exceed kMaxPayload.
void AppendFrame(std::string& out, FrameType type, std::uint32_t sequence,
                 std::string_view payload);

const char* HeaderCheckText(HeaderCheck check);

}  // namespace vdz::sdkproto
