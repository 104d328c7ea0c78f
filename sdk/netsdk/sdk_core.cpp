#include "sdk_core.h"

#include <arpa/inet.h>
#include <pthread.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "protocol/protocol_numbers.h"
#include "talk_core.h"

namespace vdz::netsdk {

namespace {

constexpr std::uint64_t kWakeTag = ~std::uint64_t{0};
constexpr int kTickMs = 50;
constexpr int kMaxEvents = 256;
constexpr std::size_t kScratchSize = 64 * 1024;
// Slack beyond the I/O thread's own bound, so the thread's answer normally wins.
constexpr int kCallerSlackMs = 500;
// A blocking transfer ends by itself (done, refused, line lost, or stalled for the dead-peer
// bound); this only guards the caller against a thread that never answers.
constexpr int kTransferCallerLimitMs = 10 * 60 * 1000;

Millis NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::chrono::steady_clock::time_point DeadlineIn(int ms) {
  return std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
}

}  // namespace

SdkCore& SdkCore::Instance() {
  static SdkCore core;
  return core;
}

bool SdkCore::OnIoThread() const {
  return io_thread_id_.load() == std::this_thread::get_id();
}

int SdkCore::Init() {
  std::lock_guard lock(state_mutex_);
  if (running_)
    return QM_NETSDK_OK;
  epoll_fd_ = ::epoll_create1(EPOLL_CLOEXEC);
  wake_fd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (epoll_fd_ < 0 || wake_fd_ < 0) {
    if (epoll_fd_ >= 0)
      ::close(epoll_fd_);
    if (wake_fd_ >= 0)
      ::close(wake_fd_);
    epoll_fd_ = wake_fd_ = -1;
    return QM_NETSDK_ERR_RESOURCE;
  }
  epoll_event ev{};
  ev.events = EPOLLIN;
  ev.data.u64 = kWakeTag;
  ::epoll_ctl(epoll_fd_, EPOLL_CTL_ADD, wake_fd_, &ev);
  stop_ = false;
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (...) {
    ::close(epoll_fd_);
    ::close(wake_fd_);
    epoll_fd_ = wake_fd_ = -1;
    return QM_NETSDK_ERR_RESOURCE;
  }
  running_ = true;
  return QM_NETSDK_OK;
}

int SdkCore::Cleanup() {
  if (OnIoThread())
    return QM_NETSDK_ERR_WRONG_THREAD;
  {
    std::lock_guard lock(state_mutex_);
    if (!running_)
      return QM_NETSDK_OK;
    running_ = false;
    live_.clear();
    upgrade_progress_.clear();
  }
  stop_ = true;
  const std::uint64_t one = 1;
  (void)!::write(wake_fd_, &one, sizeof one);
  thread_.join();
  std::deque<Command> left;
  {
    std::lock_guard lock(queue_mutex_);
    left.swap(queue_);
  }
  for (auto& c : left) {
    if (c.call)
      c.call->Complete(QM_NETSDK_ERR_NOT_INIT);
    if (c.transfer.call)
      c.transfer.call->Complete(QM_NETSDK_ERR_NOT_INIT);
  }
  sessions_.clear();
  ::close(epoll_fd_);
  ::close(wake_fd_);
  epoll_fd_ = wake_fd_ = -1;
  return QM_NETSDK_OK;
}

int SdkCore::SetTimeouts(int login_ms, int keepalive_ms, int dead_peer_ms, int reconnect_ms) {
  if (login_ms < 0 || keepalive_ms < 0 || dead_peer_ms < 0 || reconnect_ms < 0) {
    return QM_NETSDK_ERR_INVALID_ARG;
  }
  std::lock_guard lock(state_mutex_);
  if (login_ms > 0)
    timing_.login_ms = login_ms;
  if (keepalive_ms > 0)
    timing_.keepalive_ms = keepalive_ms;
  if (dead_peer_ms > 0)
    timing_.dead_peer_ms = dead_peer_ms;
  if (reconnect_ms > 0) {
    timing_.reconnect_ms = reconnect_ms;
    timing_.reconnect_max_ms = std::max(reconnect_ms, timing_.reconnect_max_ms);
  }
  return QM_NETSDK_OK;
}

// Callbacks run with callback_mutex_ held, so taking it here waits for a running one: once
// the caller has its answer, the old callback is neither running nor will it run again, and
// its owner may go. From inside a callback (the I/O thread) the lock is already ours.
void SdkCore::SetStatusCallback(QM_NETSDK_StatusEventCallBack callback, void* owner) {
  std::unique_lock quiesce(callback_mutex_, std::defer_lock);
  if (!OnIoThread())
    quiesce.lock();
  std::lock_guard lock(state_mutex_);
  status_cb_ = callback;
  status_owner_ = owner;
}

void SdkCore::SetAuxCallback(QM_NETSDK_AUXResponseCallBack callback, void* owner) {
  std::unique_lock quiesce(callback_mutex_, std::defer_lock);
  if (!OnIoThread())
    quiesce.lock();
  std::lock_guard lock(state_mutex_);
  aux_cb_ = callback;
  aux_owner_ = owner;
}

bool SdkCore::LiveHandle(int handle) {
  std::lock_guard lock(state_mutex_);
  return live_.count(handle) != 0;
}

bool SdkCore::Post(Command command) {
  {
    std::lock_guard lock(state_mutex_);
    if (!running_)
      return false;
    std::lock_guard qlock(queue_mutex_);
    queue_.push_back(std::move(command));
  }
  const std::uint64_t one = 1;
  (void)!::write(wake_fd_, &one, sizeof one);
  return true;
}

int SdkCore::SetAutoReconnect(int handle, bool enable) {
  if (handle == 0) {
    std::lock_guard lock(state_mutex_);
    if (!running_)
      return QM_NETSDK_ERR_NOT_INIT;
    default_auto_reconnect_ = enable;
    return QM_NETSDK_OK;
  }
  if (!LiveHandle(handle))
    return QM_NETSDK_ERR_INVALID_HANDLE;
  Command c;
  c.kind = CommandKind::kAutoReconnect;
  c.handle = handle;
  c.flag = enable;
  return Post(std::move(c)) ? QM_NETSDK_OK : QM_NETSDK_ERR_NOT_INIT;
}

int SdkCore::Login(const char* ip, unsigned short port, const char* user, const char* password) {
  if (ip == nullptr || user == nullptr || password == nullptr || port == 0) {
    return QM_NETSDK_ERR_INVALID_ARG;
  }
  Command c;
  c.kind = CommandKind::kLogin;
  c.address.sin_family = AF_INET;
  c.address.sin_port = htons(port);
  if (::inet_pton(AF_INET, ip, &c.address.sin_addr) != 1)
    return QM_NETSDK_ERR_INVALID_ARG;
  if (OnIoThread())
    return QM_NETSDK_ERR_WRONG_THREAD;
  int login_ms = 0;
  {
    std::lock_guard lock(state_mutex_);
    if (!running_)
      return QM_NETSDK_ERR_NOT_INIT;
    login_ms = timing_.login_ms;
    c.flag = default_auto_reconnect_;
  }
  c.user = user;
  c.password = password;
  c.handle = next_handle_.fetch_add(1);
  if (c.handle <= 0)
    return QM_NETSDK_ERR_RESOURCE;  // two billion logins later
  auto call = std::make_shared<PendingCall>();
  c.call = call;
  const int handle = c.handle;
  const sockaddr_in address = c.address;
  if (!Post(std::move(c)))
    return QM_NETSDK_ERR_NOT_INIT;
  const int result = call->Wait(DeadlineIn(login_ms + kCallerSlackMs), QM_NETSDK_ERR_TIMEOUT);
  if (result != handle)
    return result < 0 ? result : QM_NETSDK_ERR_PROTOCOL;
  {
    std::lock_guard lock(state_mutex_);
    live_.insert(handle);
    addresses_[handle] = address;
  }
  Command returned;
  returned.kind = CommandKind::kLoginReturned;
  returned.handle = handle;
  Post(std::move(returned));
  return handle;
}

int SdkCore::Logout(int handle) {
  {
    std::lock_guard lock(state_mutex_);
    if (!running_)
      return QM_NETSDK_ERR_NOT_INIT;
    addresses_.erase(handle);
    if (live_.erase(handle) == 0)
      return QM_NETSDK_ERR_INVALID_HANDLE;
    upgrade_progress_.erase(handle);
  }
  Command c;
  c.kind = CommandKind::kLogout;
  c.handle = handle;
  if (OnIoThread()) {
    Post(std::move(c));
    return QM_NETSDK_OK;
  }
  auto call = std::make_shared<PendingCall>();
  c.call = call;
  if (!Post(std::move(c)))
    return QM_NETSDK_OK;  // Cleanup closed it already
  call->Wait(DeadlineIn(2000), QM_NETSDK_OK);
  return QM_NETSDK_OK;
}

int SdkCore::Call(int handle, const sdkproto::RequestMessage& request) {
  if (OnIoThread())
    return QM_NETSDK_ERR_WRONG_THREAD;
  int request_ms = 0;
  {
    std::lock_guard lock(state_mutex_);
    if (!running_)
      return QM_NETSDK_ERR_NOT_INIT;
    if (live_.count(handle) == 0)
      return QM_NETSDK_ERR_INVALID_HANDLE;
    request_ms = timing_.request_ms;
  }
  Command c;
  c.kind = CommandKind::kRequest;
  c.handle = handle;
  c.op = request.op;
  c.command = request.command;
  c.argument = request.argument;
  c.text.assign(request.text);
  auto call = std::make_shared<PendingCall>();
  c.call = call;
  if (!Post(std::move(c)))
    return QM_NETSDK_ERR_NOT_INIT;
  return call->Wait(DeadlineIn(request_ms + kCallerSlackMs), QM_NETSDK_ERR_TIMEOUT);
}

int SdkCore::Transfer(int handle, TransferRequest request) {
  if (OnIoThread())
    return QM_NETSDK_ERR_WRONG_THREAD;
  {
    std::lock_guard lock(state_mutex_);
    if (!running_)
      return QM_NETSDK_ERR_NOT_INIT;
    if (live_.count(handle) == 0)
      return QM_NETSDK_ERR_INVALID_HANDLE;
  }
  auto call = std::make_shared<PendingCall>();
  request.call = call;
  Command c;
  c.kind = CommandKind::kTransfer;
  c.handle = handle;
  c.transfer = std::move(request);
  if (!Post(std::move(c)))
    return QM_NETSDK_ERR_NOT_INIT;
  return call->Wait(DeadlineIn(kTransferCallerLimitMs), QM_NETSDK_ERR_TIMEOUT);
}

int SdkCore::UpgradeProgress(int handle) {
  std::lock_guard lock(state_mutex_);
  if (!running_)
    return QM_NETSDK_ERR_NOT_INIT;
  if (live_.count(handle) == 0)
    return QM_NETSDK_ERR_INVALID_HANDLE;
  auto it = upgrade_progress_.find(handle);
  return it == upgrade_progress_.end() ? 0 : it->second;
}

void SdkCore::SetUpgradeProgress(int handle, int percent) {
  std::lock_guard lock(state_mutex_);
  if (live_.count(handle) != 0)
    upgrade_progress_[handle] = percent;
}

bool SdkCore::DeviceAddress(int handle, sockaddr_in& out) const {
  std::lock_guard lock(state_mutex_);
  const auto it = addresses_.find(handle);
  if (it == addresses_.end())
    return false;
  out = it->second;
  return true;
}

void SdkCore::EmitStatus(int handle, int event, std::string_view data) {
  // The device says where it receives the talk before the application hears of it, so an
  // AddTalk made in answer to the event finds the port.
  if (event == proto::kEventTalkStarted)
    TalkCore::Instance().NoteDeviceAnswer(handle, data);
  std::lock_guard running(callback_mutex_);
  QM_NETSDK_StatusEventCallBack cb = nullptr;
  void* owner = nullptr;
  {
    std::lock_guard lock(state_mutex_);
    cb = status_cb_;
    owner = status_owner_;
  }
  if (cb == nullptr)
    return;
  // Records of fixed size are read whole by the receiver, so pad short payloads with zeros.
  const std::size_t size = std::max<std::size_t>(data.size() + 1, QM_NETSDK_EVENT_DATA_MIN);
  event_buffer_.assign(size, '\0');
  std::memcpy(event_buffer_.data(), data.data(), data.size());
  cb(handle, event, event_buffer_.data(), owner);
  if (event_buffer_.capacity() > 64 * 1024)
    std::string().swap(event_buffer_);
}

void SdkCore::EmitAux(int handle, int command, std::string_view text) {
  std::lock_guard running(callback_mutex_);
  QM_NETSDK_AUXResponseCallBack cb = nullptr;
  void* owner = nullptr;
  {
    std::lock_guard lock(state_mutex_);
    cb = aux_cb_;
    owner = aux_owner_;
  }
  if (cb == nullptr)
    return;
  event_buffer_.assign(text);
  cb(handle, command, event_buffer_.c_str(), owner);
  if (event_buffer_.capacity() > 64 * 1024)
    std::string().swap(event_buffer_);
}

void SdkCore::RunCommands(Millis now) {
  std::deque<Command> batch;
  {
    std::lock_guard lock(queue_mutex_);
    batch.swap(queue_);
  }
  for (auto& c : batch) {
    auto it = sessions_.find(c.handle);
    switch (c.kind) {
      case CommandKind::kLogin: {
        auto session = std::make_unique<ClientSession>(
            *this, c.handle, c.address, std::move(c.user), std::move(c.password), c.flag, c.call);
        session->Start(now);
        if (!session->finished())
          sessions_.emplace(c.handle, std::move(session));
        break;
      }
      case CommandKind::kLoginReturned:
        if (it != sessions_.end())
          it->second->LoginReturned();
        break;
      case CommandKind::kAutoReconnect:
        if (it != sessions_.end())
          it->second->SetAutoReconnect(c.flag, now);
        break;
      case CommandKind::kLogout:
        if (it != sessions_.end())
          sessions_.erase(it);
        if (c.call)
          c.call->Complete(QM_NETSDK_OK);
        break;
      case CommandKind::kTransfer:
        if (it == sessions_.end()) {
          c.transfer.call->Complete(QM_NETSDK_ERR_INVALID_HANDLE);
          break;
        }
        it->second->StartTransfer(std::move(c.transfer), now);
        break;
      case CommandKind::kRequest:
        if (it == sessions_.end()) {
          c.call->Complete(QM_NETSDK_ERR_INVALID_HANDLE);
          break;
        }
        sdkproto::RequestMessage request;
        request.op = c.op;
        request.command = c.command;
        request.argument = c.argument;
        request.text = c.text;
        it->second->Request(request, std::move(c.call), now);
        break;
    }
  }
}

void SdkCore::Run() {
  io_thread_id_ = std::this_thread::get_id();
  pthread_setname_np(pthread_self(), "vdz-netsdk-io");
  std::unique_ptr<std::uint8_t[]> scratch(new std::uint8_t[kScratchSize]);
  epoll_event events[kMaxEvents];
  Millis last_tick = 0;
  while (!stop_) {
    const int n = ::epoll_wait(epoll_fd_, events, kMaxEvents, kTickMs);
    {
      // After the wait: a login posted right after SetTimeouts must see the new bounds.
      std::lock_guard lock(state_mutex_);
      io_timing_ = timing_;
    }
    const Millis now = NowMs();
    for (int i = 0; i < n; ++i) {
      const std::uint64_t tag = events[i].data.u64;
      if (tag == kWakeTag) {
        std::uint64_t count = 0;
        (void)!::read(wake_fd_, &count, sizeof count);
        RunCommands(now);
        continue;
      }
      auto it = sessions_.find(static_cast<int>(tag & 0xFFFFFFFFu));
      if (it == sessions_.end())
        continue;
      it->second->OnIo(tag, events[i].events, now, scratch.get(), kScratchSize);
      if (it->second->finished())
        sessions_.erase(it);
    }
    if (now - last_tick >= kTickMs) {
      last_tick = now;
      long long buffered = 0;
      for (auto it = sessions_.begin(); it != sessions_.end();) {
        it->second->OnTick(now);
        if (it->second->finished()) {
          it = sessions_.erase(it);
          continue;
        }
        buffered += static_cast<long long>(it->second->BufferedBytes());
        ++it;
      }
      buffered_bytes_ = buffered;
    }
  }
  io_thread_id_ = std::thread::id();
}

}  // namespace vdz::netsdk
