#include "device_server_host.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "device_documents.h"
#include "protocol/frame_assembler.h"
#include "protocol/login_digest.h"
#include "protocol/messages.h"
#include "protocol/payload.h"
#include "protocol/protocol_numbers.h"

namespace vdz::devserver {

namespace {

using sdkproto::FrameType;
using sdkproto::RequestOp;
using Millis = std::int64_t;

constexpr std::uint64_t kListenKind = 1;
constexpr std::uint64_t kConnKind = 2;
constexpr std::size_t kScratchSize = 64 * 1024;
constexpr std::size_t kMaxQueuedOut = 4 * 1024 * 1024;
constexpr int kResultNoDocument = -2;
constexpr int kResultUnknownCommand = -3;

Millis NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::uint64_t Tag(std::uint64_t kind, int id) {
  return (kind << 32) | static_cast<std::uint32_t>(id);
}

// System commands a device accepts without an answer of its own: factory restore, time
// sync, output port, snapshot, file delete, image parameters.
bool AcceptedSystemCommand(int command) {
  switch (command) {
    case proto::kCmdRestoreConfig:
    case proto::kCmdTimeSync:
    case proto::kCmdFileDelete:
    case proto::kCmdOutputPort:
    case proto::kCmdSnapshot:
    case proto::kCmdImageParameters:
      return true;
    default:
      return false;
  }
}

}  // namespace

struct DeviceServerHost::Impl {
  struct Device {
    DeviceConfig config;
    int listen_fd = -1;
    std::uint16_t bound_port = 0;
    Misbehaviour misbehaviour = Misbehaviour::kNone;
    Millis back_at = 0;  // rebooting until then
    std::map<int, std::string> last_system_control;
  };

  enum class ConnState { kAwaitLogin, kLoginHeld, kUp, kSilent };

  struct Conn {
    int device = 0;
    int fd = -1;
    ConnState state = ConnState::kAwaitLogin;
    std::string nonce;
    sdkproto::FrameAssembler assembler;
    std::string out;
    std::uint32_t next_sequence = 1;
    std::uint32_t held_sequence = 0;
    std::string held_login;  // the login frame's payload while its answer is held back
    Millis last_rx = 0;
    bool close_after_flush = false;
    bool dead = false;  // closed; reaped after the current batch of events
  };

  mutable std::mutex mutex;
  int epoll_fd = -1;
  int next_device = 1;
  int next_conn = 1;
  std::map<int, Device> devices;
  std::unordered_map<int, Conn> conns;
  std::unique_ptr<std::uint8_t[]> scratch{new std::uint8_t[kScratchSize]};
  Millis last_tick = 0;
  std::thread thread;
  std::atomic<bool> stop{false};

