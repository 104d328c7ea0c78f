// Events that arrive for a handle no row holds yet: a login that runs in the background can
// report its session before its result has reached the row. They wait here a short while and
// are handed over when the row gets the handle; unclaimed ones expire and change nothing.
#pragma once

#include <chrono>
#include <deque>
#include <memory>
#include <vector>

#include "devops/sdk_event.h"

namespace vdz {

class PendingSdkEvents {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::size_t kMaxEvents = 1024;
  static constexpr std::chrono::seconds kMaxAge{15};

  struct Entry {
    bool status = true;  // false: an auxiliary response
    std::shared_ptr<SdkEventRecord> record;
    Clock::time_point arrived;
  };

  void Add(bool status, const SdkEventRecord& record, Clock::time_point now = Clock::now());
  // The waiting events of this handle, oldest first; they leave the buffer.
  std::vector<Entry> Take(int handle);
  std::size_t size() const { return entries_.size(); }

 private:
  void Prune(Clock::time_point now);
  std::deque<Entry> entries_;
};

}  // namespace vdz
