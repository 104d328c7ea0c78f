#include "audio/audio_decode_base.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace vdz::audio {

int PacingChunkSize(int sample_rate, int channels) {
  if (sample_rate <= 0 || channels < 1 || channels > 2)
    return 0;
  return static_cast<int>(static_cast<unsigned>(sample_rate) * (1u << (channels - 1)) * 2u / 25u);
}

CAudioDecodeBase::CAudioDecodeBase(AudioDecodeOwner* owner, std::string path, int sample_rate,
                                   int channels, int /*chunk_hint*/, AudioChunkSink sink)
    : owner_(owner),
      path_(std::move(path)),
      sample_rate_(sample_rate),
      channels_(channels),
      chunk_size_(PacingChunkSize(sample_rate, channels)),
      sink_(sink),
      timer_factory_(ThreadTimerFactory()) {}

CAudioDecodeBase::~CAudioDecodeBase() {
  // The timer goes first and waits for a running tick: the tick reads the buffer.
  KillTimer();
}

void FreeBlock::operator()(char* block) const {
  std::free(block);
}

int CAudioDecodeBase::AllocBuffer(std::size_t size) {
  buffer_.reset();
  capacity_ = 0;
  data_length_ = 0;
  if (size == 0)
    return 0;
  buffer_.reset(static_cast<char*>(std::malloc(size)));
  if (!buffer_)
    return -1;
  capacity_ = size;
  return 0;
}

void CAudioDecodeBase::AdoptBuffer(PcmBlock block, std::size_t capacity, std::size_t length) {
  buffer_ = std::move(block);
  capacity_ = buffer_ ? capacity : 0;
  data_length_ = buffer_ ? std::min(length, capacity) : 0;
}

void CAudioDecodeBase::Append(const char* data, std::size_t length) {
  const std::size_t room = capacity_ - data_length_;
  const std::size_t n = std::min(room, length);
  if (n > 0)
    std::memcpy(buffer_.get() + data_length_, data, n);
  data_length_ += n;
}

void CAudioDecodeBase::KillTimer() {
  timer_id_.store(0);
  if (timer_) {
    timer_->Kill();
    timer_.reset();
  }
}

int CAudioDecodeBase::StartPacing(bool tick_now) {
  KillTimer();
  const unsigned id = NextTimerId();
  // The id is kept before the first tick can come.
  timer_id_.store(id);
  if (tick_now) {
    Tick(id);
    if (timer_id_.load() != id)
      return 0;  // that tick was the file's last
  }
  timer_ = timer_factory_(id, std::chrono::milliseconds(kPacingPeriodMs),
                          [this](unsigned tick_id) { Tick(tick_id); });
  if (!timer_) {
    timer_id_.store(0);
    return -1;
  }
  return 0;
}

void CAudioDecodeBase::StopPacing() {
  KillTimer();
}

void CAudioDecodeBase::Tick(unsigned timer_id) {
  if (timer_id == 0 || timer_id != timer_id_.load())
    return;
  if (tick_count_++ < lead_ticks_)
    return;
  if (position_ >= data_length_)
    position_ = 0;
  const std::size_t remaining = data_length_ - position_;
  const std::size_t n = std::min(static_cast<std::size_t>(chunk_size_), remaining);
  if (sink_ != nullptr)
    sink_(owner_, buffer_ ? buffer_.get() + position_ : nullptr, static_cast<unsigned>(n));
  position_ += n;
  if (position_ < data_length_)
    return;
  if (--repeat_count_ <= 0) {
    // On the timer thread: the timer object stays until the UI thread replaces or destroys
    // it, but it ticks no more and a late tick is refused by the cleared id.
    timer_id_.store(0);
    if (timer_)
      timer_->Kill();
    if (owner_ != nullptr)
      owner_->PostEndOfFile();
  }
  position_ = 0;
}

}  // namespace vdz::audio
