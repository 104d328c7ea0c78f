#include "audio/audio_decode_mp3.h"

#include <cstdarg>
// lame.h needs va_list first.
#include <lame/lame.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

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

// The decoded PCM, grown by doubling with realloc (which moves large blocks by remapping, not
// copying) and handed to the pacer as it is: no per-frame allocations, no final copy.
class GrowingBlock {
 public:
  bool Add(const char* bytes, std::size_t n) {
    if (size_ + n > capacity_) {
      std::size_t capacity = capacity_ == 0 ? std::size_t{1} << 20 : capacity_ * 2;
      while (capacity < size_ + n)
        capacity *= 2;
      if (!Resize(capacity))
        return false;
    }
    std::memcpy(block_.get() + size_, bytes, n);
    size_ += n;
    return true;
  }
  bool Resize(std::size_t capacity) {
    char* grown = static_cast<char*>(std::realloc(block_.get(), capacity));
    if (grown == nullptr)
      return false;
    block_.release();
    block_.reset(grown);
    capacity_ = capacity;
    return true;
  }
  std::size_t size() const { return size_; }
  PcmBlock Release() { return std::move(block_); }

 private:
  PcmBlock block_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

// LAME's decoder keeps its synthesis tables in globals that every hip_decode_init rewrites: a
// decoder started beside a running one corrupts it. Decodes run one at a time.
std::mutex g_hip_lock;

}  // namespace

int CAudioDecodeMp3::Decode() {
  std::lock_guard one_at_a_time(g_hip_lock);
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

  GrowingBlock pcm;
  std::uint64_t total = 0;
  bool format_fixed = false;
  int in_channels = 1;
  // What the converter is fed: a mono talk gets every frame mixed down here, once, so the
  // converter only resamples one channel.
  int feed_channels = 1;
  bool too_long = false;
  resampler_.Close();

  auto keep = [&](const char* bytes, std::size_t n) {
    if (n == 0)
      return;
    total += n;
    if (total > kMaxPcmBytes || !pcm.Add(bytes, n))
      too_long = true;
  };

  while (!too_long && !(probe_ && total > 0)) {
    if (stop_.stop_requested())
      return kDecodeCannotOpen;
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
        feed_channels = channels() == 1 ? 1 : in_channels;
        const int in_rate = info.samplerate != 0 ? info.samplerate : 16000;
        format_fixed = true;
        if (feed_channels != channels() || in_rate != sample_rate()) {
          if (!resampler_.Open(channels(), feed_channels, sample_rate(), in_rate))
            return kDecodeCannotOpen;
        }
      }
      const bool frame_stereo = info.stereo == 2;
      if (feed_channels == 2) {
        // A mono frame inside a stereo stream still fills both channels.
        const short* right = frame_stereo ? right_ : left_;
        for (int i = 0; i < samples; ++i) {
          interleaved_[2 * i] = left_[i];
          interleaved_[2 * i + 1] = right[i];
        }
      } else if (frame_stereo) {
        for (int i = 0; i < samples; ++i)
          interleaved_[i] = static_cast<short>((left_[i] + right_[i]) >> 1);
      } else {
        std::memcpy(interleaved_, left_, static_cast<std::size_t>(samples) * sizeof(short));
      }
      const std::size_t bytes = static_cast<std::size_t>(samples) * feed_channels * 2;
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

  if (probe_)
    return total > 0 ? 0 : kDecodeNoAudio;
  if (too_long)
    return kDecodeTooLong;
  if (total == 0) {
    AllocBuffer(0);
    return kDecodeNoAudio;
  }
  const std::size_t capacity = BlockCapacity(total);
  if (!pcm.Resize(capacity))
    return kDecodeTooLong;
  AdoptBuffer(pcm.Release(), capacity, total);
  return 0;
}

int CAudioDecodeMp3::Probe(const std::string& path) {
  // The decoder's buffers are too large for a stack.
  auto decoder = std::make_unique<CAudioDecodeMp3>(nullptr, path, 16000, 1, 640, nullptr);
  decoder->probe_ = true;
  return decoder->Decode();
}

}  // namespace vdz::audio
