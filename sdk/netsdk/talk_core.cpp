#include "talk_core.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <unistd.h>

#include "qm_netsdk.h"

namespace vdz::netsdk {

namespace {

// A slow TCP receiver may hold this much before its packets are dropped (whole packets, so
// the RFC 4571 framing stays intact).
constexpr std::size_t kMaxTcpBacklog = 256 * 1024;
constexpr int kTcpConnectMs = 2000;

std::uint32_t RandomU32() {
  std::uint32_t v = 0;
  if (::getrandom(&v, sizeof v, 0) != sizeof v)
    v = static_cast<std::uint32_t>(::getpid()) * 2654435761u;
  return v;
}

int ConnectTcp(const sockaddr_in& to) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return -1;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0 &&
      errno != EINPROGRESS) {
    ::close(fd);
    return -1;
  }
  pollfd p{fd, POLLOUT, 0};
  int err = 0;
  socklen_t len = sizeof err;
  if (::poll(&p, 1, kTcpConnectMs) != 1 ||
      ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// The local address that reaches `to`, for sending the group out of the right adapter.
bool LocalAddressToward(const sockaddr_in& to, in_addr& local) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return false;
  sockaddr_in me{};
  socklen_t len = sizeof me;
  const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0 &&
                  ::getsockname(fd, reinterpret_cast<sockaddr*>(&me), &len) == 0;
  ::close(fd);
  local = me.sin_addr;
  return ok;
}

}  // namespace

TalkCore& TalkCore::Instance() {
  static TalkCore core;
  return core;
}

int TalkCore::Start(const sdkproto::TalkParameters& parameters) {
  if (!sdkproto::ValidTalkParameters(parameters))
    return QM_NETSDK_ERR_INVALID_ARG;
  std::lock_guard lock(mutex_);
  if (open_)
    return QM_NETSDK_ERR_BUSY;
  auto encoder = TalkEncoder::Create(parameters.codec, parameters.sample_rate, parameters.channels);
  if (!encoder)
    return QM_NETSDK_ERR_NOT_SUPPORTED;
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return QM_NETSDK_ERR_RESOURCE;
  params_ = parameters;
  if (params_.transport == sdkproto::TalkTransport::kMulticast) {
    const std::uint32_t r = RandomU32();
    const std::uint16_t port = static_cast<std::uint16_t>(20000 + (r % 20000) / 2 * 2);
    const std::string group = "239.255.66." + std::to_string(1 + (r >> 16) % 254);
    group_ = sockaddr_in{};
    group_.sin_family = AF_INET;
    group_.sin_port = htons(port);
    ::inet_pton(AF_INET, group.c_str(), &group_.sin_addr);
    params_.group = group + ":" + std::to_string(port);
    const unsigned char ttl = 4;
    ::setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
  } else {
    params_.group.clear();
  }
  udp_fd_ = fd;
  encoder_ = std::move(encoder);
  multicast_if_set_ = false;
  sequence_ = static_cast<std::uint16_t>(RandomU32());
  timestamp_base_ = RandomU32();
  ssrc_ = RandomU32();
  payload_type_ = static_cast<std::uint8_t>(
      sdkproto::RtpPayloadType(params_.codec, params_.sample_rate, params_.channels));
  packets_sent_ = 0;
  open_ = true;
  return QM_NETSDK_OK;
}

int TalkCore::Stop() {
  std::lock_guard lock(mutex_);
  for (auto& [handle, m] : members_)
    DropMember(m);
  members_.clear();
  device_ports_.clear();
  encoder_.reset();
  if (udp_fd_ >= 0)
    ::close(udp_fd_);
  udp_fd_ = -1;
  const bool was_open = open_;
  open_ = false;
  return was_open ? QM_NETSDK_OK : QM_NETSDK_ERR_NOT_INIT;
}

std::optional<sdkproto::TalkParameters> TalkCore::Parameters() const {
  std::lock_guard lock(mutex_);
  if (!open_)
    return std::nullopt;
  return params_;
}

void TalkCore::NoteDeviceAnswer(int handle, std::string_view text) {
  const auto port = sdkproto::ParseTalkPort(text);
  std::lock_guard lock(mutex_);
  if (open_ && port)
    device_ports_[handle] = *port;
}

