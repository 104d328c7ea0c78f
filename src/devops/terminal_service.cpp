#include "devops/terminal_service.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "protocol/protocol_numbers.h"
#include "shell/bounded_text.h"
#include "shell/diag_log.h"

namespace vdz {

namespace {

using Clock = std::chrono::steady_clock;

class Socket {
 public:
  Socket() : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {}
  ~Socket() {
    if (fd_ >= 0)
      ::close(fd_);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

bool SetBlocking(int fd, bool blocking) {
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0)
    return false;
  return fcntl(fd, F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK) == 0;
}

void SetTimeouts(int fd, int ms) {
  timeval tv{};
  tv.tv_sec = ms / 1000;
  tv.tv_usec = (ms % 1000) * 1000;
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
}

int MsLeft(Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

bool WaitFor(int fd, short events, int ms) {
  pollfd p{fd, events, 0};
  for (;;) {
    const int n = poll(&p, 1, ms);
    if (n < 0 && errno == EINTR)
      continue;
    return n > 0 && (p.revents & events) != 0;
  }
}

// Reads exactly size bytes before the deadline; a body may come in several pieces.
int ReadFully(int fd, char* out, std::size_t size, Clock::time_point deadline) {
  std::size_t have = 0;
  while (have < size) {
    if (!WaitFor(fd, POLLIN, MsLeft(deadline)))
      return kTerminalNoReply;
    const ssize_t n = recv(fd, out + have, size - have, 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
      continue;
    if (n <= 0)
      return kTerminalReplyCut;
    have += static_cast<std::size_t>(n);
  }
  return kTerminalOk;
}

int Exchange(const std::string& ip, uint16_t port, const std::string& document, const char* request,
             const TerminalTimeouts& t, TerminalAnswer* answer) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  if (inet_pton(AF_INET, ip.c_str(), &to.sin_addr) != 1)
    return kTerminalBadAddress;
  Socket socket;
  const int fd = socket.fd();
  if (fd < 0)
    return kTerminalSocketFailed;
  SetTimeouts(fd, t.socket_ms);
  if (!SetBlocking(fd, false))
    return kTerminalSocketFailed;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0 && errno != EINPROGRESS)
    return kTerminalNotConnected;
  int zero = 0;
  if (setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &zero, sizeof zero) != 0) {
    std::printf("set sndbuf fail, fail to change SNDbuf!\n");
  }
  if (!WaitFor(fd, POLLOUT, t.connect_ms))
    return kTerminalNotConnected;
  int error = 0;
  socklen_t length = sizeof error;
  if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
    return kTerminalNotConnected;
  if (!SetBlocking(fd, true))
    return kTerminalSocketFailed;
  const std::string frame = FrameTerminalDocument(document);
  if (send(fd, frame.data(), frame.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(frame.size()))
    return kTerminalSendFailed;

  // The whole reply, length and body, has to be in within the reply time.
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(t.reply_ms);
  unsigned char header[4];
  int rc = ReadFully(fd, reinterpret_cast<char*>(header), sizeof header, deadline);
  if (rc != kTerminalOk)
    return rc;
  const uint32_t announced = (uint32_t{header[0]} << 24) | (uint32_t{header[1]} << 16) |
                             (uint32_t{header[2]} << 8) | uint32_t{header[3]};
  // Nothing beyond the buffer is read: a larger announcement is a broken reply, not a cue to
  // read that far.
  if (announced > kTerminalReplyBytes)
    return kTerminalReplyTooLong;
  if (announced == 0)
    return kTerminalBadReply;
  std::string body(announced, '\0');
  rc = ReadFully(fd, body.data(), body.size(), deadline);
  if (rc != kTerminalOk)
    return rc;
  rc = ReadTerminalReply(body, request, answer);
  if (rc == -1)
    return kTerminalBadReply;
  if (rc != 0)
    return kTerminalNoAnswer;
  return kTerminalOk;
}

std::string Text(const char (&field)[32]) {
  return std::string(FieldText(field));
}

}  // namespace

int ExchangeTerminalDocument(const std::string& ip, uint16_t port, const std::string& document,
                             const char* request, const TerminalTimeouts& timeouts,
                             TerminalAnswer* answer) {
  const int rc = Exchange(ip, port, document, request, timeouts, answer);
  DiagLog("terminal service %s: %s, ret=%d\n", ip.c_str(), request, rc);
  return rc;
}

SocketTerminalService::SocketTerminalService(uint16_t port) : port_(port) {}
SocketTerminalService::SocketTerminalService() : port_(proto::kTerminalServicePort) {}

int SocketTerminalService::RequestKeyParameters(const DeviceRecord& record,
                                                TerminalKeyParameters* keys) {
  const std::string ip(FieldText(record.Lan.IPAddress));
  TerminalAnswer answer;
  const int rc = ExchangeTerminalDocument(
      ip, port_, BuildTerminalRequest(kTerminalRequestKeyParam, ip, Text(record.SerialNumber)),
      kTerminalRequestKeyParam, kKeyParamTimeouts, &answer);
  if (rc == kTerminalOk)
    *keys = ReadTerminalKeyParameters(answer);
  return rc;
}

int SocketTerminalService::RequestPlatform(const DeviceRecord& record, TerminalParameterSet* set) {
  const std::string ip(FieldText(record.Lan.IPAddress));
  TerminalAnswer answer;
  const int rc = ExchangeTerminalDocument(
      ip, port_, BuildTerminalRequest(kTerminalRequestPlatform, ip, Text(record.SerialNumber)),
      kTerminalRequestPlatform, kTerminalTimeouts, &answer);
  if (rc == kTerminalOk)
    FillTerminalParameterSet(answer, set);
  return rc;
}

int SocketTerminalService::ModifyPlatform(const DeviceRecord& record,
                                          const TerminalParameterSet& set,
                                          const std::set<std::string>* names) {
  std::string document;
  if (BuildModifyPlatform(set, &document, names) != 0) {
    DiagLog("terminal service %s: %s refused, a value is too long\n",
            std::string(FieldText(record.Lan.IPAddress)).c_str(), kTerminalModifyPlatform);
    return kTerminalDocumentRefused;
  }
  TerminalAnswer answer;
  return ExchangeTerminalDocument(std::string(FieldText(record.Lan.IPAddress)), port_, document,
                                  kTerminalModifyPlatform, kTerminalTimeouts, &answer);
}

int SocketTerminalService::RebootAlarmApp(const DeviceRecord& record) {
  const std::string ip(FieldText(record.Lan.IPAddress));
  TerminalAnswer answer;
  return ExchangeTerminalDocument(
      ip, port_, BuildTerminalRequest(kTerminalRebootAlarmApp, ip, Text(record.SerialNumber)),
      kTerminalRebootAlarmApp, kTerminalTimeouts, &answer);
}

}  // namespace vdz
