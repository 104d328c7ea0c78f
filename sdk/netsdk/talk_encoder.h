// Turns the talk's PCM into RTP payloads of its codec, once for every device of the talk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "protocol/talk_messages.h"

namespace vdz::netsdk {

class TalkEncoder {
 public:
  // (payload, RTP timestamp offset in samples since the talk began)
  using PacketSink = std::function<void(std::string_view payload, std::uint32_t timestamp)>;

  virtual ~TalkEncoder() = default;
  // Interleaved signed 16-bit little-endian samples; a trailing partial frame is dropped.
  virtual void Input(const char* data, std::size_t bytes, const PacketSink& sink) = 0;

  // Null when the codec cannot be opened for this format.
  static std::unique_ptr<TalkEncoder> Create(sdkproto::TalkCodec codec, int sample_rate,
                                             int channels);
};

}  // namespace vdz::netsdk