  int Listen(Device& d) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(d.bound_port != 0 ? d.bound_port : d.config.port);
    if (::inet_pton(AF_INET, d.config.address.c_str(), &a.sin_addr) != 1)
      return -EINVAL;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
      return -errno;
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 512) != 0) {
      const int err = errno;
      ::close(fd);
      return -err;
    }
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    d.bound_port = ntohs(a.sin_port);
    d.listen_fd = fd;
    return 0;
  }

  void Unlisten(Device& d) {
    if (d.listen_fd >= 0)
      ::close(d.listen_fd);
    d.listen_fd = -1;
  }

  void Register(int fd, std::uint64_t tag, std::uint32_t events) {
    epoll_event ev{};
    ev.events = events;
    ev.data.u64 = tag;
    ::epoll_ctl(epoll_fd, EPOLL_CTL_ADD, fd, &ev);
  }

  // Closing happens inside frame handlers, which still run on the connection's assembler:
  // the fd goes at once, the entry only when Reap runs after the handler has returned.
  void CloseConn(int id) {
    auto it = conns.find(id);
    if (it == conns.end() || it->second.dead)
      return;
    ::close(it->second.fd);
    it->second.fd = -1;
    it->second.dead = true;
  }

  void CloseDeviceConns(int device) {
    for (auto& [id, c] : conns) {
      if (c.device == device)
        CloseConn(id);
    }
  }

  void Reap() {
    std::erase_if(conns, [](const auto& entry) { return entry.second.dead; });
  }

  // Sends what is queued; false when the connection was closed.
  bool Flush(int id, Conn& c) {
    if (c.dead)
      return false;
    while (!c.out.empty()) {
      const ssize_t n = ::send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL);
      if (n > 0) {
        c.out.erase(0, static_cast<std::size_t>(n));
        continue;
      }
      if (n < 0 && errno == EINTR)
        continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        break;
      CloseConn(id);
      return false;
    }
    if (c.out.size() > kMaxQueuedOut || (c.out.empty() && c.close_after_flush)) {
      CloseConn(id);
      return false;
    }
    if (c.out.empty() && c.out.capacity() > 4096)
      std::string().swap(c.out);
    epoll_event ev{};
    ev.events = EPOLLIN | EPOLLRDHUP | (c.out.empty() ? 0u : EPOLLOUT);
    ev.data.u64 = Tag(kConnKind, id);
    ::epoll_ctl(epoll_fd, EPOLL_CTL_MOD, c.fd, &ev);
    return true;
  }

  // The line-level faults, applied to one connection; false when it was closed.
  bool Misbehave(int id, Conn& c, Misbehaviour m) {
    switch (m) {
      case Misbehaviour::kNone:
      case Misbehaviour::kRefuseLogins:
      case Misbehaviour::kHoldLogins:
        return true;
      case Misbehaviour::kSilent:
        c.state = ConnState::kSilent;
        return true;
      case Misbehaviour::kDropLine:
        CloseConn(id);
        return false;
      case Misbehaviour::kGarbage:
        c.out.append("GARBAGE!\x01\x02\x03\x04 this is not a frame at all\r\n");
        c.state = ConnState::kSilent;
        return Flush(id, c);
      case Misbehaviour::kHugeLength: {
        std::string header;
        sdkproto::PayloadWriter w(header);
        w.U32(sdkproto::kMagic);
        w.U8(sdkproto::kVersion);
        w.U8(static_cast<std::uint8_t>(FrameType::kEvent));
        w.U16(0);
        w.U32(c.next_sequence++);
        w.U32(100u * 1000u * 1000u);
        c.out += header;
        c.out.append(64, 'x');
        c.state = ConnState::kSilent;
        return Flush(id, c);
      }
      case Misbehaviour::kCloseMidFrame: {
        std::string frame;
        sdkproto::AppendCoded(frame, FrameType::kAux, c.next_sequence++,
                              {1020, "<RESPONSE_PARAM cut=\"here and there\" />"});
        c.out.append(frame, 0, frame.size() / 2);
        c.close_after_flush = true;
        return Flush(id, c);
      }
    }
    return true;
  }

  void Accept(int device_id) {
    auto dit = devices.find(device_id);
    if (dit == devices.end() || dit->second.listen_fd < 0)
      return;
    Device& d = dit->second;
    for (;;) {
      const int fd = ::accept4(d.listen_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (fd < 0)
        return;
      const int id = next_conn++;
      Conn& c = conns[id];
      c.device = device_id;
      c.fd = fd;
      c.last_rx = NowMs();
      Register(fd, Tag(kConnKind, id), EPOLLIN | EPOLLRDHUP);
      if (d.misbehaviour != Misbehaviour::kNone && d.misbehaviour != Misbehaviour::kRefuseLogins &&
          d.misbehaviour != Misbehaviour::kHoldLogins) {
        Misbehave(id, c, d.misbehaviour);
        continue;
      }
      c.nonce.resize(sdkproto::kNonceSize);
      if (::getrandom(c.nonce.data(), c.nonce.size(), 0) != static_cast<ssize_t>(c.nonce.size())) {
        for (auto& ch : c.nonce)
          ch = static_cast<char>(NowMs() * 31 + id);
      }
      sdkproto::AppendFrame(c.out, FrameType::kChallenge, c.next_sequence++, c.nonce);
      Flush(id, c);
    }
  }

  void Reply(Conn& c, std::uint32_t seq, int result) {
    sdkproto::AppendResult(c.out, FrameType::kResponse, seq, {result, {}});
  }

  void Aux(Conn& c, int command, std::string_view text) {
    sdkproto::AppendCoded(c.out, FrameType::kAux, c.next_sequence++, {command, text});
  }

  void StartReboot(Device& d, Millis now) {
    Unlisten(d);
    d.back_at = now + d.config.reboot_ms;
  }

  bool AnswerLogin(int id, Conn& c, Device& d, std::uint32_t sequence, std::string_view payload) {
    sdkproto::LoginMessage login;
    if (!sdkproto::ParseLogin(payload, login)) {
      CloseConn(id);
      return false;
    }
    bool ok = false;
    if (d.misbehaviour != Misbehaviour::kRefuseLogins) {
      for (const auto& account : d.config.accounts) {
        if (account.user == login.user &&
            sdkproto::LoginDigest(c.nonce, account.user, account.password) == login.digest) {
          ok = true;
        }
      }
    }
    sdkproto::AppendResult(c.out, FrameType::kLoginReply, sequence,
                           {ok ? 0 : -1, ok ? "" : "account refused"});
    if (ok) {
      c.state = ConnState::kUp;
    } else {
      c.close_after_flush = true;
    }
    return Flush(id, c) && ok;
  }

  // False when the connection is gone or must not see more frames.
  bool OnFrame(int id, Conn& c, Device& d, const sdkproto::FrameHeader& h, std::string_view payload,
               Millis now) {
    if (c.state == ConnState::kSilent)
      return true;
    if (c.state == ConnState::kLoginHeld)
      return true;
    if (c.state == ConnState::kAwaitLogin) {
      if (h.type != FrameType::kLogin) {
        CloseConn(id);
        return false;
      }
      if (d.misbehaviour == Misbehaviour::kHoldLogins) {
        c.state = ConnState::kLoginHeld;
        c.held_sequence = h.sequence;
        c.held_login.assign(payload);
        return true;
      }
      return AnswerLogin(id, c, d, h.sequence, payload);
    }
    switch (h.type) {
      case FrameType::kPing:
        sdkproto::AppendFrame(c.out, FrameType::kPong, h.sequence, {});
        return Flush(id, c);
      case FrameType::kPong:
        return true;
      case FrameType::kRequest:
        break;
      default:
        CloseConn(id);
        return false;
    }
    sdkproto::RequestMessage r;
    if (!sdkproto::ParseRequest(payload, r)) {
      CloseConn(id);
      return false;
    }
    switch (r.op) {
      case RequestOp::kSetConfig:
        d.config.documents[r.command] = std::string(r.text);
        Reply(c, h.sequence, 0);
        break;
      case RequestOp::kGetConfig: {
        auto doc = d.config.documents.find(r.command);
        if (doc == d.config.documents.end()) {
          Reply(c, h.sequence, kResultNoDocument);
          break;
        }
        Aux(c, r.command, doc->second);
        Reply(c, h.sequence, 0);
        break;
      }
      case RequestOp::kSystemControl:
        if (r.command == proto::kCmdFirmwareVersion) {
          Aux(c, r.command, FirmwareVersionDocument(d.config));
        } else if (r.command == proto::kCmdDeviceInformation) {
          Aux(c, r.command, DeviceInformationDocument(d.config));
        } else if (r.command == proto::kCmdFileSearch) {
          Aux(c, r.command, EmptyFileListDocument());
        } else if (!AcceptedSystemCommand(r.command)) {
          Reply(c, h.sequence, kResultUnknownCommand);
          break;
        }
        d.last_system_control[r.command] = std::string(r.text);
        Reply(c, h.sequence, 0);
        break;
      case RequestOp::kReboot: {
        Reply(c, h.sequence, 0);
        Flush(id, c);  // the answer goes out before the line drops
        const int device_id = c.device;
        CloseDeviceConns(device_id);
        StartReboot(d, now);
        return false;
      }
      case RequestOp::kPtzPreset:
      case RequestOp::kPtzControl:
      case RequestOp::kCreateIFrame:
        Reply(c, h.sequence, 0);
        break;
      default:
        Reply(c, h.sequence, kResultUnknownCommand);
        break;
    }
    return Flush(id, c);
  }

  void OnConnIo(int id, std::uint32_t events, Millis now) {
    auto it = conns.find(id);
    if (it == conns.end() || it->second.dead)
      return;
    Conn& c = it->second;
    if ((events & EPOLLOUT) && !Flush(id, c))
      return;
    if (!(events & (EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR)))
      return;
    auto dit = devices.find(c.device);
    if (dit == devices.end()) {
      CloseConn(id);
      return;
    }
    for (int i = 0; i < 16; ++i) {
      const ssize_t n = ::recv(c.fd, scratch.get(), kScratchSize, 0);
      if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
        CloseConn(id);
        return;
      }
      if (n < 0) {
        if (errno == EINTR)
          continue;
        return;
      }
      c.last_rx = now;
      if (c.state == ConnState::kSilent)
        continue;
      const auto result =
          c.assembler.Feed(scratch.get(), static_cast<std::size_t>(n),
                           [&](const sdkproto::FrameHeader& h, std::string_view payload) {
                             return OnFrame(id, c, dit->second, h, payload, now);
                           });
      if (result == sdkproto::FrameAssembler::Result::kError) {
        CloseConn(id);
        return;
      }
      if (result == sdkproto::FrameAssembler::Result::kStopped || c.dead)
        return;
    }
  }

  void Tick(Millis now) {
    for (auto& [id, d] : devices) {
      if (d.back_at != 0 && now >= d.back_at && Listen(d) == 0) {
        d.back_at = 0;
        Register(d.listen_fd, Tag(kListenKind, id), EPOLLIN);
      }
    }
    for (auto& [id, c] : conns) {
      auto dit = devices.find(c.device);
      const int idle = dit != devices.end() ? dit->second.config.idle_drop_ms : 0;
      if (now - c.last_rx >= idle)
        CloseConn(id);
    }
  }

  void Broadcast(int device, FrameType type, int code, std::string_view text) {
    std::vector<int> ids;
    for (auto& [id, c] : conns) {
      if (c.device == device && c.state == ConnState::kUp && !c.dead)
        ids.push_back(id);
    }
    for (const int id : ids) {
      auto it = conns.find(id);
      if (it == conns.end())
        continue;
      sdkproto::AppendCoded(it->second.out, type, it->second.next_sequence++, {code, text});
      Flush(id, it->second);
    }
  }
};

