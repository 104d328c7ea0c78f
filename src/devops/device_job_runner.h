// Device work as jobs: one task per device, run on a bounded pool so a device that stops
// answering holds one pool thread for its time-out and nothing else. A device's steps stay in
// order inside its task; devices run side by side. Each device's end, the progress and the
// job's end are handed to the owner's thread (the window's event loop, or the command-line
// tool's own loop) through its poster, so the owner never waits on a device.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vdz {

struct DeviceTask {
  std::string device;  // what the progress shows while the task runs (its address)
  // On a pool thread; the result is handed to done. Empty: done runs at once with 0.
  std::function<int()> work;
  // On the owner's thread: the device's part ended with work's result.
  std::function<void(int result)> done;
  // On the owner's thread: the job was cancelled before this device was started.
  std::function<void()> skipped;
};

struct JobProgress {
  int processed = 0;  // devices ended (done or skipped)
  int total = 0;
  int running = 0;     // devices started and not ended yet
  std::string device;  // the device started last
};

struct JobEnd {
  int done = 0;
  int skipped = 0;  // not started because of Cancel
  bool cancelled = false;
  // The devices' own times added up: what walking them one after another would have taken.
  double device_seconds = 0;
};

// Hears every job of a runner on the owner's thread: the window shows progress and Cancel
// for a job without knowing what it does.
class JobObserver {
 public:
  virtual ~JobObserver() = default;
  virtual void JobStarted(int /*job*/, const std::string& /*kind*/, int /*total*/) {}
  virtual void JobProgressed(int /*job*/, const JobProgress& /*progress*/) {}
  // Before the job's own finished handler runs (it may start the next job of a command).
  virtual void JobFinishing(int /*job*/) {}
  virtual void JobFinished(int /*job*/, const JobEnd& /*end*/) {}
};

class DeviceJobRunner {
 public:
  using Poster = std::function<void(std::function<void()>)>;
  using Finished = std::function<void(const JobEnd&)>;
  // Wide enough that a fifth of a hundred devices gone silent ends within one time-out.
  static constexpr int kDefaultWidth = 32;

  explicit DeviceJobRunner(Poster post, int width = kDefaultWidth);
  ~DeviceJobRunner();
  DeviceJobRunner(const DeviceJobRunner&) = delete;
  DeviceJobRunner& operator=(const DeviceJobRunner&) = delete;

  // Queues the job's devices in order; finished runs on the owner's thread after the last
  // device's done or skipped. Returns the job's number, or 0 when a job of the same kind is
  // still running (nothing is started then). Owner's thread only.
  int Start(const std::string& kind, std::vector<DeviceTask> tasks, Finished finished = {});
  // The same, one device after another: a device starts once the one before it has ended and
  // its done ran (each sees what the ones before it changed).
  int StartInOrder(const std::string& kind, std::vector<DeviceTask> tasks, Finished finished = {});
  // False after telling the refused handler, when a job of this kind still runs.
  bool Admit(const std::string& kind);
  // Hears each refused start, on the owner's thread (the window tells the operator).
  void SetRefusedHandler(std::function<void(const std::string& kind)> refused) {
    refused_ = std::move(refused);
  }
  // Devices not started yet are skipped; a running device ends at its own time-out.
  void Cancel(int job);
  // True while a job of this kind runs (any kind when empty).
  bool Busy(const std::string& kind = {}) const;
  // The running jobs, oldest first.
  std::vector<int> Jobs() const;
  void AddObserver(JobObserver* observer) { observers_.push_back(observer); }
  void RemoveObserver(JobObserver* observer);

  // Drops the devices not started, waits for the running ones (each ends within its
  // time-out) and delivers nothing more to the owner afterwards.
  void Stop();

  int width() const { return static_cast<int>(workers_.size()); }

 private:
  struct Job;
  struct Queued {
    std::shared_ptr<Job> job;
    int index = 0;
  };
  void Work(const std::stop_token& stop);
  void Post(std::function<void()> work);
  // Owner's thread: one device of the job ended.
  void Ended(const std::shared_ptr<Job>& job, int index, bool ran, int result, double seconds = 0);

  Poster post_;
  void Finish(const std::shared_ptr<Job>& job);
  int Begin(const std::string& kind, std::vector<DeviceTask> tasks, Finished finished,
            bool in_order);
  void Queue(const std::shared_ptr<Job>& job, int first, int count);

  std::vector<JobObserver*> observers_;
  std::function<void(const std::string& kind)> refused_;
  int next_job_ = 1;
  std::map<int, std::shared_ptr<Job>> jobs_;  // owner's thread only

  std::mutex mutex_;
  std::condition_variable_any ready_;
  std::deque<Queued> queue_;
  bool stopped_ = false;
  // Shared with posted work: once cleared, late deliveries do nothing.
  std::shared_ptr<std::atomic<bool>> alive_ = std::make_shared<std::atomic<bool>>(true);
  std::vector<std::jthread> workers_;
};

}  // namespace vdz
