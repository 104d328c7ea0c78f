#include "devops/device_job_runner.h"

#include <algorithm>
#include <chrono>

namespace vdz {

struct DeviceJobRunner::Job {
  int id = 0;
  std::string kind;
  std::vector<DeviceTask> tasks;
  Finished finished;
  bool in_order = false;
  int next = 0;  // the first device not queued yet; owner's thread
  // Read by the pool threads: a device not started yet is skipped once this is set.
  std::atomic<bool> cancelled{false};
  JobProgress progress;  // owner's thread
  JobEnd end;            // owner's thread
};

DeviceJobRunner::DeviceJobRunner(Poster post, int width) : post_(std::move(post)) {
  width = std::max(width, 1);
  workers_.reserve(static_cast<std::size_t>(width));
  for (int i = 0; i < width; ++i)
    workers_.emplace_back([this](const std::stop_token& stop) { Work(stop); });
}

DeviceJobRunner::~DeviceJobRunner() {
  Stop();
}

void DeviceJobRunner::Post(std::function<void()> work) {
  post_([alive = alive_, work = std::move(work)] {
    if (alive->load())
      work();
  });
}

int DeviceJobRunner::Start(const std::string& kind, std::vector<DeviceTask> tasks,
                           Finished finished) {
  return Begin(kind, std::move(tasks), std::move(finished), false);
}

int DeviceJobRunner::StartInOrder(const std::string& kind, std::vector<DeviceTask> tasks,
                                  Finished finished) {
  return Begin(kind, std::move(tasks), std::move(finished), true);
}

void DeviceJobRunner::Queue(const std::shared_ptr<Job>& job, int first, int count) {
  job->next = first + count;
  {
    std::lock_guard lock(mutex_);
    if (stopped_)
      return;
    for (int i = first; i < first + count; ++i)
      queue_.push_back({job, i});
  }
  ready_.notify_all();
}

int DeviceJobRunner::Begin(const std::string& kind, std::vector<DeviceTask> tasks,
                           Finished finished, bool in_order) {
  if (!Admit(kind))
    return 0;
  auto job = std::make_shared<Job>();
  job->id = next_job_++;
  job->kind = kind;
  job->tasks = std::move(tasks);
  job->finished = std::move(finished);
  job->in_order = in_order;
  job->progress.total = static_cast<int>(job->tasks.size());
  jobs_[job->id] = job;
  for (JobObserver* observer : observers_)
    observer->JobStarted(job->id, kind, job->progress.total);
  if (job->tasks.empty()) {
    // Still ends on a later turn of the owner's loop, as every other job does.
    Post([this, job] { Finish(job); });
    return job->id;
  }
  Queue(job, 0, in_order ? 1 : job->progress.total);
  return job->id;
}

void DeviceJobRunner::Cancel(int id) {
  auto it = jobs_.find(id);
  if (it == jobs_.end())
    return;
  const std::shared_ptr<Job> job = it->second;
  job->cancelled = true;
  job->end.cancelled = true;
  std::vector<int> dropped;
  {
    std::lock_guard lock(mutex_);
    auto kept = std::stable_partition(queue_.begin(), queue_.end(),
                                      [&](const Queued& q) { return q.job != job; });
    for (auto q = kept; q != queue_.end(); ++q)
      dropped.push_back(q->index);
    queue_.erase(kept, queue_.end());
  }
  // A job that runs in order has not queued its later devices yet.
  for (int index = job->next; index < job->progress.total; ++index)
    dropped.push_back(index);
  job->next = job->progress.total;
  for (int index : dropped)
    Post([this, job, index] { Ended(job, index, false, 0); });
}

bool DeviceJobRunner::Admit(const std::string& kind) {
  if (!Busy(kind))
    return true;
  if (refused_)
    refused_(kind);
  return false;
}

bool DeviceJobRunner::Busy(const std::string& kind) const {
  if (kind.empty())
    return !jobs_.empty();
  return std::any_of(jobs_.begin(), jobs_.end(),
                     [&](const auto& entry) { return entry.second->kind == kind; });
}

std::vector<int> DeviceJobRunner::Jobs() const {
  std::vector<int> ids;
  for (const auto& entry : jobs_)
    ids.push_back(entry.first);
  return ids;
}

void DeviceJobRunner::Stop() {
  {
    std::lock_guard lock(mutex_);
    if (stopped_)
      return;
    stopped_ = true;
    queue_.clear();
  }
  for (std::jthread& worker : workers_)
    worker.request_stop();
  ready_.notify_all();
  for (std::jthread& worker : workers_) {
    if (worker.joinable())
      worker.join();
  }
  alive_->store(false);
  jobs_.clear();
}

void DeviceJobRunner::Work(const std::stop_token& stop) {
  for (;;) {
    Queued next;
    {
      std::unique_lock lock(mutex_);
      if (!ready_.wait(lock, stop, [this] { return !queue_.empty() || stopped_; }) || stopped_)
        return;
      next = std::move(queue_.front());
      queue_.pop_front();
    }
    const std::shared_ptr<Job>& job = next.job;
    const int index = next.index;
    if (job->cancelled) {
      Post([this, job, index] { Ended(job, index, false, 0); });
      continue;
    }
    Post([this, job, index] {
      job->progress.device = job->tasks[static_cast<std::size_t>(index)].device;
      ++job->progress.running;
      for (JobObserver* observer : observers_)
        observer->JobProgressed(job->id, job->progress);
    });
    const DeviceTask& task = job->tasks[static_cast<std::size_t>(index)];
    const auto started = std::chrono::steady_clock::now();
    const int result = task.work ? task.work() : 0;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    Post([this, job, index, result, seconds] { Ended(job, index, true, result, seconds); });
  }
}

void DeviceJobRunner::Ended(const std::shared_ptr<Job>& job, int index, bool ran, int result,
                            double seconds) {
  DeviceTask& task = job->tasks[static_cast<std::size_t>(index)];
  if (ran) {
    --job->progress.running;
    ++job->end.done;
    job->end.device_seconds += seconds;
    if (task.done)
      task.done(result);
  } else {
    ++job->end.skipped;
    if (task.skipped)
      task.skipped();
  }
  ++job->progress.processed;
  for (JobObserver* observer : observers_)
    observer->JobProgressed(job->id, job->progress);
  if (job->progress.processed == job->progress.total) {
    Finish(job);
    return;
  }
  if (job->in_order && job->next < job->progress.total)
    Queue(job, job->next, 1);
}

void DeviceJobRunner::Finish(const std::shared_ptr<Job>& job) {
  // The kind is free again before the handler runs: it may start the command's next job.
  jobs_.erase(job->id);
  for (JobObserver* observer : observers_)
    observer->JobFinishing(job->id);
  if (job->finished)
    job->finished(job->end);
  for (JobObserver* observer : observers_)
    observer->JobFinished(job->id, job->end);
}

void DeviceJobRunner::RemoveObserver(JobObserver* observer) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

}  // namespace vdz
