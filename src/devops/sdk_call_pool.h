// Runs blocking SDK calls (logins, requests) on a few background threads, so a device that
// accepts a connection and never answers holds one of them for its time bound instead of the
// window. Results are handed back through the owner's poster, in the order calls finish.
// Calls made for rows carry a tag; when the rows go, their calls still waiting are dropped
// so that they do not run ahead of the new rows' work.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace vdz {

class SdkCallPool {
 public:
  using Call = std::function<int()>;
  using Done = std::function<void(int result)>;
  // Hands a piece of work to the owner's thread (the window's event loop).
  using Poster = std::function<void(std::function<void()>)>;
  // Names a group of calls that can be dropped together; kUntagged calls are never dropped.
  using Tag = uint64_t;
  static constexpr Tag kUntagged = 0;

  SdkCallPool(Poster post, int threads);
  ~SdkCallPool();
  SdkCallPool(const SdkCallPool&) = delete;
  SdkCallPool& operator=(const SdkCallPool&) = delete;

  // done (may be empty) runs on the owner's thread with the call's result.
  void Submit(Call call, Done done, Tag tag = kUntagged);

  // A tag not given out before.
  Tag NewTag();
  // Calls with this tag that have not started never run, nor do their done; calls already
  // running finish as usual. Returns how many were dropped.
  int Drop(Tag tag);

  // Drops waiting calls and waits for running ones (each ends within its time bound); no
  // done runs after this returns.
  void Stop();

  int thread_count() const { return static_cast<int>(workers_.size()); }
  int pending() const;

 private:
  struct Job {
    Call call;
    Done done;
    Tag tag = kUntagged;
  };
  void Work();

  Poster post_;
  mutable std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<Job> jobs_;
  bool stopping_ = false;
  int running_ = 0;
  Tag last_tag_ = kUntagged;
  // Shared with posted completions: once cleared, late completions do nothing.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  std::vector<std::thread> workers_;
};

}  // namespace vdz
