// The audio talk of our SDK protocol: the talk parameters a client announces, the device's
// answer, and RTP (RFC 3550) packets with RFC 4571 framing on TCP, shared by both sides.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vdz::sdkproto {

enum class TalkTransport { kUdp = 0, kTcp = 1, kMulticast = 2 };
enum class TalkCodec { kG711u = 0, kAac = 1, kPcm = 2 };

struct TalkParameters {
  TalkTransport transport = TalkTransport::kUdp;
  TalkCodec codec = TalkCodec::kPcm;
  int sample_rate = 8000;
  int channels = 1;
  std::string group;  // multicast: "a.b.c.d:port"
};

// Rates, channels and codecs a talk may have.
bool ValidTalkParameters(const TalkParameters& p);
// "transport=udp codec=pcm rate=32000 channels=1 [group=239.1.2.3:5004]"
std::string FormatTalkParameters(const TalkParameters& p);
std::optional<TalkParameters> ParseTalkParameters(std::string_view text);

// The device's event 6 text: "port=N" (UDP, TCP) or "group=a.b.c.d:port" (multicast).
std::optional<std::uint16_t> ParseTalkPort(std::string_view text);

// RTP payload types: the static ones where the format has one, else dynamic numbers as an
// SDP offer would give them (L16 96, AAC mpeg4-generic 97, PCMU at other rates 98).
int RtpPayloadType(TalkCodec codec, int sample_rate, int channels);

inline constexpr std::size_t kRtpHeaderSize = 12;
// Payload bytes per packet: below the Ethernet MTU, so no datagram is fragmented.
inline constexpr std::size_t kRtpMaxPayload = 1200;

struct RtpHeader {
  bool marker = false;
  std::uint8_t payload_type = 0;
  std::uint16_t sequence = 0;
  std::uint32_t timestamp = 0;
  std::uint32_t ssrc = 0;
};

void AppendRtpHeader(std::string& out, const RtpHeader& h);
// The payload of a version-2 packet (padding, CSRCs and the extension skipped), or nothing.
std::optional<std::string_view> ParseRtp(std::string_view packet, RtpHeader& h);

// RFC 3640 AAC-hbr: a 16-bit AU-headers length (16) and one AU header (13-bit size, index 0).
void AppendAacAuHeader(std::string& out, std::size_t access_unit_size);
std::optional<std::string_view> ParseAacAccessUnit(std::string_view payload);

}  // namespace vdz::sdkproto
