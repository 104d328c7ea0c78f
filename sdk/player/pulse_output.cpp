#include "player/pulse_output.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <chrono>
#include <cstdio>

namespace vdz::player {

PulseOutput::~PulseOutput() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable())
    thread_.join();
}

void PulseOutput::Play(PcmBlock block) {
  if (block.samples.empty() || block.sample_rate < 1 || block.channels < 1)
    return;
  {
    std::lock_guard lock(mutex_);
    if (!thread_.joinable())
      thread_ = std::thread([this] { Run(); });
    flush_ = false;
    queued_samples_ += block.samples.size();
    const std::size_t limit = static_cast<std::size_t>(block.sample_rate * block.channels);
    queue_.push_back(std::move(block));
    while (queued_samples_ > limit && queue_.size() > 1) {
      queued_samples_ -= queue_.front().samples.size();
      queue_.pop_front();
    }
  }
  wake_.notify_all();
}

void PulseOutput::Stop() {
  {
    std::lock_guard lock(mutex_);
    queue_.clear();
    queued_samples_ = 0;
    flush_ = true;
  }
  wake_.notify_all();
}

void PulseOutput::Run() {
  pa_simple* stream = nullptr;
  int rate = 0;
  int channels = 0;
  bool told_missing = false;
  auto next_try = std::chrono::steady_clock::time_point{};
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    wake_.wait(lock, [&] { return stopping_ || flush_ || !queue_.empty(); });
    if (stopping_)
      break;
    if (flush_ || queue_.empty()) {
      flush_ = false;
      if (stream != nullptr) {
        lock.unlock();
        pa_simple_free(stream);
        lock.lock();
        stream = nullptr;
      }
      continue;
    }
    PcmBlock block = std::move(queue_.front());
    queue_.pop_front();
    queued_samples_ -= block.samples.size();
    lock.unlock();
    if (stream != nullptr && (rate != block.sample_rate || channels != block.channels)) {
      pa_simple_free(stream);
      stream = nullptr;
    }
    if (stream == nullptr && std::chrono::steady_clock::now() >= next_try) {
      pa_sample_spec sample_format{};
      sample_format.format = PA_SAMPLE_S16LE;
      sample_format.rate = static_cast<uint32_t>(block.sample_rate);
      sample_format.channels = static_cast<uint8_t>(block.channels);
      int error = 0;
      stream = pa_simple_new(nullptr, "ViDuZaver", PA_STREAM_PLAYBACK, nullptr, "live preview",
                             &sample_format, nullptr, nullptr, &error);
      if (stream == nullptr) {
        // Without a sound server the preview stays silent; ask again now and then.
        if (!told_missing)
          std::fprintf(stderr, "player: no sound server (%s); preview sound is off\n",
                       pa_strerror(error));
        told_missing = true;
        next_try = std::chrono::steady_clock::now() + std::chrono::seconds(5);
      } else {
        rate = block.sample_rate;
        channels = block.channels;
      }
    }
    if (stream != nullptr) {
      int error = 0;
      if (pa_simple_write(stream, block.samples.data(), block.samples.size() * sizeof(int16_t),
                          &error) < 0) {
        pa_simple_free(stream);
        stream = nullptr;
      }
    }
    lock.lock();
  }
  lock.unlock();
  if (stream != nullptr)
    pa_simple_free(stream);
}

}  // namespace vdz::player
