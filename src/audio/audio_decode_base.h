// One PCM block for a talk, handed out 40 ms at a time by a periodic timer: the pacing half of
// the MP3 broadcast. Derived classes fill the block in Decode().
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>

#include "audio/pacing_timer.h"

namespace vdz::audio {

// The receiver of the end notice; it must hand the notice to its own thread, not act on it
// inside the call (which runs on the timer thread).
class AudioDecodeOwner {
 public:
  virtual void PostEndOfFile() = 0;

 protected:
  ~AudioDecodeOwner() = default;
};

// (owner, bytes, byte count), on the timer thread.
using AudioChunkSink = void (*)(AudioDecodeOwner* owner, const char* data, unsigned length);

inline constexpr int kPacingPeriodMs = 40;
// Ticks that send nothing after a decoder is made: lead time for the devices to join.
inline constexpr int kLeadTicks = 20;

// A PCM block from std::malloc, so that a decoder can grow it in place with std::realloc and
// hand it over without another copy.
struct FreeBlock {
  void operator()(char* block) const;
};
using PcmBlock = std::unique_ptr<char, FreeBlock>;

class CAudioDecodeBase {
 public:
  CAudioDecodeBase(AudioDecodeOwner* owner, std::string path, int sample_rate, int channels,
                   int chunk_hint, AudioChunkSink sink);
  virtual ~CAudioDecodeBase();
  CAudioDecodeBase(const CAudioDecodeBase&) = delete;
  CAudioDecodeBase& operator=(const CAudioDecodeBase&) = delete;

  virtual int AllocBuffer(std::size_t size);
  virtual int Decode() = 0;

  void Append(const char* data, std::size_t length);
  // Takes over a block of `capacity` bytes whose first `length` bytes are PCM.
  void AdoptBuffer(PcmBlock block, std::size_t capacity, std::size_t length);
  // `tick_now`: the first tick runs inside the call, before the timer exists, instead of one
  // period later: a broadcast moving on to its next file keeps its pace.
  int StartPacing(bool tick_now = false);
  void StopPacing();
  // The timer's call; public so a manual timer can drive it.
  void Tick(unsigned timer_id);

  // Tests and benchmarks make their own timers.
  void SetTimerFactory(TimerFactory factory) { timer_factory_ = std::move(factory); }

  int chunk_size() const { return chunk_size_; }
  int sample_rate() const { return sample_rate_; }
  int channels() const { return channels_; }
  const std::string& path() const { return path_; }
  const char* data() const { return buffer_.get(); }
  std::size_t data_length() const { return data_length_; }
  std::size_t capacity() const { return capacity_; }
  std::size_t position() const { return position_; }
  int tick_count() const { return tick_count_; }
  bool pacing() const { return timer_id_.load() != 0; }
  void set_repeat_count(int count) { repeat_count_ = count; }
  // Ticks that send nothing at the start of the decoder's life; none for a file that follows
  // another in a running broadcast, whose devices are waited for by the console instead.
  void set_lead_ticks(int ticks) { lead_ticks_ = ticks; }

 private:
  void KillTimer();

  AudioDecodeOwner* const owner_;
  const std::string path_;
  const int sample_rate_;
  const int channels_;
  int chunk_size_;
  const AudioChunkSink sink_;
  int repeat_count_ = 1;
  int lead_ticks_ = kLeadTicks;
  int tick_count_ = 0;
  std::size_t position_ = 0;
  PcmBlock buffer_;
  std::size_t capacity_ = 0;
  std::size_t data_length_ = 0;

  TimerFactory timer_factory_;
  std::atomic<unsigned> timer_id_{0};
  // Only the UI thread creates and destroys the timer object.
  std::unique_ptr<PeriodicTimer> timer_;
};

// 40 ms of 16-bit audio at the target format.
int PacingChunkSize(int sample_rate, int channels);
// Room for a block of `total` bytes: whole kilobytes, always at least one to spare.
inline std::size_t BlockCapacity(std::size_t total) {
  return (total / 1024 + 1) * 1024;
}

}  // namespace vdz::audio
