#include "audio/audio_decode_mp3.h"

#include <cstdarg>
// lame.h needs va_list first.
#include <lame/lame.h>

#include <cstdio>
#include <cstring>
#include <list>
#include <memory>
#include <vector>

#include "audio/id3v2_tag.h"

namespace vdz::audio {

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

struct HipCloser {
  void operator()(hip_global_flags* h) const { hip_decode_exit(h); }
};
using HipPtr = std::unique_ptr<hip_global_flags, HipCloser>;

// LAME's decoder prints to stderr by default; a hostile file must not flood it.
void Quiet(const char*, va_list) {}

}  // namespace

int CAudioDecodeMp3::Decode() {
  FilePtr file(std::fopen(path().c_str(), "rb"));
  if (!file)
    return kDecodeCannotOpen;
  if (std::fseek(file.get(), 0, SEEK_END) != 0 || std::ftell(file.get()) <= 0)
    return kDecodeCannotOpen;
  std::rewind(file.get());

  HipPtr hip(hip_decode_init());
  if (!hip)
    return kDecodeCannotOpen;
  hip_set_errorf(hip.get(), Quiet);
  hip_set_debugf(hip.get(), Quiet);
  hip_set_msgf(hip.get(), Quiet);

  unsigned char head[kId3HeaderSize];
  const std::size_t got = std::fread(head, 1, sizeof head, file.get());
  const std::uint64_t start = Id3v2AudioOffset(head, got);
  if (std::fseek(file.get(), static_cast<long>(start), SEEK_SET) != 0)
    return kDecodeNoAudio;

  std::list<std::vector<char>> chunks;
  std::uint64_t total = 0;
  bool format_fixed = false;
  int in_channels = 1;
  bool too_long = false;
  resampler_.Close();

  auto keep = [&](const char* bytes, std::size_t n) {
    if (n == 0)
      return;
    total += n;
    if (total > kMaxPcmBytes) {
      too_long = true;
      return;
    }
    chunks.emplace_back(bytes, bytes + n);
  };

  while (!too_long) {
    const std::size_t n = std::fread(input_, 1, kInputBlock, file.get());
    if (n == 0)
      break;
    if (n < static_cast<std::size_t>(kInputBlock))
      std::memset(input_ + n, 0, kInputBlock - n);
    mp3data_struct info{};
    int samples = hip_decode1_headers(hip.get(), input_, kInputBlock, left_, right_, &info);
    while (samples >= 1 && samples <= kMaxFrameSamples && !too_long) {
      if (!format_fixed) {
        if (info.header_parsed == 0) {
          samples = hip_decode1_headers(hip.get(), input_, 0, left_, right_, &info);
          continue;
        }
        in_channels = info.stereo == 2 ? 2 : 1;
        const int in_rate = info.samplerate != 0 ? info.samplerate : 16000;
        format_fixed = true;
        if (in_channels != channels() || in_rate != sample_rate()) {
          if (!resampler_.Open(channels(), in_channels, sample_rate(), in_rate))
            return kDecodeCannotOpen;
        }
      }
      const bool frame_stereo = info.stereo == 2;
      int k = 0;
      for (int i = 0; i < samples; ++i) {
        if (!frame_stereo) {
          interleaved_[k++] = left_[i];
        } else if (in_channels == 2) {
          interleaved_[k++] = left_[i];
          interleaved_[k++] = right_[i];
        } else {
          interleaved_[k++] = static_cast<short>((left_[i] + right_[i]) >> 1);
        }
      }
      // A mono frame inside a stereo stream still fills both channels' worth of samples.
      if (!frame_stereo && in_channels == 2) {
        for (int i = samples - 1; i >= 0; --i) {
          interleaved_[2 * i] = left_[i];
          interleaved_[2 * i + 1] = left_[i];
        }
      }
      std::size_t bytes = static_cast<std::size_t>(samples) * in_channels * 2;
      if (resampler_.open()) {
        const int out = resampler_.Convert(interleaved_, samples, converted_, sizeof converted_);
        if (out > 0)
          keep(converted_, static_cast<std::size_t>(out));
      } else {
        keep(reinterpret_cast<const char*>(interleaved_), bytes);
      }
      samples = hip_decode1_headers(hip.get(), input_, 0, left_, right_, &info);
    }
  }
  // What the converter still holds belongs to the end of the file.
  if (resampler_.open() && !too_long) {
    for (;;) {
      const int out = resampler_.Convert(nullptr, 0, converted_, sizeof converted_);
      if (out <= 0)
        break;
      keep(converted_, static_cast<std::size_t>(out));
    }
  }
  resampler_.Close();
  hip.reset();
  file.reset();

  if (too_long)
    return kDecodeTooLong;
  if (total == 0) {
    AllocBuffer(0);
    return kDecodeNoAudio;
  }
  if (AllocBuffer(BlockCapacity(total)) != 0)
    return kDecodeTooLong;
  for (const std::vector<char>& chunk : chunks)
    Append(chunk.data(), chunk.size());
  return 0;
}

}  // namespace vdz::audio