int TalkCore::Add(int handle, const sockaddr_in& device) {
  std::unique_lock lock(mutex_);
  if (!open_)
    return QM_NETSDK_ERR_NOT_INIT;
  if (members_.count(handle) != 0)
    return QM_NETSDK_OK;
  const auto port = device_ports_.find(handle);
  if (port == device_ports_.end())
    return QM_NETSDK_ERR_DEVICE;  // the device has not accepted the talk
  Member m;
  m.to = device;
  m.to.sin_port = htons(port->second);
  if (params_.transport == sdkproto::TalkTransport::kTcp) {
    // Connecting takes a round trip; audio goes on for the others meanwhile.
    lock.unlock();
    const int fd = ConnectTcp(m.to);
    lock.lock();
    if (fd < 0)
      return QM_NETSDK_ERR_CONNECT;
    if (!open_ || members_.count(handle) != 0) {
      ::close(fd);
      return open_ ? QM_NETSDK_OK : QM_NETSDK_ERR_NOT_INIT;
    }
    m.tcp_fd = fd;
  } else if (params_.transport == sdkproto::TalkTransport::kMulticast && !multicast_if_set_) {
    in_addr local{};
    if (LocalAddressToward(device, local)) {
      ::setsockopt(udp_fd_, IPPROTO_IP, IP_MULTICAST_IF, &local, sizeof local);
      multicast_if_set_ = true;
    }
  }
  members_.emplace(handle, std::move(m));
  return QM_NETSDK_OK;
}

int TalkCore::Remove(int handle) {
  std::lock_guard lock(mutex_);
  device_ports_.erase(handle);
  const auto it = members_.find(handle);
  if (it == members_.end())
    return open_ ? QM_NETSDK_ERR_INVALID_HANDLE : QM_NETSDK_ERR_NOT_INIT;
  DropMember(it->second);
  members_.erase(it);
  return QM_NETSDK_OK;
}

void TalkCore::DropMember(Member& m) {
  if (m.tcp_fd >= 0)
    ::close(m.tcp_fd);
  m.tcp_fd = -1;
}

int TalkCore::Input(const char* data, int length) {
  if (length < 0 || (data == nullptr && length > 0))
    return QM_NETSDK_ERR_INVALID_ARG;
  std::lock_guard lock(mutex_);
  if (!open_)
    return QM_NETSDK_ERR_NOT_INIT;
  if (length == 0)
    return QM_NETSDK_OK;
  encoder_->Input(data, static_cast<std::size_t>(length),
                  [this](std::string_view payload, std::uint32_t ts) { SendPacket(payload, ts); });
  return QM_NETSDK_OK;
}

void TalkCore::SendPacket(std::string_view payload, std::uint32_t timestamp) {
  sdkproto::RtpHeader h;
  h.payload_type = payload_type_;
  h.sequence = sequence_++;
  h.timestamp = timestamp_base_ + timestamp;
  h.ssrc = ssrc_;
  packet_.clear();
  sdkproto::AppendRtpHeader(packet_, h);
  packet_.append(payload);
  ++packets_sent_;
  switch (params_.transport) {
    case sdkproto::TalkTransport::kMulticast:
      if (!members_.empty())
        ::sendto(udp_fd_, packet_.data(), packet_.size(), MSG_NOSIGNAL,
                 reinterpret_cast<const sockaddr*>(&group_), sizeof group_);
      break;
    case sdkproto::TalkTransport::kUdp:
      for (const auto& [handle, m] : members_)
        ::sendto(udp_fd_, packet_.data(), packet_.size(), MSG_NOSIGNAL,
                 reinterpret_cast<const sockaddr*>(&m.to), sizeof m.to);
      break;
    case sdkproto::TalkTransport::kTcp:
      for (auto& [handle, m] : members_) {
        if (m.tcp_fd < 0)
          continue;
        if (m.pending.size() + packet_.size() + 2 <= kMaxTcpBacklog) {
          m.pending.push_back(static_cast<char>(packet_.size() >> 8));
          m.pending.push_back(static_cast<char>(packet_.size()));
          m.pending.append(packet_);
        }
        const ssize_t n = ::send(m.tcp_fd, m.pending.data(), m.pending.size(), MSG_NOSIGNAL);
        if (n > 0) {
          m.pending.erase(0, static_cast<std::size_t>(n));
        } else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
          DropMember(m);  // the device closed its side; it left the talk
        }
      }
      break;
  }
}

std::uint64_t TalkCore::packets_sent() const {
  std::lock_guard lock(mutex_);
  return packets_sent_;
}

int TalkCore::member_count() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(members_.size());
}

}  // namespace vdz::netsdk
