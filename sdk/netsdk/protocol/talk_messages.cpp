#include "protocol/talk_messages.h"

#include <charconv>

namespace vdz::sdkproto {

namespace {

constexpr const char* kTransports[] = {"udp", "tcp", "multicast"};
constexpr const char* kCodecs[] = {"g711u", "aac", "pcm"};

std::string_view Value(std::string_view text, std::string_view key) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find(' ', pos);
    if (end == std::string_view::npos)
      end = text.size();
    const std::string_view word = text.substr(pos, end - pos);
    if (word.size() > key.size() && word.substr(0, key.size()) == key && word[key.size()] == '=')
      return word.substr(key.size() + 1);
    pos = end + 1;
  }
  return {};
}

bool ToInt(std::string_view s, int& v) {
  const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

}  // namespace

bool ValidTalkParameters(const TalkParameters& p) {
  const bool rate = p.sample_rate == 8000 || p.sample_rate == 16000 || p.sample_rate == 32000 ||
                    p.sample_rate == 48000;
  return rate && (p.channels == 1 || p.channels == 2) && static_cast<int>(p.transport) >= 0 &&
         static_cast<int>(p.transport) <= 2 && static_cast<int>(p.codec) >= 0 &&
         static_cast<int>(p.codec) <= 2;
}

std::string FormatTalkParameters(const TalkParameters& p) {
  std::string s = "transport=";
  s += kTransports[static_cast<int>(p.transport)];
  s += " codec=";
  s += kCodecs[static_cast<int>(p.codec)];
  s += " rate=" + std::to_string(p.sample_rate) + " channels=" + std::to_string(p.channels);
  if (!p.group.empty())
    s += " group=" + p.group;
  return s;
}

std::optional<TalkParameters> ParseTalkParameters(std::string_view text) {
  TalkParameters p;
  const std::string_view transport = Value(text, "transport");
  const std::string_view codec = Value(text, "codec");
  int found = 0;
  for (int i = 0; i < 3; ++i) {
    if (transport == kTransports[i]) {
      p.transport = static_cast<TalkTransport>(i);
      found |= 1;
    }
    if (codec == kCodecs[i]) {
      p.codec = static_cast<TalkCodec>(i);
      found |= 2;
    }
  }
  if (found != 3 || !ToInt(Value(text, "rate"), p.sample_rate) ||
      !ToInt(Value(text, "channels"), p.channels))
    return std::nullopt;
  p.group = std::string(Value(text, "group"));
  if (p.transport == TalkTransport::kMulticast && p.group.empty())
    return std::nullopt;
  return p;
}

std::optional<std::uint16_t> ParseTalkPort(std::string_view text) {
  std::string_view port = Value(text, "port");
  if (port.empty()) {
    const std::string_view group = Value(text, "group");
    const std::size_t colon = group.rfind(':');
    if (colon == std::string_view::npos)
      return std::nullopt;
    port = group.substr(colon + 1);
  }
  int v = 0;
  if (!ToInt(port, v) || v <= 0 || v > 65535)
    return std::nullopt;
  return static_cast<std::uint16_t>(v);
}

int RtpPayloadType(TalkCodec codec, int sample_rate, int channels) {
  switch (codec) {
    case TalkCodec::kG711u:
      return sample_rate == 8000 && channels == 1 ? 0 : 98;
    case TalkCodec::kAac:
      return 97;
    case TalkCodec::kPcm:
    default:
      if (sample_rate == 44100)
        return channels == 2 ? 10 : 11;
      return 96;
  }
}

void AppendRtpHeader(std::string& out, const RtpHeader& h) {
  out.push_back(static_cast<char>(0x80));
  out.push_back(static_cast<char>((h.marker ? 0x80 : 0) | (h.payload_type & 0x7F)));
  out.push_back(static_cast<char>(h.sequence >> 8));
  out.push_back(static_cast<char>(h.sequence));
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<char>(h.timestamp >> shift));
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<char>(h.ssrc >> shift));
}

std::optional<std::string_view> ParseRtp(std::string_view packet, RtpHeader& h) {
  if (packet.size() < kRtpHeaderSize)
    return std::nullopt;
  const auto* p = reinterpret_cast<const unsigned char*>(packet.data());
  if ((p[0] >> 6) != 2)
    return std::nullopt;
  const bool padding = (p[0] & 0x20) != 0;
  const bool extension = (p[0] & 0x10) != 0;
  const std::size_t csrc = p[0] & 0x0F;
  h.marker = (p[1] & 0x80) != 0;
  h.payload_type = p[1] & 0x7F;
  h.sequence = static_cast<std::uint16_t>((p[2] << 8) | p[3]);
  h.timestamp =
      (std::uint32_t{p[4]} << 24) | (std::uint32_t{p[5]} << 16) | (std::uint32_t{p[6]} << 8) | p[7];
  h.ssrc = (std::uint32_t{p[8]} << 24) | (std::uint32_t{p[9]} << 16) | (std::uint32_t{p[10]} << 8) |
           p[11];
  std::size_t offset = kRtpHeaderSize + 4 * csrc;
  if (offset > packet.size())
    return std::nullopt;
  if (extension) {
    if (offset + 4 > packet.size())
      return std::nullopt;
    const std::size_t words = (std::size_t{p[offset + 2]} << 8) | p[offset + 3];
    offset += 4 + 4 * words;
    if (offset > packet.size())
      return std::nullopt;
  }
  std::size_t end = packet.size();
  if (padding) {
    const std::size_t pad = p[end - 1];
    if (pad == 0 || pad > end - offset)
      return std::nullopt;
    end -= pad;
  }
  return packet.substr(offset, end - offset);
}

void AppendAacAuHeader(std::string& out, std::size_t access_unit_size) {
  out.push_back(0);
  out.push_back(16);
  const unsigned v = static_cast<unsigned>(access_unit_size & 0x1FFF) << 3;
  out.push_back(static_cast<char>(v >> 8));
  out.push_back(static_cast<char>(v));
}

std::optional<std::string_view> ParseAacAccessUnit(std::string_view payload) {
  if (payload.size() < 4)
    return std::nullopt;
  const auto* p = reinterpret_cast<const unsigned char*>(payload.data());
  const std::size_t header_bits = (std::size_t{p[0]} << 8) | p[1];
  const std::size_t header_bytes = (header_bits + 7) / 8;
  if (header_bits < 16 || 2 + header_bytes > payload.size())
    return std::nullopt;
  const std::size_t size = ((std::size_t{p[2]} << 8) | p[3]) >> 3;
  const std::size_t start = 2 + header_bytes;
  if (size == 0 || start + size > payload.size())
    return std::nullopt;
  return payload.substr(start, size);
}

}  // namespace vdz::sdkproto
