// Audio decoding of one port with libavcodec into interleaved 16-bit samples.
#pragma once

#include <cstdint>
#include <vector>

#include "rtspclient/qm_rtsp_client.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace vdz::player {

struct PcmBlock {
  int sample_rate = 0;
  int channels = 0;
  std::vector<int16_t> samples;  // interleaved
};

class AudioDecoder {
 public:
  AudioDecoder() = default;
  ~AudioDecoder();
  AudioDecoder(const AudioDecoder&) = delete;
  AudioDecoder& operator=(const AudioDecoder&) = delete;

  // 0, -2 unsupported codec, -3 the decoder did not open.
  int Setup(const QM_RTSP_AUDIO_HEADER& header);
  // Appends the decoded samples to *out. 0, -2 the data did not decode.
  int Decode(const uint8_t* data, int length, PcmBlock* out);
  int64_t frames() const { return frames_; }

 private:
  AVCodecContext* ctx_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  int64_t frames_ = 0;
};

}  // namespace vdz::player
