#include "audio_capture.h"

#include <pthread.h>
#include <pulse/error.h>
#include <pulse/simple.h>

#include <chrono>
#include <cstdlib>
#include <vector>

namespace vdz::netsdk {

namespace {
constexpr int kChunkMs = 40;
}

AudioCapture& AudioCapture::Instance() {
  static AudioCapture capture;
  return capture;
}

int AudioCapture::Start(int sample_rate, int channels, QM_NETSDK_AudioCaptureCallBack callback,
                        void* owner) {
  if (sample_rate <= 0 || sample_rate > 192000 || channels < 1 || channels > 2)
    return QM_NETSDK_ERR_INVALID_ARG;
  Stop();
  std::lock_guard lock(mutex_);
  stop_ = false;
  state_ = 0;
  why_ = "starting";
  try {
    thread_ = std::thread([=, this] { Run(sample_rate, channels, callback, owner); });
  } catch (...) {
    state_ = -1;
    return QM_NETSDK_ERR_RESOURCE;
  }
  return QM_NETSDK_OK;
}

int AudioCapture::Stop() {
  std::thread t;
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
    t = std::move(thread_);
  }
  wake_.notify_all();
  if (t.joinable())
    t.join();
  std::lock_guard lock(mutex_);
  state_ = -1;
  return QM_NETSDK_OK;
}

int AudioCapture::State(std::string* why) const {
  std::lock_guard lock(mutex_);
  if (why != nullptr)
    *why = why_;
  return state_;
}

void AudioCapture::Run(int sample_rate, int channels, QM_NETSDK_AudioCaptureCallBack callback,
                       void* owner) {
  pthread_setname_np(pthread_self(), "vdz-capture");
  const std::size_t bytes = static_cast<std::size_t>(sample_rate) * channels * 2 * kChunkMs / 1000;
  std::vector<char> chunk(bytes, 0);

  pa_sample_spec sample_format{};
  sample_format.format = PA_SAMPLE_S16LE;
  sample_format.rate = static_cast<std::uint32_t>(sample_rate);
  sample_format.channels = static_cast<std::uint8_t>(channels);
  pa_buffer_attr attr{};
  attr.maxlength = static_cast<std::uint32_t>(-1);
  attr.fragsize = static_cast<std::uint32_t>(bytes);
  int error = 0;
  pa_simple* pa = nullptr;
  // Tests and headless machines can say there is no microphone without a sound server.
  if (std::getenv("VDZ_NO_MICROPHONE") == nullptr)
    pa = pa_simple_new(nullptr, "ViDuZaver", PA_STREAM_RECORD, nullptr, "talk", &sample_format,
                       nullptr, &attr, &error);
  {
    std::lock_guard lock(mutex_);
    state_ = pa != nullptr ? 1 : 0;
    why_ = pa != nullptr ? "microphone" : (error != 0 ? pa_strerror(error) : "no microphone");
  }

  auto deadline = std::chrono::steady_clock::now();
  while (!stop_) {
    if (pa != nullptr) {
      if (pa_simple_read(pa, chunk.data(), chunk.size(), &error) < 0) {
        pa_simple_free(pa);
        pa = nullptr;
        std::fill(chunk.begin(), chunk.end(), 0);
        std::lock_guard lock(mutex_);
        state_ = 0;
        why_ = pa_strerror(error);
        deadline = std::chrono::steady_clock::now();
        continue;
      }
    } else {
      deadline += std::chrono::milliseconds(kChunkMs);
      std::unique_lock lock(mutex_);
      wake_.wait_until(lock, deadline, [this] { return stop_.load(); });
    }
    if (!stop_ && callback != nullptr)
      callback(chunk.data(), static_cast<int>(chunk.size()), owner);
  }
  if (pa != nullptr)
    pa_simple_free(pa);
}

}  // namespace vdz::netsdk
