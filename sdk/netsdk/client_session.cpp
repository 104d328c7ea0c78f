#include "client_session.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "protocol/login_digest.h"
#include "protocol/protocol_numbers.h"
#include "qm_netsdk.h"

namespace vdz::netsdk {

namespace {

using sdkproto::FrameType;

// A peer that stops reading cannot make us hold more than this for it.
constexpr std::size_t kMaxQueuedOut = 4 * 1024 * 1024;
// Reads per readiness event, so one chatty line cannot starve the others.
constexpr int kMaxReadsPerEvent = 16;

std::string AddressText(const sockaddr_in& a) {
  char ip[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &a.sin_addr, ip, sizeof ip);
  char text[INET_ADDRSTRLEN + 8];
  std::snprintf(text, sizeof text, "%s:%u", ip, static_cast<unsigned>(ntohs(a.sin_port)));
  return text;
}

}  // namespace

ClientSession::ClientSession(SessionHost& host, int handle, const sockaddr_in& address,
                             std::string user, std::string password, bool auto_reconnect,
                             PendingCallPtr login_call)
    : host_(host),
      handle_(handle),
      address_(address),
      user_(std::move(user)),
      password_(std::move(password)),
      auto_reconnect_(auto_reconnect),
      login_call_(std::move(login_call)) {}

ClientSession::~ClientSession() {
  Close();
}

std::uint64_t ClientSession::Tag() const {
  return (std::uint64_t{generation_} << 32) | static_cast<std::uint32_t>(handle_);
}

void ClientSession::Start(Millis now) {
  reconnect_delay_ = host_.timing().reconnect_ms;
  Connect(now);
}

void ClientSession::Connect(Millis now) {
  ++generation_;
  deadline_ = now + host_.timing().login_ms;
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) {
    Lost("socket() failed", QM_NETSDK_ERR_RESOURCE, now);
    return;
  }
  // Requests and acknowledgements are small and answered at once: Nagle's algorithm would
  // hold each behind the device's delayed acknowledgement. File chunks are sent whole anyway.
  const int on = 1;
  ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  const int rc = ::connect(fd_, reinterpret_cast<const sockaddr*>(&address_), sizeof address_);
  if (rc != 0 && errno != EINPROGRESS) {
    Lost(std::strerror(errno), QM_NETSDK_ERR_CONNECT, now);
    return;
  }
  epoll_event ev{};
  ev.events = EPOLLIN | EPOLLOUT | EPOLLRDHUP;
  ev.data.u64 = Tag();
  watching_out_ = true;
  if (::epoll_ctl(host_.epoll_fd(), EPOLL_CTL_ADD, fd_, &ev) != 0) {
    Lost("epoll_ctl() failed", QM_NETSDK_ERR_RESOURCE, now);
    return;
  }
  state_ = State::kConnecting;
}

void ClientSession::WatchWritable(bool on) {
  if (fd_ < 0 || watching_out_ == on)
    return;
  epoll_event ev{};
  ev.events = EPOLLIN | EPOLLRDHUP | (on ? EPOLLOUT : 0u);
  ev.data.u64 = Tag();
  ::epoll_ctl(host_.epoll_fd(), EPOLL_CTL_MOD, fd_, &ev);
  watching_out_ = on;
}

void ClientSession::OnConnected(Millis now) {
  state_ = State::kAwaitChallenge;
  last_rx_ = now;
  last_tx_ = now;
  WatchWritable(false);
}

void ClientSession::OnIo(std::uint64_t tag, std::uint32_t events, Millis now, std::uint8_t* scratch,
                         std::size_t scratch_size) {
  if (tag != Tag() || fd_ < 0)
    return;
  if (state_ == State::kConnecting) {
    if (!(events & (EPOLLOUT | EPOLLERR | EPOLLHUP)))
      return;
    int err = 0;
    socklen_t len = sizeof err;
    ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len);
    if (err != 0 || (events & EPOLLERR)) {
      Lost(std::strerror(err != 0 ? err : ECONNREFUSED), QM_NETSDK_ERR_CONNECT, now);
      return;
    }
    OnConnected(now);
  }
  if (events & EPOLLOUT) {
    Send(now);
    if (fd_ < 0)
      return;
  }
  if (events & (EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR)) {
    for (int i = 0; i < kMaxReadsPerEvent && fd_ >= 0; ++i) {
      const ssize_t n = ::recv(fd_, scratch, scratch_size, 0);
      if (n > 0) {
        last_rx_ = now;
        const auto result =
            assembler_.Feed(scratch, static_cast<std::size_t>(n),
                            [&](const sdkproto::FrameHeader& h, std::string_view payload) {
                              return OnFrame(h, payload, now);
                            });
        if (result == sdkproto::FrameAssembler::Result::kError) {
          Lost(sdkproto::HeaderCheckText(assembler_.last_error()), QM_NETSDK_ERR_PROTOCOL, now);
          return;
        }
        if (static_cast<std::size_t>(n) < scratch_size)
          break;
        continue;
      }
      if (n == 0) {
        Lost("closed by the device", state_ == State::kUp ? 0 : QM_NETSDK_ERR_CONNECT, now);
        return;
      }
      if (errno == EAGAIN || errno == EWOULDBLOCK)
        break;
      if (errno == EINTR)
        continue;
      Lost(std::strerror(errno), QM_NETSDK_ERR_CONNECT, now);
      return;
    }
  }
}

