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

void SdkCallPool::Submit(Call call, Done done, Tag tag) {
  {
    std::lock_guard lock(mutex_);
    if (stopping_)
      return;
    jobs_.push_back({std::move(call), std::move(done), tag});
  }
  ready_.notify_one();
}

SdkCallPool::Tag SdkCallPool::NewTag() {
  std::lock_guard lock(mutex_);
  return ++last_tag_;
}

int SdkCallPool::Drop(Tag tag) {
  if (tag == kUntagged)
    return 0;
  std::deque<Job> dropped;
  {
    std::lock_guard lock(mutex_);
    // One pass: a new search drops a thousand rows' calls at once.
    std::deque<Job> kept;
    for (Job& job : jobs_)
      (job.tag == tag ? dropped : kept).push_back(std::move(job));
    jobs_.swap(kept);
  }
  // Their captures are released outside the lock.
  return static_cast<int>(dropped.size());
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
