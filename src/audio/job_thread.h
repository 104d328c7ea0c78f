// One background thread that runs posted jobs in the order they came, and at most one timed
// job. Blocking device calls and whole-file decodes run here so the caller's thread never
// waits on them. Stop means request, wake, join: the thread's stop token also wakes its wait.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <utility>

namespace vdz::audio {

class JobThread {
 public:
  using Job = std::function<void()>;
  using Clock = std::chrono::steady_clock;

  JobThread();
  ~JobThread();
  JobThread(const JobThread&) = delete;
  JobThread& operator=(const JobThread&) = delete;

  // From any thread; dropped once Finish has begun.
  void Post(Job job);
  // Runs `job` at `when` once the jobs posted before it are done; a later call replaces a timed
  // job that has not run yet.
  void PostAt(Clock::time_point when, Job job);
  // Drops the jobs not started, lets a running one end, runs `last` on the thread and joins it.
  // Not from the thread itself.
  void Finish(Job last);
  // Requested by Finish: long jobs (a decode) check it to end early.
  std::stop_token stop_token() const { return thread_.get_stop_token(); }

 private:
  void Run(const std::stop_token& stop);

  std::mutex mutex_;
  std::condition_variable_any wake_;
  std::deque<Job> jobs_;
  std::optional<std::pair<Clock::time_point, Job>> timed_;
  unsigned timed_changes_ = 0;
  Job last_;
  bool finishing_ = false;
  std::jthread thread_;  // last: starts once the members above exist
};

}  // namespace vdz::audio
