// Sample-rate and channel conversion of interleaved signed 16-bit PCM (libswresample).
#pragma once

#include <cstddef>

struct SwrContext;

namespace vdz::audio {

class PcmResampler {
 public:
  PcmResampler() = default;
  ~PcmResampler() { Close(); }
  PcmResampler(const PcmResampler&) = delete;
  PcmResampler& operator=(const PcmResampler&) = delete;

  // False when no converter can be had (for example more than 2 input channels).
  bool Open(int out_channels, int in_channels, int out_rate, int in_rate);
  void Close();
  bool open() const { return ctx_ != nullptr; }
  // Converts `in_samples` frames into `out` (room for `out_bytes`); the output byte count,
  // or -1. A null `in` drains what the converter still holds.
  int Convert(const short* in, int in_samples, char* out, std::size_t out_bytes);

 private:
  SwrContext* ctx_ = nullptr;
  int out_channels_ = 1;
  int in_channels_ = 1;
};

}  // namespace vdz::audio