DeviceServerHost::DeviceServerHost() : impl_(std::make_unique<Impl>()) {
  impl_->epoll_fd = ::epoll_create1(EPOLL_CLOEXEC);
}

DeviceServerHost::~DeviceServerHost() {
  Stop();
  for (auto& [id, c] : impl_->conns) {
    if (c.fd >= 0)
      ::close(c.fd);
  }
  for (auto& [id, d] : impl_->devices)
    impl_->Unlisten(d);
  if (impl_->epoll_fd >= 0)
    ::close(impl_->epoll_fd);
}

DeviceId DeviceServerHost::AddDevice(const DeviceConfig& config) {
  std::lock_guard lock(impl_->mutex);
  if (impl_->epoll_fd < 0)
    return -EBADF;
  Impl::Device d;
  d.config = config;
  const int rc = impl_->Listen(d);
  if (rc != 0)
    return rc;
  const int id = impl_->next_device++;
  impl_->Register(d.listen_fd, Tag(kListenKind, id), EPOLLIN);
  impl_->devices.emplace(id, std::move(d));
  return id;
}

bool DeviceServerHost::RemoveDevice(DeviceId id) {
  std::lock_guard lock(impl_->mutex);
  auto it = impl_->devices.find(id);
  if (it == impl_->devices.end())
    return false;
  impl_->CloseDeviceConns(id);
  impl_->Reap();
  impl_->Unlisten(it->second);
  impl_->devices.erase(it);
  return true;
}

