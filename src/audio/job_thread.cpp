#include "audio/job_thread.h"

namespace vdz::audio {

JobThread::JobThread() : thread_([this](const std::stop_token& stop) { Run(stop); }) {}

JobThread::~JobThread() {
  Finish({});
}

void JobThread::Post(Job job) {
  {
    std::lock_guard lock(mutex_);
    if (finishing_)
      return;
    jobs_.push_back(std::move(job));
  }
  wake_.notify_one();
}

void JobThread::PostAt(Clock::time_point when, Job job) {
  {
    std::lock_guard lock(mutex_);
    if (finishing_)
      return;
    timed_.emplace(when, std::move(job));
    ++timed_changes_;
  }
  wake_.notify_one();
}

void JobThread::Finish(Job last) {
  {
    std::lock_guard lock(mutex_);
    if (finishing_)
      return;
    finishing_ = true;
    jobs_.clear();
    timed_.reset();
    last_ = std::move(last);
  }
  thread_.request_stop();
  if (thread_.joinable())
    thread_.join();
}

void JobThread::Run(const std::stop_token& stop) {
  std::unique_lock lock(mutex_);
  while (!stop.stop_requested()) {
    Job job;
    if (!jobs_.empty()) {
      job = std::move(jobs_.front());
      jobs_.pop_front();
    } else if (timed_ && timed_->first <= Clock::now()) {
      job = std::move(timed_->second);
      timed_.reset();
    } else {
      const unsigned seen = timed_changes_;
      const auto ready = [&] { return !jobs_.empty() || timed_changes_ != seen; };
      if (timed_)
        wake_.wait_until(lock, stop, timed_->first, ready);
      else
        wake_.wait(lock, stop, ready);
      continue;
    }
    lock.unlock();
    job();
    job = nullptr;  // its captures go before the lock is taken again
    lock.lock();
  }
  Job last = std::move(last_);
  lock.unlock();
  if (last)
    last();
}

}  // namespace vdz::audio
