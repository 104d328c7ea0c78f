#include "terminal_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <tinyxml2.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "kv_line.h"

namespace vdz::devsim {

namespace {

constexpr std::array<std::pair<const char*, TerminalFault>, 8> kFaults = {{
    {"none", TerminalFault::kNone},
    {"silent", TerminalFault::kSilent},
    {"late", TerminalFault::kLate},
    {"oversize", TerminalFault::kOversize},
    {"split", TerminalFault::kSplit},
    {"ord-ok", TerminalFault::kOrdOk},
    {"other-ord", TerminalFault::kOtherOrd},
    {"close", TerminalFault::kClose},
}};

// Beyond the application's longest wait (3 s) for a reply.
constexpr int64_t kLateMs = 3600;
constexpr int kSplitPieces = 4;
constexpr int64_t kSplitPauseMs = 15;
constexpr uint32_t kMaxRequestBytes = 64 * 1024;

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string Escape(const std::string& v) {
  std::string out;
  for (char c : v) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string Frame(const std::string& body, uint32_t announced) {
  std::string f(4, '\0');
  f[0] = static_cast<char>(announced >> 24);
  f[1] = static_cast<char>(announced >> 16);
  f[2] = static_cast<char>(announced >> 8);
  f[3] = static_cast<char>(announced);
  return f + body;
}

}  // namespace

bool ParseTerminalFault(const std::string& word, TerminalFault* fault) {
  for (const auto& [name, f] : kFaults) {
    if (word == name) {
      *fault = f;
      return true;
    }
  }
  return false;
}

const char* TerminalFaultText(TerminalFault fault) {
  for (const auto& [name, f] : kFaults) {
    if (f == fault)
      return name;
  }
  return "none";
}

TerminalParams DefaultTerminalParams(const std::string& serial, int index, const std::string& ip) {
  // Every third device carries a Chinese name, as sites in the field do.
  const std::string name =
      index % 3 == 1 ? "\xE9\x97\xA8\xE5\x8F\xA3\xE6\x9C\xBA-" + std::to_string(index)  // 门口机-
                     : "TERM-" + serial;
  const std::string model = "RK-T" + std::to_string(1 + index % 4);
  return {
      {"accessip", "192.168.0.100"},
      {"accessauxip", "192.168.0.101"},
      {"devid", "ID" + serial},
      {"devname", name},
      {"accessport", std::to_string(8000 + index % 10)},
      {"talkCapVol", std::to_string(60 + index % 30)},
      {"normalCapVol", "70"},
      {"normalPlayVol", "70"},
      {"callingPlayVol", "80"},
      {"dbAlarmVol", "85"},
      {"dbAlarmEna", std::to_string(index % 2)},
      {"dbAlarmMP3", ""},
      {"serialRate", "9600"},
      {"model", model},
      {"io_out1", "0"},
      {"io_out2", "1"},
      {"io_out3", "0"},
      {"hasVid", "1"},
      {"hasTalk", "0"},
      {"needLog", "0"},
      {"deamontime", model},
      {"reboottime", "04:30:00"},
      {"enaReboot", "1"},
      {"rtspUrl", "rtsp://" + ip + ":554/live?ch=0&stream=1"},
      {"rtspEna", "0"},
      {"ftpIp", ""},
      {"ftpPort", "21"},
      {"ftpUser", ""},
      {"ftpPwd", ""},
      {"ftpPath", ""},
      {"IOSnapEna", "0"},
      {"denoiseEna", "1"},
      {"io3TimerVle", "10"},
      {"io3TimerEna", "0"},
      {"threeLedEna", "0"},
      {"IO2FxEna", "0"},
      {"IO3FxEna", "0"},
      {"IOAlarmEna", "0"},
      {"IOFangCaiAlarmEna", "0"},
      {"NetCheckEna", "0"},
      {"CapCheckEna", "0"},
      {"IOAlarmPort", "1229"},
      {"IOAlarmUrl", ""},
      {"IO2CancelEna", "0"},
      {"IO3CheckEna", "0"},
      {"dbAlarmPeriod", "10"},
      {"clientid", "C-" + serial},
  };
}

struct TerminalServer::Impl {
  struct Device {
    std::string ip;
    TerminalParams params;
    TerminalFault fault = TerminalFault::kNone;
    int listen_fd = -1;
    int64_t down_until_ms = 0;
    int requests = 0;
  };
  struct Piece {
    int64_t at_ms;
    std::string bytes;
    bool close_after;
  };
  struct Connection {
    int fd;
    std::string serial;
    std::string in;
    std::vector<Piece> out;  // in time order
  };