int DeviceServerHost::MoveDevice(DeviceId id, const std::string& address, std::uint16_t port) {
  std::lock_guard lock(impl_->mutex);
  auto it = impl_->devices.find(id);
  if (it == impl_->devices.end())
    return -ENOENT;
  Impl::Device& d = it->second;
  impl_->CloseDeviceConns(id);
  impl_->Unlisten(d);
  d.config.address = address;
  if (port != 0) {
    d.config.port = port;
    d.bound_port = 0;
  }
  d.back_at = 0;
  const int rc = impl_->Listen(d);
  if (rc == 0)
    impl_->Register(d.listen_fd, Tag(kListenKind, id), EPOLLIN);
  return rc;
}

bool DeviceServerHost::SetMisbehaviour(DeviceId id, Misbehaviour misbehaviour) {
  std::lock_guard lock(impl_->mutex);
  auto it = impl_->devices.find(id);
  if (it == impl_->devices.end())
    return false;
  it->second.misbehaviour = misbehaviour;
  std::vector<int> ids;
  for (auto& [cid, c] : impl_->conns) {
    if (c.device == id)
      ids.push_back(cid);
  }
  for (const int cid : ids) {
    auto cit = impl_->conns.find(cid);
    if (cit == impl_->conns.end())
      continue;
    Impl::Conn& c = cit->second;
    if (c.state == Impl::ConnState::kLoginHeld && misbehaviour != Misbehaviour::kHoldLogins) {
      c.state = Impl::ConnState::kAwaitLogin;
      const std::string payload = std::move(c.held_login);
      c.held_login.clear();
      if (!impl_->AnswerLogin(cid, c, it->second, c.held_sequence, payload))
        continue;
    }
    impl_->Misbehave(cid, c, misbehaviour);
  }
  impl_->Reap();
  return true;
}

