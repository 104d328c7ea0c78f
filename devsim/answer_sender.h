// Sends the devices' answers from the discovery socket, each from its device's own address,
// paced so that a thousand answers do not overrun the workstation's receive buffer.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "sim_device.h"

namespace vdz::devsim {

struct PendingAnswer {
  int64_t due_us = 0;   // monotonic time before which it is not sent (delay misbehaviour)
  uint32_t source = 0;  // host order; the device's address
  int ifindex = 0;      // segment the device is wired to
  sockaddr_in destination{};
  std::string payload;
  // When payload is empty the answer is written just before sending, from this copy of the
  // device as it was when the request came in; a thousand answers then start flowing at
  // once instead of after all of them are written.
  std::shared_ptr<const SimDevice> device;
  int64_t asked_ms = 0;
};

class AnswerSender {
 public:
  // rate: answers per second (0: as fast as the socket takes them); burst: how many may go
  // back to back after a pause.
  void Configure(int rate, int burst) {
    rate_ = rate;
    burst_ = burst < 1 ? 1 : burst;
  }
  void SetSocket(int fd) { fd_ = fd; }

  // False when the queue is full (the answer is counted as overflowed and not kept).
  bool Enqueue(PendingAnswer a);
  // Sends what is due and allowed now. Returns microseconds until it wants to run again,
  // -1 when nothing waits. *want_writable is set when the socket pushed back.
  int64_t Pump(int64_t now_us, bool* want_writable);
  void Clear() { queue_.clear(); }

  std::size_t queued() const { return queue_.size(); }
  uint64_t sent() const { return sent_; }
  uint64_t errors() const { return errors_; }
  uint64_t overflowed() const { return overflowed_; }
  int rate() const { return rate_; }
  int burst() const { return burst_; }

  static constexpr std::size_t kMaxQueue = 50000;

 private:
  int fd_ = -1;
  int rate_ = 5000;
  int burst_ = 16;
  double tokens_ = 0;
  int64_t last_us_ = 0;
  uint64_t order_ = 0;
  std::map<std::pair<int64_t, uint64_t>, PendingAnswer> queue_;
  uint64_t sent_ = 0;
  uint64_t errors_ = 0;
  uint64_t overflowed_ = 0;
};

}  // namespace vdz::devsim
