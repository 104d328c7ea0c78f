#include "devops/pending_sdk_events.h"

#include <cstring>

namespace vdz {

void PendingSdkEvents::Add(bool status, const SdkEventRecord& record, Clock::time_point now) {
  Prune(now);
  if (entries_.size() >= kMaxEvents)
    entries_.pop_front();
  auto copy = std::make_shared<SdkEventRecord>();
  std::memcpy(copy.get(), &record, sizeof record);
  entries_.push_back({status, std::move(copy), now});
}

std::vector<PendingSdkEvents::Entry> PendingSdkEvents::Take(int handle) {
  std::vector<Entry> taken;
  for (auto it = entries_.begin(); it != entries_.end();) {
    if (it->record->handle == handle) {
      taken.push_back(std::move(*it));
      it = entries_.erase(it);
    } else {
      ++it;
    }
  }
  return taken;
}

void PendingSdkEvents::Prune(Clock::time_point now) {
  while (!entries_.empty() && now - entries_.front().arrived > kMaxAge)
    entries_.pop_front();
}

}  // namespace vdz
