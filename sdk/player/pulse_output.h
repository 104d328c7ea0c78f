// Sound out through the PulseAudio server, on a writer thread of its own so that a slow or
// missing server never holds up the stream's thread.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "player/audio_decoder.h"

namespace vdz::player {

class PulseOutput {
 public:
  PulseOutput() = default;
  ~PulseOutput();
  PulseOutput(const PulseOutput&) = delete;
  PulseOutput& operator=(const PulseOutput&) = delete;

  // Queues samples; drops the oldest beyond about a second, so nothing grows when no one
  // listens.
  void Play(PcmBlock block);
  // Drops what is queued and closes the server stream.
  void Stop();

 private:
  void Run();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<PcmBlock> queue_;
  std::size_t queued_samples_ = 0;
  bool stopping_ = false;
  bool flush_ = false;
  std::thread thread_;
};

}  // namespace vdz::player