bool DeviceServerHost::Reboot(DeviceId id) {
  std::lock_guard lock(impl_->mutex);
  auto it = impl_->devices.find(id);
  if (it == impl_->devices.end())
    return false;
  impl_->CloseDeviceConns(id);
  impl_->StartReboot(it->second, NowMs());
  return true;
}

bool DeviceServerHost::PushEvent(DeviceId id, int event_type, std::string_view data) {
  std::lock_guard lock(impl_->mutex);
  if (impl_->devices.count(id) == 0)
    return false;
  impl_->Broadcast(id, FrameType::kEvent, event_type, data);
  return true;
}

bool DeviceServerHost::PushAux(DeviceId id, int command, std::string_view text) {
  std::lock_guard lock(impl_->mutex);
  if (impl_->devices.count(id) == 0)
    return false;
  impl_->Broadcast(id, FrameType::kAux, command, text);
  return true;
}

std::uint16_t DeviceServerHost::Port(DeviceId id) const {
  std::lock_guard lock(impl_->mutex);
  auto it = impl_->devices.find(id);
  if (it == impl_->devices.end() || it->second.listen_fd < 0)
    return 0;
  return it->second.bound_port;
}

std::optional<std::string> DeviceServerHost::Document(DeviceId id, int command) const {
  std::lock_guard lock(impl_->mutex);
  auto it = impl_->devices.find(id);
  if (it == impl_->devices.end())
    return std::nullopt;
  auto doc = it->second.config.documents.find(command);
  if (doc == it->second.config.documents.end())
    return std::nullopt;
  return doc->second;
}

std::optional<std::string> DeviceServerHost::LastSystemControl(DeviceId id, int command) const {
  std::lock_guard lock(impl_->mutex);
  auto it = impl_->devices.find(id);
  if (it == impl_->devices.end())
    return std::nullopt;
  auto p = it->second.last_system_control.find(command);
  if (p == it->second.last_system_control.end())
    return std::nullopt;
  return p->second;
}

int DeviceServerHost::SessionCount(DeviceId id) const {
  std::lock_guard lock(impl_->mutex);
  int n = 0;
  for (const auto& [cid, c] : impl_->conns) {
    n += c.device == id && c.state == Impl::ConnState::kUp && !c.dead;
  }
  return n;
}

int DeviceServerHost::ConnectionCount(DeviceId id) const {
  std::lock_guard lock(impl_->mutex);
  int n = 0;
  for (const auto& [cid, c] : impl_->conns)
    n += c.device == id && !c.dead;
  return n;
}

int DeviceServerHost::Fd() const {
  return impl_->epoll_fd;
}

void DeviceServerHost::Poll(int timeout_ms) {
  epoll_event events[128];
  const int n = ::epoll_wait(impl_->epoll_fd, events, 128, timeout_ms);
  std::lock_guard lock(impl_->mutex);
  const Millis now = NowMs();
  for (int i = 0; i < n; ++i) {
    const std::uint64_t kind = events[i].data.u64 >> 32;
    const int id = static_cast<int>(events[i].data.u64 & 0xFFFFFFFFu);
    if (kind == kListenKind) {
      impl_->Accept(id);
    } else {
      impl_->OnConnIo(id, events[i].events, now);
    }
  }
  if (now - impl_->last_tick >= 50) {
    impl_->last_tick = now;
    impl_->Tick(now);
  }
  impl_->Reap();
}

bool DeviceServerHost::Start() {
  if (impl_->thread.joinable())
    return true;
  impl_->stop = false;
  try {
    impl_->thread = std::thread([this] {
      while (!impl_->stop)
        Poll(50);
    });
  } catch (...) {
    return false;
  }
  return true;
}

void DeviceServerHost::Stop() {
  if (!impl_->thread.joinable())
    return;
  impl_->stop = true;
  impl_->thread.join();
}

}  // namespace vdz::devserver
