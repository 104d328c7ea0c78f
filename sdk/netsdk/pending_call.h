// One blocking call handed to the I/O thread: the caller waits, the I/O thread completes.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace vdz::netsdk {

class PendingCall {
 public:
  // False when the caller had already given up (the result goes nowhere).
  bool Complete(int result) {
    std::lock_guard lock(mutex_);
    if (done_)
      return false;
    done_ = true;
    result_ = result;
    cv_.notify_all();
    return !abandoned_;
  }

  // The result, or `timeout_result` after the deadline; a late Complete is then refused.
  int Wait(std::chrono::steady_clock::time_point deadline, int timeout_result) {
    std::unique_lock lock(mutex_);
    cv_.wait_until(lock, deadline, [this] { return done_; });
    if (!done_) {
      abandoned_ = true;
      done_ = true;
      result_ = timeout_result;
    }
    return result_;
  }

  bool abandoned() {
    std::lock_guard lock(mutex_);
    return abandoned_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool done_ = false;
  bool abandoned_ = false;
  int result_ = 0;
};

using PendingCallPtr = std::shared_ptr<PendingCall>;

}  // namespace vdz::netsdk
