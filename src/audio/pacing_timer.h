// A periodic timer on its own thread that wakes on absolute deadlines of a fixed grid, so a
// late wake-up never shifts the ticks that follow.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace vdz::audio {

class PeriodicTimer {
 public:
  virtual ~PeriodicTimer() = default;
  // Asks the timer to stop; from the timer's own thread it only marks the stop, elsewhere it
  // also waits for a tick that is running.
  virtual void Kill() = 0;
};

// (timer id) -> ticks call back with that id until killed.
using TickFunction = std::function<void(unsigned timer_id)>;
using TimerFactory = std::function<std::unique_ptr<PeriodicTimer>(
    unsigned timer_id, std::chrono::microseconds period, TickFunction tick)>;

// The thread timer: the first tick one period after creation.
class ThreadTimer final : public PeriodicTimer {
 public:
  ThreadTimer(unsigned timer_id, std::chrono::microseconds period, TickFunction tick);
  ~ThreadTimer() override;
  ThreadTimer(const ThreadTimer&) = delete;
  ThreadTimer& operator=(const ThreadTimer&) = delete;
  void Kill() override;

 private:
  void Run();

  const unsigned id_;
  const std::chrono::microseconds period_;
  TickFunction tick_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::thread thread_;
};

TimerFactory ThreadTimerFactory();

// Ids are unique for the process, so a tick from a replaced timer is recognised as stale.
unsigned NextTimerId();

}  // namespace vdz::audio