  uint16_t port;
  mutable std::mutex mutex;
  std::map<std::string, Device> devices;
  std::vector<Connection> connections;
  int restart_ms = 2000;
  int wake[2] = {-1, -1};
  std::atomic<bool> stop{false};
  std::thread thread;

  int Listen(const std::string& ip) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
      return -errno;
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    if (inet_pton(AF_INET, ip.c_str(), &a.sin_addr) != 1) {
      close(fd);
      return -EINVAL;
    }
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd, 64) != 0) {
      const int e = errno;
      close(fd);
      return -e;
    }
    return fd;
  }

  void Wake() {
    const char c = 1;
    [[maybe_unused]] const ssize_t n = write(wake[1], &c, 1);
  }

  void DropConnectionsOf(const std::string& serial) {
    for (auto it = connections.begin(); it != connections.end();) {
      if (it->serial == serial) {
        close(it->fd);
        it = connections.erase(it);
      } else {
        ++it;
      }
    }
  }

  std::string Answer(Device& d, const std::string& ord, const tinyxml2::XMLElement* root) {
    std::string reply_ord = ord + "_ret";
    if (d.fault == TerminalFault::kOrdOk)
      reply_ord = "ok";
    if (d.fault == TerminalFault::kOtherOrd)
      reply_ord = "somethingElse_ret";
    std::string attrs;
    auto add = [&](const std::string& name) {
      for (const auto& [k, v] : d.params) {
        if (k == name)
          attrs += " " + k + "=\"" + Escape(v) + "\"";
      }
    };
    if (ord == "requestKeyParam") {
      add("devname");
      add("deamontime");
    } else if (ord == "requestPlatform") {
      for (const auto& [k, v] : d.params) {
        // The service reports its platform port 5 below the one it was given, which is why
        // the tools show and write the reported value plus 5.
        const std::string value = k == "accessport" ? std::to_string(std::atoi(v.c_str()) - 5) : v;
        attrs += " " + k + "=\"" + Escape(value) + "\"";
      }
    } else if (ord == "modifyPlatform") {
      // Only what the document carries changes.
      for (const tinyxml2::XMLAttribute* a = root->FirstAttribute(); a; a = a->Next()) {
        const std::string name = a->Name();
        if (name == "ord" || name == "ret")
          continue;
        bool found = false;
        for (auto& [k, v] : d.params) {
          if (k == name) {
            v = a->Value();
            found = true;
          }
        }
        if (!found)
          d.params.emplace_back(name, a->Value());
      }
    } else if (ord != "rebootAlarmApp") {
      reply_ord = ord + "_ret";
      attrs = " ret=\"fail\"";
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root ord=\"" + reply_ord + "\"" + attrs +
           " ret=\"ok\"/>\n";
  }

  // A whole request is in: queue the reply as the device's fault says.
  void Serve(Connection& c, const std::string& body, int64_t now) {
    auto it = devices.find(c.serial);
    if (it == devices.end())
      return;
    Device& d = it->second;
    ++d.requests;
    if (d.fault == TerminalFault::kSilent)
      return;
    tinyxml2::XMLDocument doc;
    std::string ord;
    const tinyxml2::XMLElement* root = nullptr;
    if (doc.Parse(body.data(), body.size()) == tinyxml2::XML_SUCCESS &&
        (root = doc.FirstChildElement("root")) != nullptr && root->Attribute("ord") != nullptr) {
      ord = root->Attribute("ord");
    }
    if (ord.empty()) {
      c.out.push_back({now, Frame("", 0), true});
      return;
    }
    const std::string reply = Answer(d, ord, root);
    switch (d.fault) {
      case TerminalFault::kLate:
        c.out.push_back({now + kLateMs, Frame(reply, static_cast<uint32_t>(reply.size())), true});
        break;
      case TerminalFault::kOversize:
        c.out.push_back({now, Frame(reply, 1u << 20), false});
        break;
      case TerminalFault::kSplit: {
        const std::string frame = Frame(reply, static_cast<uint32_t>(reply.size()));
        const std::size_t step = frame.size() / kSplitPieces + 1;
        int64_t at = now;
        for (std::size_t off = 0; off < frame.size(); off += step, at += kSplitPauseMs) {
          c.out.push_back({at, frame.substr(off, step), off + step >= frame.size()});
        }
        break;
      }
      default:
        c.out.push_back({now, Frame(reply, static_cast<uint32_t>(reply.size())), true});
    }
    if (ord == "rebootAlarmApp") {
      // The service restarts once the reply is out: unreachable for a moment.
      d.down_until_ms = now + restart_ms;
    }
  }

  // Returns false when the connection is done.
  bool Read(Connection& c, int64_t now) {
    char buf[4096];
    for (;;) {
      const ssize_t n = recv(c.fd, buf, sizeof buf, 0);
      if (n > 0) {
        c.in.append(buf, static_cast<std::size_t>(n));
        continue;
      }
      if (n < 0 && (errno == EAGAIN || errno == EINTR))
        break;
      return !c.out.empty();  // the client closed; finish sending
    }
    while (c.in.size() >= 4) {
      const auto* p = reinterpret_cast<const unsigned char*>(c.in.data());
      const uint32_t len =
          (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
      if (len > kMaxRequestBytes)
        return false;
      if (c.in.size() < 4 + len)
        break;
      const std::string body = c.in.substr(4, len);
      c.in.erase(0, 4 + len);
      Serve(c, body, now);
    }
    return true;
  }

  bool Flush(Connection& c, int64_t now) {
    while (!c.out.empty() && c.out.front().at_ms <= now) {
      Piece& p = c.out.front();
      const ssize_t n = send(c.fd, p.bytes.data(), p.bytes.size(), MSG_NOSIGNAL);
      if (n < 0 && errno == EAGAIN)
        return true;
      if (n <= 0)
        return false;
      p.bytes.erase(0, static_cast<std::size_t>(n));
      if (!p.bytes.empty())
        return true;
      const bool close_after = p.close_after;
      c.out.erase(c.out.begin());
      if (close_after)
        return false;
    }
    return true;
  }

  void Loop() {
    while (!stop) {
      std::vector<pollfd> fds;
      std::vector<std::string> listeners;
      int timeout = 200;
      {
        std::lock_guard lock(mutex);
        const int64_t now = NowMs();
        fds.push_back({wake[0], POLLIN, 0});
        for (auto& [serial, d] : devices) {
          if (d.down_until_ms > 0 && d.down_until_ms <= now) {
            d.down_until_ms = 0;
            if (d.listen_fd < 0)
              d.listen_fd = Listen(d.ip);
          } else if (d.down_until_ms > now && d.listen_fd >= 0) {
            bool replying = false;
            for (const Connection& c : connections)
              replying = replying || (c.serial == serial && !c.out.empty());
            if (!replying) {
              close(d.listen_fd);
              d.listen_fd = -1;
              DropConnectionsOf(serial);
            }
          }
          if (d.down_until_ms > now)
            timeout = std::min<int>(timeout, static_cast<int>(d.down_until_ms - now) + 1);
          if (d.listen_fd >= 0) {
            fds.push_back({d.listen_fd, POLLIN, 0});
            listeners.push_back(serial);
          }
        }
        for (const Connection& c : connections) {
          short events = POLLIN;
          if (!c.out.empty()) {
            if (c.out.front().at_ms <= now) {
              events |= POLLOUT;
            } else {
              timeout = std::min<int>(timeout, static_cast<int>(c.out.front().at_ms - now) + 1);
            }
          }
          fds.push_back({c.fd, events, 0});
        }
      }
      if (poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR)
        break;
      std::lock_guard lock(mutex);
      const int64_t now = NowMs();
      if (fds[0].revents) {
        char sink[64];
        while (read(wake[0], sink, sizeof sink) > 0) {
        }
      }
      for (std::size_t i = 0; i < listeners.size(); ++i) {
        if (!(fds[1 + i].revents & POLLIN))
          continue;
        auto it = devices.find(listeners[i]);
        if (it == devices.end() || it->second.listen_fd != fds[1 + i].fd)
          continue;
        for (;;) {
          const int fd = accept4(fds[1 + i].fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
          if (fd < 0)
            break;
          if (it->second.fault == TerminalFault::kClose) {
            close(fd);
            continue;
          }
          connections.push_back({fd, listeners[i], {}, {}});
        }
      }
      for (auto it = connections.begin(); it != connections.end();) {
        bool keep = true;
        pollfd* p = nullptr;
        for (std::size_t k = 1 + listeners.size(); k < fds.size(); ++k) {
          if (fds[k].fd == it->fd)
            p = &fds[k];
        }
        if (p != nullptr && (p->revents & (POLLIN | POLLHUP | POLLERR)))
          keep = Read(*it, now);
        if (keep)
          keep = Flush(*it, now);
        if (!keep) {
          close(it->fd);
          it = connections.erase(it);
        } else {
          ++it;
        }
      }
    }
  }
};

TerminalServer::TerminalServer(uint16_t port) : impl_(std::make_unique<Impl>()) {
  impl_->port = port;
}

TerminalServer::~TerminalServer() {
  Stop();
  RemoveAll();
}

bool TerminalServer::Start() {
  if (impl_->thread.joinable())
    return true;
  if (pipe2(impl_->wake, O_NONBLOCK | O_CLOEXEC) != 0)
    return false;
  impl_->stop = false;
  impl_->thread = std::thread([this] { impl_->Loop(); });
  return true;
}

void TerminalServer::Stop() {
  if (!impl_->thread.joinable())
    return;
  impl_->stop = true;
  impl_->Wake();
  impl_->thread.join();
  close(impl_->wake[0]);
  close(impl_->wake[1]);
  impl_->wake[0] = impl_->wake[1] = -1;
}

int TerminalServer::Add(const std::string& serial, const std::string& ip, TerminalParams params) {
  std::lock_guard lock(impl_->mutex);
  const int fd = impl_->Listen(ip);
  if (fd < 0)
    return fd;
  Impl::Device& d = impl_->devices[serial];
  if (d.listen_fd >= 0)
    close(d.listen_fd);
  d = Impl::Device{ip, std::move(params), TerminalFault::kNone, fd, 0, 0};
  if (impl_->wake[1] >= 0)
    impl_->Wake();
  return 0;
}

void TerminalServer::Move(const std::string& serial, const std::string& ip) {
  std::lock_guard lock(impl_->mutex);
  auto it = impl_->devices.find(serial);
  if (it == impl_->devices.end())
    return;
  impl_->DropConnectionsOf(serial);
  if (it->second.listen_fd >= 0)
    close(it->second.listen_fd);
  it->second.ip = ip;
  it->second.listen_fd = impl_->Listen(ip);
  if (impl_->wake[1] >= 0)
    impl_->Wake();
}

void TerminalServer::Remove(const std::string& serial) {
  std::lock_guard lock(impl_->mutex);
  auto it = impl_->devices.find(serial);
  if (it == impl_->devices.end())
    return;
  impl_->DropConnectionsOf(serial);
  if (it->second.listen_fd >= 0)
    close(it->second.listen_fd);
  impl_->devices.erase(it);
  if (impl_->wake[1] >= 0)
    impl_->Wake();
}

void TerminalServer::RemoveAll() {
  std::lock_guard lock(impl_->mutex);
  for (Impl::Connection& c : impl_->connections)
    close(c.fd);
  impl_->connections.clear();
  for (auto& [serial, d] : impl_->devices) {
    if (d.listen_fd >= 0)
      close(d.listen_fd);
  }
  impl_->devices.clear();
  if (impl_->wake[1] >= 0)
    impl_->Wake();
}

bool TerminalServer::SetFault(const std::string& serial, TerminalFault fault) {
  std::lock_guard lock(impl_->mutex);
  auto it = impl_->devices.find(serial);
  if (it == impl_->devices.end())
    return false;
  it->second.fault = fault;
  return true;
}

void TerminalServer::SetRestartMs(int ms) {
  std::lock_guard lock(impl_->mutex);
  impl_->restart_ms = ms;
}

std::string TerminalServer::Describe(const std::string& serial) const {
  std::lock_guard lock(impl_->mutex);
  auto it = impl_->devices.find(serial);
  if (it == impl_->devices.end())
    return {};
  std::string out = "fault=" + std::string(TerminalFaultText(it->second.fault)) +
                    " requests=" + std::to_string(it->second.requests) +
                    " up=" + (it->second.listen_fd >= 0 ? "1" : "0");
  for (const auto& [k, v] : it->second.params)
    out += " " + k + "=" + QuoteKvValue(v);
  return out;
}

int TerminalServer::Requests(const std::string& serial) const {
  std::lock_guard lock(impl_->mutex);
  auto it = impl_->devices.find(serial);
  return it == impl_->devices.end() ? 0 : it->second.requests;
}

}  // namespace vdz::devsim
