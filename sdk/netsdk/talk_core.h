// The one talk of the library: its format and encoder, and the devices it sends to. Audio
// comes in on any thread (a pacing timer, the capture thread) and is encoded once for all.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/talk_messages.h"
#include "talk_encoder.h"

namespace vdz::netsdk {

class TalkCore {
 public:
  static TalkCore& Instance();

  int Start(const sdkproto::TalkParameters& parameters);
  int Stop();
  // The parameters announced to a device, or nothing when no talk is open.
  std::optional<sdkproto::TalkParameters> Parameters() const;
  // A device's answer (event 6 text): where it receives.
  void NoteDeviceAnswer(int handle, std::string_view text);
  int Add(int handle, const sockaddr_in& device);
  int Remove(int handle);
  int Input(const char* data, int length);

  // Packets sent so far and devices in the talk (for tests and diagnostics).
  std::uint64_t packets_sent() const;
  int member_count() const;

 private:
  struct Member {
    sockaddr_in to{};
    int tcp_fd = -1;
    std::string pending;  // TCP bytes the kernel has not taken yet
  };

  TalkCore() = default;
  void SendPacket(std::string_view payload, std::uint32_t timestamp);
  void DropMember(Member& m);

  mutable std::mutex mutex_;
  bool open_ = false;
  sdkproto::TalkParameters params_;
  std::unique_ptr<TalkEncoder> encoder_;
  int udp_fd_ = -1;
  sockaddr_in group_{};
  bool multicast_if_set_ = false;
  std::uint16_t sequence_ = 0;
  std::uint32_t timestamp_base_ = 0;
  std::uint32_t ssrc_ = 0;
  std::uint8_t payload_type_ = 96;
  std::map<int, std::uint16_t> device_ports_;
  std::map<int, Member> members_;
  std::uint64_t packets_sent_ = 0;
  std::string packet_;
};

}  // namespace vdz::netsdk