bool ClientSession::OnFrame(const sdkproto::FrameHeader& header, std::string_view payload,
                            Millis now) {
  switch (state_) {
    case State::kAwaitChallenge: {
      if (header.type != FrameType::kChallenge || payload.size() != sdkproto::kNonceSize)
        break;
      sdkproto::LoginMessage login;
      login.user = user_;
      login.digest = sdkproto::LoginDigest(payload, user_, password_);
      sdkproto::AppendLogin(out_.Tail(), next_sequence_++, login);
      state_ = State::kAwaitLoginReply;
      Send(now);
      return fd_ >= 0;
    }
    case State::kAwaitLoginReply: {
      sdkproto::ResultMessage reply;
      if (header.type == FrameType::kPing)
        return true;
      if (header.type != FrameType::kLoginReply || !sdkproto::ParseResult(payload, reply))
        break;
      if (reply.result != 0) {
        Lost("account refused", QM_NETSDK_ERR_AUTH, now);
        return false;
      }
      Up(now);
      return fd_ >= 0;
    }
    case State::kUp: {
      if (header.type == FrameType::kPing) {
        sdkproto::AppendFrame(out_.Tail(), FrameType::kPong, header.sequence, {});
        Send(now);
        return fd_ >= 0;
      }
      if (header.type == FrameType::kPong)
        return true;
      if (header.type == FrameType::kResponse) {
        sdkproto::ResultMessage response;
        if (!sdkproto::ParseResult(payload, response))
          break;
        for (Transfer& t : transfers_) {
          if (t.phase == Transfer::Phase::kBegin && t.begin_sequence == header.sequence)
            return OnBeginAnswer(t, response, now);
        }
        auto it = std::find_if(in_flight_.begin(), in_flight_.end(),
                               [&](const InFlight& f) { return f.sequence == header.sequence; });
        if (it != in_flight_.end()) {
          it->call->Complete(response.result == 0 ? QM_NETSDK_OK : QM_NETSDK_ERR_DEVICE);
          in_flight_.erase(it);
        }
        return true;
      }
      if (header.type == FrameType::kEvent || header.type == FrameType::kAux) {
        sdkproto::CodedText coded;
        if (!sdkproto::ParseCoded(payload, coded))
          break;
        if (!announced_)
          return true;
        if (header.type == FrameType::kEvent && coded.code == proto::kEventUpgradeWriting)
          NoteWritingProgress(coded.text);
        const int gen = static_cast<int>(generation_);
        if (header.type == FrameType::kEvent) {
          host_.EmitStatus(handle_, coded.code, coded.text);
        } else {
          host_.EmitAux(handle_, coded.code, coded.text);
        }
        // A callback may not touch this session directly, but stay defensive.
        return fd_ >= 0 && gen == static_cast<int>(generation_);
      }
      if (header.type == FrameType::kFileAck || header.type == FrameType::kFileData ||
          header.type == FrameType::kFileEnd) {
        return OnFileFrame(header, payload, now);
      }
      break;
    }
    case State::kConnecting:
    case State::kDown:
    case State::kFinished:
      break;
  }
  Lost("unexpected frame", QM_NETSDK_ERR_PROTOCOL, now);
  return false;
}

void ClientSession::Up(Millis now) {
  state_ = State::kUp;
  reconnect_delay_ = host_.timing().reconnect_ms;
  last_rx_ = now;
  ever_up_ = true;
  if (login_call_) {
    if (!login_call_->Complete(handle_)) {
      // The caller gave up just before: nobody holds this handle.
      login_call_.reset();
      Close();
      state_ = State::kFinished;
      return;
    }
    login_call_.reset();
    return;  // event 4 follows LoginReturned, once the caller has the handle
  }
  if (announced_)
    host_.EmitStatus(handle_, QM_NETSDK_EVENT_SESSION_UP, AddressText(address_));
}

void ClientSession::LoginReturned() {
  announced_ = true;
  if (state_ == State::kUp) {
    host_.EmitStatus(handle_, QM_NETSDK_EVENT_SESSION_UP, AddressText(address_));
  } else {
    // Lost between the login's answer and its return: say so now that the handle is known.
    host_.EmitStatus(handle_, QM_NETSDK_EVENT_DISCONNECTED, "lost before the login returned");
  }
}

