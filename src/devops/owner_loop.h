// The owner's side of device jobs for a thread with no event loop of its own (the
// command-line tool, tests): work posted from any thread waits here until the owner runs it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace vdz {

class OwnerLoop {
 public:
  // From any thread.
  void Post(std::function<void()> work);
  std::function<void(std::function<void()>)> Poster() {
    return [this](std::function<void()> work) { Post(std::move(work)); };
  }
  // Runs posted work in order until done() holds; false when timeout passed first.
  bool RunUntil(const std::function<bool()>& done,
                std::chrono::milliseconds timeout = std::chrono::hours(24));

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::function<void()>> pending_;
};

}  // namespace vdz
