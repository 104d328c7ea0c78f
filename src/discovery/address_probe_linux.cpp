// PintTest over Linux sockets: a raw ICMP socket where the process may open one, else an
// unprivileged ICMP "ping" socket (net.ipv4.ping_group_range). Both give the same outcomes.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "devconfig/ip_setting_rules.h"
#include "discovery/address_probe.h"
#include "shell/diag_log.h"

namespace vdz {

namespace {

class ProbeSocket {
 public:
  ProbeSocket() {
    fd_ = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd_ < 0) {
      fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
      with_ip_header_ = false;
    }
  }
  ~ProbeSocket() {
    if (fd_ >= 0)
      ::close(fd_);
  }
  ProbeSocket(const ProbeSocket&) = delete;
  ProbeSocket& operator=(const ProbeSocket&) = delete;

  int fd() const { return fd_; }
  bool with_ip_header() const { return with_ip_header_; }

 private:
  int fd_ = -1;
  bool with_ip_header_ = true;
};

uint32_t TickMs() {
  using namespace std::chrono;
  return static_cast<uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// poll for up to timeout_ms, restarted after a signal with what is left of the wait.
int WaitReadable(int fd, int timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    const int r = ::poll(&p, 1, left > 0 ? static_cast<int>(left) : 0);
    if (r < 0 && errno == EINTR)
      continue;
    return r;
  }
}

}  // namespace

int PintTest(uint32_t destination) {
  ProbeSocket socket;
  if (socket.fd() < 0)
    return -1;
  const std::string dest_text = DottedFromHostOrder(ntohl(destination));
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = destination;

  std::vector<std::array<uint8_t, kEchoRequestSize>> sent;
  for (int attempt = 0; attempt < kPintAttempts; ++attempt) {
    const auto request = BuildEchoRequest(static_cast<uint16_t>(attempt), TickMs());
    const ssize_t sent_bytes = ::sendto(socket.fd(), request.data(), request.size(), 0,
                                        reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (sent_bytes < static_cast<ssize_t>(request.size())) {
      DiagLog("PintTest(): sendto failed.\n");
      return -1;
    }
    sent.push_back(request);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPintWaitMs);
    bool other_packet = false;
    while (!other_packet) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - std::chrono::steady_clock::now())
                            .count();
      const int ready = WaitReadable(socket.fd(), left > 0 ? static_cast<int>(left) : 0);
      if (ready < 0) {
        DiagLog("PintTest(): select failed.\n");
        return -1;
      }
      if (ready == 0)
        break;

      uint8_t packet[kEchoReplyBufferSize];
      sockaddr_in from{};
      socklen_t from_length = sizeof from;
      const ssize_t received = ::recvfrom(socket.fd(), packet, sizeof packet, 0,
                                          reinterpret_cast<sockaddr*>(&from), &from_length);
      if (received <= 0) {
        DiagLog("PintTest(): recvfrom failed.\n");
        return -1;
      }
      const auto length = static_cast<std::size_t>(received);
      uint32_t source = 0;
      switch (ClassifyEchoPacket(packet, length, socket.with_ip_header(), from.sin_addr.s_addr,
                                 destination, &source)) {
        case EchoVerdict::kReplyFromDestination: {
          bool ours = false;
          for (const auto& asked : sent)
            ours = ours || EchoAnswers(packet, length, socket.with_ip_header(), asked);
          if (ours) {
            DiagLog("got replay from ip: %s\n", dest_text.c_str());
            return 0;
          }
          // Another probe's late answer: this one's may still come.
          DiagLog("PintTest(): reply from %s to another request ignored.\n", dest_text.c_str());
          continue;
        }
        case EchoVerdict::kOtherSource:
          DiagLog("PintTest(): recv packet not from dest ip, but from: %s\n",
                  DottedFromHostOrder(ntohl(source)).c_str());
          break;
        case EchoVerdict::kBadLength:
          DiagLog("PintTest(): recv bad length.\n");
          break;
        case EchoVerdict::kNotEchoReply:
          DiagLog("recv not icmp packet.\n");
          break;
      }
      other_packet = true;
    }
    if (other_packet)
      std::this_thread::sleep_for(std::chrono::milliseconds(kPintWaitMs));
  }
  DiagLog("PintTest(): no replay recv, ip %s is usable.\n", dest_text.c_str());
  return 1;
}

}  // namespace vdz