void ClientSession::Send(Millis now) {
  // Chunks of running transfers are read in as the kernel takes what is queued, so a
  // session holds at most its high-water mark of frames.
  for (bool more = true; more && fd_ >= 0;) {
    if (!transfers_.empty() && state_ == State::kUp)
      PumpTransfers(now);
    more = false;
    const std::size_t before = out_.size();
    const OutQueue::FlushResult result = out_.Flush(fd_);
    if (out_.size() != before)
      last_tx_ = now;
    switch (result) {
      case OutQueue::FlushResult::kDrained:
        // Room again: read in more chunks, unless nothing went out this round.
        more = out_.size() != before && !transfers_.empty();
        break;
      case OutQueue::FlushResult::kWouldBlock:
        break;
      case OutQueue::FlushResult::kFileShort:
        // The file shrank under us: the frame cannot be completed and the stream would be
        // out of step, so the line goes.
        Lost("file read failed", 0, now);
        return;
      case OutQueue::FlushResult::kError:
        Lost(std::strerror(errno), QM_NETSDK_ERR_CONNECT, now);
        return;
    }
  }
  if (fd_ < 0)
    return;
  if (out_.size() > kMaxQueuedOut) {
    Lost("device stopped reading", QM_NETSDK_ERR_TIMEOUT, now);
    return;
  }
  if (state_ != State::kConnecting)
    WatchWritable(!out_.empty());
}

void ClientSession::FailCalls(int result) {
  for (auto& f : in_flight_)
    f.call->Complete(result);
  in_flight_.clear();
  in_flight_.shrink_to_fit();
}

void ClientSession::Close() {
  if (fd_ >= 0) {
    ::close(fd_);  // also leaves the epoll set
    fd_ = -1;
  }
  ++generation_;
  watching_out_ = false;
  assembler_.Reset();
  out_.Clear();
  FailTransfers(false, 0);
  FailCalls(QM_NETSDK_ERR_NOT_CONNECTED);
  if (login_call_) {
    login_call_->Complete(QM_NETSDK_ERR_CONNECT);
    login_call_.reset();
  }
}

void ClientSession::Lost(std::string_view reason, int login_error, Millis now) {
  const bool was_up = state_ == State::kUp;
  if (login_call_) {
    // The first login failed: report why, and drop the session.
    login_call_->Complete(login_error != 0 ? login_error : QM_NETSDK_ERR_CONNECT);
    login_call_.reset();
    Close();
    state_ = State::kFinished;
    return;
  }
  // The transfers end with their events before the session says it is down.
  FailTransfers(true, now);
  Close();
  state_ = State::kDown;
  if (announced_) {
    const std::string text(reason);
    host_.EmitStatus(
        handle_, was_up ? QM_NETSDK_EVENT_DISCONNECTED : QM_NETSDK_EVENT_RECONNECT_FAILED, text);
  }
  if (auto_reconnect_ && ever_up_) {
    deadline_ = now + reconnect_delay_;
    reconnect_delay_ = std::min<Millis>(reconnect_delay_ * 2, host_.timing().reconnect_max_ms);
  } else {
    deadline_ = 0;
  }
}

void ClientSession::SetAutoReconnect(bool enable, Millis now) {
  auto_reconnect_ = enable;
  if (enable && state_ == State::kDown && deadline_ == 0 && ever_up_)
    deadline_ = now;
  if (!enable && state_ == State::kDown)
    deadline_ = 0;
}

void ClientSession::Request(const sdkproto::RequestMessage& request, PendingCallPtr call,
                            Millis now) {
  if (state_ != State::kUp) {
    call->Complete(QM_NETSDK_ERR_NOT_CONNECTED);
    return;
  }
  const std::uint32_t seq = next_sequence_++;
  sdkproto::AppendRequest(out_.Tail(), seq, request);
  in_flight_.push_back({seq, now + host_.timing().request_ms, std::move(call)});
  Send(now);
}

void ClientSession::OnTick(Millis now) {
  const SdkTiming& t = host_.timing();
  switch (state_) {
    case State::kConnecting:
    case State::kAwaitChallenge:
    case State::kAwaitLoginReply:
      if (now >= deadline_)
        Lost("no answer", QM_NETSDK_ERR_TIMEOUT, now);
      return;
    case State::kDown:
      if (deadline_ != 0 && now >= deadline_)
        Connect(now);
      return;
    case State::kFinished:
      return;
    case State::kUp:
      break;
  }
  if (!in_flight_.empty()) {
    auto expired = std::remove_if(in_flight_.begin(), in_flight_.end(), [&](InFlight& f) {
      if (now < f.deadline)
        return false;
      f.call->Complete(QM_NETSDK_ERR_TIMEOUT);
      return true;
    });
    in_flight_.erase(expired, in_flight_.end());
  }
  if (now - last_rx_ >= t.dead_peer_ms) {
    Lost("dead peer", 0, now);
    return;
  }
  if (!transfers_.empty()) {
    CheckStalls(now);
    if (fd_ < 0)
      return;
  }
  if (now - last_tx_ >= t.keepalive_ms) {
    sdkproto::AppendFrame(out_.Tail(), FrameType::kPing, next_sequence_++, {});
    Send(now);
  }
}

}  // namespace vdz::netsdk
