#include "audio/pacing_timer.h"

#include <pthread.h>
#include <sched.h>

#include <atomic>

namespace vdz::audio {

ThreadTimer::ThreadTimer(unsigned timer_id, std::chrono::microseconds period, TickFunction tick)
    : id_(timer_id), period_(period), tick_(std::move(tick)), thread_([this] { Run(); }) {}

ThreadTimer::~ThreadTimer() {
  Kill();
  if (thread_.joinable()) {
    if (thread_.get_id() == std::this_thread::get_id())
      thread_.detach();
    else
      thread_.join();
  }
}

void ThreadTimer::Kill() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id())
    thread_.join();
}

void ThreadTimer::Run() {
  pthread_setname_np(pthread_self(), "vdz-pacer");
  // Audio pacing must not wait behind a busy machine's batch work; where the system allows
  // it the thread takes a modest real-time priority, otherwise it runs as it is.
  sched_param param{};
  param.sched_priority = 10;
  pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);

  auto deadline = std::chrono::steady_clock::now();
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stop_) {
    deadline += period_;
    if (wake_.wait_until(lock, deadline, [this] { return stop_; }))
      break;
    lock.unlock();
    tick_(id_);
    lock.lock();
    // After a stall longer than a period the grid is kept: missed ticks are not made up.
    const auto now = std::chrono::steady_clock::now();
    if (now - deadline > period_)
      deadline += ((now - deadline) / period_) * period_;
  }
}

TimerFactory ThreadTimerFactory() {
  return [](unsigned id, std::chrono::microseconds period, TickFunction tick) {
    return std::unique_ptr<PeriodicTimer>(new ThreadTimer(id, period, std::move(tick)));
  };
}

unsigned NextTimerId() {
  static std::atomic<unsigned> next{1};
  unsigned id = next.fetch_add(1);
  if (id == 0)
    id = next.fetch_add(1);
  return id;
}

}  // namespace vdz::audio
