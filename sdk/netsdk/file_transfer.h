// One file transfer as the caller hands it to the I/O thread, and as a session runs it.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "pending_call.h"
#include "protocol/file_messages.h"

namespace vdz::netsdk {

using Millis = std::int64_t;

// A descriptor with one owner; closed when the owner goes.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
      Reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  ~UniqueFd() { Reset(); }
  int get() const { return fd_; }
  void Reset() {
    if (fd_ >= 0)
      ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

struct TransferRequest {
  sdkproto::FileKind kind = sdkproto::FileKind::kFirmware;
  UniqueFd fd;             // uploads: the source; downloads: the part file being written
  std::uint64_t size = 0;  // uploads
  std::string name;        // the device's name for the file
  std::string part_path;   // downloads: renamed to final_path once complete, else removed
  std::string final_path;
  std::uint64_t max_size = 0;  // downloads: a device announcing more is refused
  // Blocking calls: completes with the transfer's result. Others: completes once the
  // transfer is handed over (0) or could not start.
  PendingCallPtr call;
  bool blocking = false;
};

struct Transfer {
  enum class Phase { kBegin, kData, kEnd };
  std::uint32_t id = 0;
  std::uint32_t begin_sequence = 0;
  Phase phase = Phase::kBegin;
  TransferRequest request;
  // Uploads: the source, shared with the frames queued from it.
  std::shared_ptr<const UniqueFd> source;
  std::uint64_t size = 0;
  std::uint64_t queued = 0;    // uploads: bytes put into frames
  std::uint64_t acked = 0;     // uploads: bytes the device has acknowledged
  std::uint64_t received = 0;  // downloads
  Millis last_progress = 0;
  int last_percent = -1;
};

}  // namespace vdz::netsdk
