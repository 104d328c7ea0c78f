#include "devops/owner_loop.h"

namespace vdz {

void OwnerLoop::Post(std::function<void()> work) {
  {
    std::lock_guard lock(mutex_);
    pending_.push_back(std::move(work));
  }
  ready_.notify_one();
}

bool OwnerLoop::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    std::function<void()> work;
    {
      std::unique_lock lock(mutex_);
      if (!ready_.wait_until(lock, deadline, [this] { return !pending_.empty(); }))
        return done();
      work = std::move(pending_.front());
      pending_.pop_front();
    }
    work();
  }
  return true;
}

}  // namespace vdz
