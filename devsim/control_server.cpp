#include "control_server.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "control_reply.h"

namespace vdz::devsim {

namespace {

constexpr std::size_t kMaxLine = 64 * 1024;

bool FillAddress(const std::string& path, sockaddr_un* addr) {
  if (path.empty() || path.size() >= sizeof addr->sun_path)
    return false;
  addr->sun_family = AF_UNIX;
  std::memcpy(addr->sun_path, path.c_str(), path.size() + 1);
  return true;
}

}  // namespace

ControlServer::~ControlServer() {
  for (Client& c : clients_)
    close(c.fd);
  if (listen_fd_ >= 0) {
    close(listen_fd_);
    unlink(path_.c_str());
  }
}

bool ControlServer::Listen(const std::string& path, std::string* error) {
  sockaddr_un addr{};
  if (!FillAddress(path, &addr)) {
    *error = "control path too long or empty: " + path;
    return false;
  }
  listen_fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (listen_fd_ < 0) {
    *error = std::string("control socket: ") + std::strerror(errno);
    return false;
  }
  unlink(path.c_str());
  if (bind(listen_fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(listen_fd_, 16) != 0) {
    *error = "control socket " + path + ": " + std::strerror(errno);
    return false;
  }
  path_ = path;
  return true;
}

void ControlServer::AddPollFds(std::vector<pollfd>* fds) const {
  if (listen_fd_ >= 0)
    fds->push_back({listen_fd_, POLLIN, 0});
  for (const Client& c : clients_) {
    fds->push_back({c.fd, static_cast<short>(c.out.empty() ? POLLIN : POLLIN | POLLOUT), 0});
  }
}

bool ControlServer::idle() const {
  for (const Client& c : clients_) {
    if (!c.out.empty())
      return false;
  }
  return true;
}

void ControlServer::Flush(Client& c) {
  while (!c.out.empty()) {
    const ssize_t n = send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n <= 0) {
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        return;
      c.closing = true;
      c.out.clear();
      return;
    }
    c.out.erase(0, static_cast<std::size_t>(n));
  }
}

void ControlServer::HandleEvents(const std::vector<pollfd>& fds, const Handler& handler) {
  for (const pollfd& p : fds) {
    if (p.revents == 0)
      continue;
    if (p.fd == listen_fd_) {
      for (;;) {
        const int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
          break;
        clients_.push_back({fd, {}, {}, false});
      }
      continue;
    }
    for (Client& c : clients_) {
      if (c.fd != p.fd)
        continue;
      if (p.revents & (POLLIN | POLLHUP | POLLERR)) {
        char buf[4096];
        for (;;) {
          const ssize_t n = recv(c.fd, buf, sizeof buf, MSG_DONTWAIT);
          if (n > 0) {
            c.in.append(buf, static_cast<std::size_t>(n));
            continue;
          }
          if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
            c.closing = true;
          break;
        }
        std::size_t nl;
        while ((nl = c.in.find('\n')) != std::string::npos) {
          const std::string line = c.in.substr(0, nl);
          c.in.erase(0, nl + 1);
          c.out += handler(line);
        }
        if (c.in.size() > kMaxLine) {
          c.out += "ERR line too long\n";
          c.in.clear();
        }
      }
      Flush(c);
    }
  }
  for (std::size_t i = 0; i < clients_.size();) {
    if (clients_[i].closing && clients_[i].out.empty()) {
      close(clients_[i].fd);
      clients_.erase(clients_.begin() + static_cast<std::ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
}

int RunControlClient(const std::string& path, const std::string& line, double wait_s) {
  sockaddr_un addr{};
  if (!FillAddress(path, &addr)) {
    std::fprintf(stderr, "devsim ctl: bad control path %s\n", path.c_str());
    return 2;
  }
  timespec start{};
  clock_gettime(CLOCK_MONOTONIC, &start);
  int fd = -1;
  for (;;) {
    fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0)
      break;
    const int e = errno;
    if (fd >= 0)
      close(fd);
    fd = -1;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const double waited = static_cast<double>(now.tv_sec - start.tv_sec) +
                          static_cast<double>(now.tv_nsec - start.tv_nsec) / 1e9;
    if (waited >= wait_s) {
      std::fprintf(stderr, "devsim ctl: cannot connect to %s: %s\n", path.c_str(),
                   std::strerror(e));
      return 2;
    }
    usleep(50000);
  }
  const ControlReply reply = ExchangeControlLine(fd, line);
  close(fd);
  if (!reply.sent)
    return 2;
  std::fwrite(reply.text.data(), 1, reply.text.size(), stdout);
  if (!reply.complete)
    return 2;
  return reply.ok ? 0 : 1;
}

}  // namespace vdz::devsim
