// The workstation microphone for live talk, through PulseAudio (PipeWire serves the same
// interface). With no sound server or no capture device the talk still runs: the callback
// then gets silence at the same pace, and the reason is kept for the application to show.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "qm_netsdk.h"

namespace vdz::netsdk {

class AudioCapture {
 public:
  static AudioCapture& Instance();

  int Start(int sample_rate, int channels, QM_NETSDK_AudioCaptureCallBack callback, void* owner);
  int Stop();
  // 1 while the microphone is captured, 0 while silence stands in for it (reason in `why`),
  // -1 when no capture runs.
  int State(std::string* why) const;

 private:
  AudioCapture() = default;
  ~AudioCapture() { Stop(); }
  void Run(int sample_rate, int channels, QM_NETSDK_AudioCaptureCallBack callback, void* owner);

  mutable std::mutex mutex_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::condition_variable wake_;  // a stop ends the silence's wait at once
  int state_ = -1;
  std::string why_;
};

}  // namespace vdz::netsdk
