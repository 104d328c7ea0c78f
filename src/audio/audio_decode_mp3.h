// An MP3 file decoded whole into the talk's PCM format before pacing starts, so the timer
// path never decodes.
#pragma once

#include <cstdint>
#include <stop_token>
#include <string>

#include "audio/audio_decode_base.h"
#include "audio/pcm_resampler.h"

namespace vdz::audio {

// Decode() results besides 0.
inline constexpr int kDecodeCannotOpen = -1;  // missing, unreadable or zero-length file
inline constexpr int kDecodeNoAudio = -2;     // read to its end without one MP3 frame
inline constexpr int kDecodeTooLong = -3;     // more PCM than the block may hold

class CAudioDecodeMp3 final : public CAudioDecodeBase {
 public:
  static constexpr int kInputBlock = 640;
  static constexpr int kMaxFrameSamples = 2304;
  // 2304 samples, 2 channels, 2 bytes, up-sampling by at most 6 (8000 -> 48000 Hz).
  static constexpr int kConvertBytes = kMaxFrameSamples * 2 * 2 * 6;
  // Half an hour of 48 kHz stereo: a larger block is refused rather than exhaust memory.
  static constexpr std::uint64_t kMaxPcmBytes = 48000ull * 4 * 1800;

  using CAudioDecodeBase::CAudioDecodeBase;

  int Decode() override;
  // 0 when the file holds at least one MP3 frame of audio, else as Decode(); decodes only
  // that far and keeps nothing.
  static int Probe(const std::string& path);
  // A stop request ends a decode early with kDecodeCannotOpen.
  void SetStopToken(std::stop_token stop) { stop_ = std::move(stop); }

 private:
  unsigned char input_[kInputBlock] = {};
  short left_[kMaxFrameSamples] = {};
  short right_[kMaxFrameSamples] = {};
  short interleaved_[2 * kMaxFrameSamples] = {};
  char converted_[kConvertBytes] = {};
  PcmResampler resampler_;
  std::stop_token stop_;
  bool probe_ = false;  // stop at the first audio
};

}  // namespace vdz::audio
