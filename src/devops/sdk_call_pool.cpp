#include "devops/sdk_call_pool.h"

#include <pthread.h>

namespace vdz {

SdkCallPool::SdkCallPool(Poster post, int threads) : post_(std::move(post)) {
  for (int i = 0; i < threads; ++i)
    workers_.emplace_back([this] { Work(); });
}

SdkCallPool::~SdkCallPool() {
  Stop();
}

void SdkCallPool::Submit(Call call, Done done) {
  {
    std::lock_guard lock(mutex_);
    if (stopping_)
      return;
    jobs_.push_back({std::move(call), std::move(done)});
  }
  ready_.notify_one();
}

int SdkCallPool::pending() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(jobs_.size()) + running_;
}

void SdkCallPool::Stop() {
  {
    std::lock_guard lock(mutex_);
    if (stopping_ && workers_.empty())
      return;
    stopping_ = true;
    jobs_.clear();
    *alive_ = false;
  }
  ready_.notify_all();
  for (std::thread& worker : workers_) {
    if (worker.joinable())
      worker.join();
  }
  workers_.clear();
}

void SdkCallPool::Work() {
  // Named so that thread counts can tell these from the SDK's own.
  pthread_setname_np(pthread_self(), "vdz-sdk-call");
  for (;;) {
    Job job;
    {
      std::unique_lock lock(mutex_);
      ready_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
      if (stopping_)
        return;
      job = std::move(jobs_.front());
      jobs_.pop_front();
      ++running_;
    }
    const int result = job.call();
    std::shared_ptr<bool> alive;
    {
      std::lock_guard lock(mutex_);
      --running_;
      alive = alive_;
    }
    if (job.done && post_) {
      post_([alive, done = std::move(job.done), result] {
        if (*alive)
          done(result);
      });
    }
  }
}

}  // namespace vdz
