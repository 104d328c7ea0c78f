// The device's side of a talk: it receives the RTP audio of its talk (UDP, TCP with RFC 4571
// framing, or a multicast group), decodes it and writes it to a WAV file, one per talk, so
// tests and people can check what arrived. One thread serves every device of the host.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "protocol/talk_messages.h"

namespace vdz::devserver {

struct TalkStats {
  bool open = false;
  int talks = 0;              // talks opened since the device started
  std::uint64_t packets = 0;  // RTP packets of the current or last talk
  std::uint64_t bytes = 0;    // PCM bytes written for it
  std::uint64_t lost = 0;     // sequence numbers that never came
  std::string wav_path;       // of the current or last talk
  std::string format;         // its talk parameters
  // Longest wait between two packets the device received, across all its talks: the silence a
  // listener hears, including the change from one talk to the next.
  std::int64_t longest_gap_us = 0;
};

class TalkReceivers {
 public:
  TalkReceivers();
  ~TalkReceivers();
  TalkReceivers(const TalkReceivers&) = delete;
  TalkReceivers& operator=(const TalkReceivers&) = delete;

  // Opens the receiver of `device` at `address`; its event 6 text ("port=N" or "group=...")
  // on success, else an empty text (the format cannot be received).
  std::string Open(int device, const std::string& address, const sdkproto::TalkParameters& p,
                   const std::string& wav_path);
  // Closes the receiver and completes its WAV file; false when none was open.
  bool Close(int device);
  TalkStats Stats(int device) const;

  struct Receiver;

 private:
  struct Arrivals {
    std::int64_t last_us = 0;
    bool any = false;
    std::int64_t longest_us = 0;
  };

  void Run();
  // Reads what is waiting on the receiver's socket; with the lock held.
  void Drain(int device, Receiver& r);
  void NoteArrival(int device, std::int64_t arrived_us);

  mutable std::mutex mutex_;
  std::map<int, std::unique_ptr<Receiver>> receivers_;
  std::map<int, TalkStats> last_;
  std::map<int, int> talks_;
  std::map<int, Arrivals> arrivals_;
  std::vector<char> buffer_ = std::vector<char>(65536);
  int epoll_fd_ = -1;
  int wake_fd_ = -1;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace vdz::devserver
