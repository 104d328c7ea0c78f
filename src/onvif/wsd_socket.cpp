#include "onvif/wsd_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stop_token>
#include <system_error>

#include "onvif/crypto_text.h"
#include "onvif/probe_match_reader.h"
#include "shell/diag_log.h"

namespace vdz::onvif {

namespace {

using Clock = std::chrono::steady_clock;

// A wake reads at most this many datagrams per socket, so a flood cannot hold off a stop.
constexpr int kMaxDatagramsPerWake = 4096;

void SetReceiveBuffer(int fd, int bytes) {
  if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0)
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
}

}  // namespace

int OpenWsdSocket(const std::string& adapter_address, int receive_buffer) {
  in_addr local_address{};
  local_address.s_addr = htonl(INADDR_ANY);
  if (!adapter_address.empty() && inet_pton(AF_INET, adapter_address.c_str(), &local_address) != 1)
    return -1;
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    DiagLog("WsDiscoverySearch: socket() failed, errno=%d\n", errno);
    return -1;
  }
  SetReceiveBuffer(fd, receive_buffer);
  const unsigned char ttl = 1;
  setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
  if (!adapter_address.empty() &&
      setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &local_address, sizeof local_address) != 0) {
    DiagLog("WsDiscoverySearch: IP_MULTICAST_IF %s failed, errno=%d\n", adapter_address.c_str(),
            errno);
    close(fd);
    return -1;
  }
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = 0;
  local.sin_addr = local_address;
  if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    DiagLog("WsDiscoverySearch: bind %s failed, errno=%d\n", adapter_address.c_str(), errno);
    close(fd);
    return -1;
  }
  return fd;
}

WsDiscoverySearch::WsDiscoverySearch(WsDiscoveryOptions options, EntryCallback on_entry)
    : options_(std::move(options)),
      on_entry_(std::move(on_entry)),
      wake_fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

WsDiscoverySearch::~WsDiscoverySearch() {
  Stop();
  if (wake_fd_ >= 0)
    close(wake_fd_);
}

bool WsDiscoverySearch::Start() {
  if (running_ || wake_fd_ < 0)
    return false;
  if (worker_.joinable())
    worker_.join();
  std::vector<Socket> sockets;
  const std::vector<std::string> adapters =
      options_.adapters.empty() ? std::vector<std::string>{std::string()} : options_.adapters;
  for (const std::string& adapter : adapters) {
    const int fd = OpenWsdSocket(adapter, options_.receive_buffer);
    if (fd >= 0)
      sockets.push_back({fd, adapter});
  }
  open_sockets_ = static_cast<int>(sockets.size());
  if (sockets.empty())
    return false;
  {
    std::lock_guard lock(mutex_);
    merge_.Clear();
    stats_ = {};
  }
  uint64_t drained = 0;
  [[maybe_unused]] ssize_t n = read(wake_fd_, &drained, sizeof drained);
  own_ids_.clear();
  running_ = true;
  try {
    worker_ = std::jthread([this, sockets](std::stop_token stop) { Run(stop, sockets); });
  } catch (const std::system_error& error) {
    DiagLog("WsDiscoverySearch: no worker thread, error=%d\n", error.code().value());
    for (const Socket& s : sockets)
      close(s.fd);
    running_ = false;
    return false;
  }
  return true;
}

void WsDiscoverySearch::Stop() {
  if (!worker_.joinable())
    return;
  worker_.request_stop();
  const uint64_t one = 1;
  [[maybe_unused]] ssize_t n = write(wake_fd_, &one, sizeof one);
  worker_.join();
}

std::vector<OnvifDeviceEntry> WsDiscoverySearch::Entries() const {
  std::lock_guard lock(mutex_);
  return merge_.Entries();
}

WsDiscoveryStats WsDiscoverySearch::Stats() const {
  std::lock_guard lock(mutex_);
  return stats_;
}

void WsDiscoverySearch::SendProbe(const std::vector<Socket>& sockets) {
  // Each Probe is its own message: answers name it in RelatesTo, and an echo of any of them
  // is recognised by its MessageID.
  own_ids_.push_back(NewUuidUrn());
  const std::size_t round = (own_ids_.size() - 1) % std::size(kProbeTypeRounds);
  const std::string text = BuildProbe(own_ids_.back(), kProbeTypeRounds[round]);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(options_.port);
  inet_pton(AF_INET, options_.destination.c_str(), &to.sin_addr);
  int sent = 0;
  for (const Socket& s : sockets) {
    if (sendto(s.fd, text.data(), text.size(), MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&to),
               sizeof to) == static_cast<ssize_t>(text.size())) {
      ++sent;
    } else {
      DiagLog("WsDiscoverySearch: Probe from %s failed, errno=%d\n",
              s.adapter.empty() ? "0.0.0.0" : s.adapter.c_str(), errno);
    }
  }
  std::lock_guard lock(mutex_);
  stats_.probes_sent += sent;
}

void WsDiscoverySearch::HandleDatagram(std::string_view datagram, const std::string& from,
                                       const std::string& adapter) {
  std::vector<ProbeMatch> matches;
  const ProbeMatchStatus status = ReadProbeMatches(datagram, own_ids_, &matches);
  std::vector<OnvifDeviceEntry> changed;
  {
    std::lock_guard lock(mutex_);
    stats_.datagrams += 1;
    switch (status) {
      case ProbeMatchStatus::kMatches:
        stats_.matches += static_cast<int>(matches.size());
        break;
      case ProbeMatchStatus::kOwnProbe:
        stats_.own_echoes += 1;
        break;
      case ProbeMatchStatus::kNoVideoType:
        stats_.not_video += 1;
        break;
      case ProbeMatchStatus::kNotXml:
      case ProbeMatchStatus::kNotMatches:
        stats_.other += 1;
        break;
    }
    for (const ProbeMatch& m : matches) {
      if (merge_.Add(m, from, adapter))
        changed.push_back(*merge_.Find(m.endpoint));
    }
  }
  if (on_entry_) {
    for (const OnvifDeviceEntry& e : changed)
      on_entry_(e);
  }
}

void WsDiscoverySearch::Run(const std::stop_token& stop, std::vector<Socket> sockets) {
  DiagLog("WsDiscoverySearch: %d sockets\n", static_cast<int>(sockets.size()));
  const Clock::time_point start = Clock::now();
  std::size_t next_probe = 0;
  std::vector<pollfd> wait_set;
  std::string datagram(kWsdDatagramMax, '\0');
  char from_text[INET_ADDRSTRLEN];
  while (!stop.stop_requested()) {
    const Clock::time_point now = Clock::now();
    while (next_probe < options_.probe_times.size() &&
           now >= start + options_.probe_times[next_probe]) {
      SendProbe(sockets);
      ++next_probe;
    }
    int timeout_ms = -1;
    if (next_probe < options_.probe_times.size()) {
      const auto left = start + options_.probe_times[next_probe] - now;
      timeout_ms = static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
    }
    wait_set.clear();
    for (const Socket& s : sockets)
      wait_set.push_back({s.fd, POLLIN, 0});
    wait_set.push_back({wake_fd_, POLLIN, 0});
    const int ready = poll(wait_set.data(), wait_set.size(), timeout_ms);
    if (ready < 0 && errno != EINTR) {
      DiagLog("WsDiscoverySearch: poll failed, errno=%d\n", errno);
      break;
    }
    if (ready <= 0)
      continue;
    for (std::size_t i = 0; i < sockets.size() && !stop.stop_requested(); ++i) {
      if ((wait_set[i].revents & (POLLIN | POLLERR)) == 0)
        continue;
      for (int taken = 0; taken < kMaxDatagramsPerWake && !stop.stop_requested(); ++taken) {
        sockaddr_in from{};
        socklen_t from_length = sizeof from;
        const ssize_t n = recvfrom(sockets[i].fd, datagram.data(), datagram.size(), MSG_DONTWAIT,
                                   reinterpret_cast<sockaddr*>(&from), &from_length);
        if (n < 0) {
          // A refused multicast leaves an error on the socket; reading it clears it.
          if (errno != EAGAIN && errno != EWOULDBLOCK && errno != ECONNREFUSED)
            DiagLog("WsDiscoverySearch: recvfrom failed, errno=%d\n", errno);
          if (errno != ECONNREFUSED)
            break;
          continue;
        }
        if (n == 0 || inet_ntop(AF_INET, &from.sin_addr, from_text, sizeof from_text) == nullptr)
          continue;
        HandleDatagram(std::string_view(datagram.data(), static_cast<std::size_t>(n)), from_text,
                       sockets[i].adapter);
      }
    }
  }
  for (const Socket& s : sockets)
    close(s.fd);
  running_ = false;
  DiagLog("WsDiscoverySearch: stopped\n");
}

}  // namespace vdz::onvif
