#include "discovery/discovery_engine.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <map>
#include <system_error>
#include <vector>

#include "discovery/discovery_protocol.h"
#include "shell/diag_log.h"

namespace vdz {

namespace {

constexpr int kReceiveBufferBytes = 131072;
constexpr int kDatagramBuffer = 5120;
constexpr std::size_t kMaxWaitedSockets = 64;

sockaddr_in BroadcastDestination() {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(kDiscoveryPort);
  to.sin_addr.s_addr = htonl(INADDR_BROADCAST);
  return to;
}

// Wakes a worker blocked in poll: a stop request or a newly queued text.
class WakeEvent {
 public:
  WakeEvent() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
  ~WakeEvent() {
    if (fd_ >= 0)
      close(fd_);
  }
  WakeEvent(const WakeEvent&) = delete;
  WakeEvent& operator=(const WakeEvent&) = delete;
  int fd() const { return fd_; }
  void Signal() {
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = write(fd_, &one, sizeof one);
  }
  void Drain() {
    uint64_t value = 0;
    [[maybe_unused]] ssize_t n = read(fd_, &value, sizeof value);
  }

 private:
  int fd_;
};

// The worker and the one-off broadcast word a short send differently.
enum class SendContext { kWorker, kOneOff };

bool SendOne(int fd, const std::string& text, SendContext context) {
  const sockaddr_in to = BroadcastDestination();
  const ssize_t sent =
      sendto(fd, text.data(), text.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  if (sent < static_cast<ssize_t>(text.size())) {
    if (context == SendContext::kWorker) {
      DiagLog("SearchIPCThread(): sendto failed, error=%d\n", errno);
    } else {
      DiagLog("sendto failed, error=%d\n", errno);
    }
    return false;
  }
  DiagLog("send INADDR_BROADCAST to seach ipc......\r\n");
  return true;
}

void ClearSocketError(int fd) {
  int error = 0;
  socklen_t length = sizeof error;
  getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
}

std::map<uint32_t, int> OpenSockets(NetworkInfoSource& network, uint32_t selection) {
  AdapterTable adapters = BuildAdapterTable(network);
  adapters.emplace(0, AdapterInfo{});
  std::map<uint32_t, int> sockets;
  for (const auto& [key, info] : adapters) {
    if ((selection == 0 || selection == key) && !sockets.count(key)) {
      const int fd = OpenDiscoverySocket(key);
      if (fd >= 0)
        sockets.emplace(key, fd);
    }
  }
  return sockets;
}

}  // namespace

int OpenDiscoverySocket(uint32_t adapter_key) {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    DiagLog("SearchIPCThread(): socket() failed, errno=%d\n", errno);
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    return -1;
  }
  DiagLog("SearchIPCThread(): socket() ok, sockfd=%d\n", fd);
  const int buffer = kReceiveBufferBytes;
  setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
  const int on = 1;
  if (setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
    DiagLog("SearchIPCThread(): setsockopt() failed, errno=%d\n", errno);
    close(fd);
    return -1;
  }
  DiagLog("SearchIPCThread(): setsockopt() ok!\n");
  if (setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) {
    DiagLog("SearchIPCThread(): set socket reuse address option failed, errno=%d\n", errno);
    close(fd);
    return -1;
  }
  DiagLog("SearchIPCThread(): set socket reuse address option ok!\n");
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = 0;
  inet_pton(AF_INET, DottedFromKey(adapter_key).c_str(), &local.sin_addr);
  if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    DiagLog("SearchIPCThread(): Can't bind socket to local port!, errno=%d\n", errno);
    close(fd);
    return -1;
  }
  DiagLog("SearchIPCThread(): bind() ok!\n");
  return fd;
}

struct DiscoveryEngine::Shared {
  Shared(std::shared_ptr<DeviceRegistry> r, std::shared_ptr<NetworkInfoSource> n)
      : registry(std::move(r)), network(std::move(n)) {}

  std::shared_ptr<DeviceRegistry> registry;
  std::shared_ptr<NetworkInfoSource> network;
  std::atomic<bool> running{false};
  std::atomic<bool> finished{true};
  std::atomic<uint32_t> selection{0};
  std::atomic<int> open_sockets{-1};
  WakeEvent wake;

  std::mutex queue_mutex;
  std::deque<std::string> queue;

  void Enqueue(std::string text) {
    {
      std::lock_guard lock(queue_mutex);
      queue.push_back(std::move(text));
    }
    wake.Signal();
  }
  bool TakeOne(std::string* text) {
    std::lock_guard lock(queue_mutex);
    if (queue.empty())
      return false;
    *text = std::move(queue.front());
    queue.pop_front();
    return true;
  }
};

DiscoveryEngine::DiscoveryEngine(std::shared_ptr<DeviceRegistry> registry,
                                 std::shared_ptr<NetworkInfoSource> network)
    : shared_(std::make_shared<Shared>(std::move(registry), std::move(network))) {}

DiscoveryEngine::~DiscoveryEngine() {
  if (running())
    StopSearchThread();
}

bool DiscoveryEngine::running() const {
  return shared_->running.load();
}

int DiscoveryEngine::open_socket_count() const {
  return shared_->open_sockets.load();
}

int DiscoveryEngine::StartSearchThread() {
  if (shared_->running) {
    DiagLog("CQmDadIvidudEvuzDlg::StartSearchThread: SearchIPCThread has run.\n");
    return 0;
  }
  shared_->registry->ClearRegistry();
  shared_->selection = selection_.load();
  {
    std::lock_guard lock(shared_->queue_mutex);
    shared_->queue.clear();
  }
  shared_->wake.Drain();
  shared_->open_sockets = -1;
  shared_->running = true;
  shared_->finished = false;
  try {
    worker_ = std::thread(&DiscoveryEngine::SearchIPCThread, shared_);
  } catch (const std::system_error& error) {
    DiagLog("CQmDadIvidudEvuzDlg::StartSearchThread: Strat SearchIPCThread fail, error= %d.\n",
            error.code().value());
    shared_->running = false;
    shared_->finished = true;
    return 0;
  }
  return 1;
}

int DiscoveryEngine::StopSearchThread() {
  if (!shared_->running) {
    DiagLog("CQmDadIvidudEvuzDlg::StopSearchThread: SearchIPCThread hasn't run.\n");
    return 0;
  }
  shared_->running = false;
  shared_->wake.Signal();
  for (int check = 0; check < 100 && !shared_->finished; ++check) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (worker_.joinable()) {
    if (shared_->finished) {
      worker_.join();
    } else {
      // Threads are never killed: the worker keeps its own references and ends on its own.
      DiagLog("CQmDadIvidudEvuzDlg::StopSearchThread: TerminateThread SearchIPCThread.\n");
      worker_.detach();
      shared_ = std::make_shared<Shared>(shared_->registry, shared_->network);
    }
  }
  return 1;
}

int DiscoveryEngine::SendDiscoveryMessage(int code, const char* body) {
  std::string text = BuildDiscoveryMessage(code, body);
  if (shared_->running) {
    shared_->Enqueue(std::move(text));
  } else {
    BroadcastOnce(text);
  }
  return 0;
}

void DiscoveryEngine::BroadcastOnce(const std::string& text) {
  const std::map<uint32_t, int> sockets = OpenSockets(*shared_->network, 0);
  for (const auto& [key, fd] : sockets) {
    pollfd entry{fd, POLLOUT, 0};
    const int ready = poll(&entry, 1, 1000);
    if (ready < 0) {
      DiagLog("SearchIPCThread(): select failed, error=%d\n", errno);
      continue;
    }
    if (ready == 0)
      continue;
    if ((entry.revents & (POLLERR | POLLNVAL)) != 0) {
      DiagLog("SearchIPCThread(): select sock find socket error\n");
      ClearSocketError(fd);
      continue;
    }
    if ((entry.revents & POLLOUT) != 0 && !SendOne(fd, text, SendContext::kOneOff))
      break;
  }
  for (const auto& [key, fd] : sockets)
    close(fd);
}

// Takes its own reference: a worker left to end on its own must keep what it touches alive.
// NOLINTNEXTLINE(performance-unnecessary-value-param)
void DiscoveryEngine::SearchIPCThread(std::shared_ptr<Shared> shared) {
  DiagLog("SearchIPCThread(): enter main loop...\n");
  shared->Enqueue(BuildDiscoveryMessage(kMsgCodeSearch, nullptr));

  const std::map<uint32_t, int> sockets = OpenSockets(*shared->network, shared->selection);
  shared->open_sockets = static_cast<int>(sockets.size());
  std::vector<std::pair<uint32_t, int>> waited(sockets.begin(), sockets.end());
  if (waited.size() > kMaxWaitedSockets)
    waited.resize(kMaxWaitedSockets);

  DiagLog("SearchIPCThread(): enter send and recv loop...\n");
  std::vector<pollfd> read_set;
  char datagram[kDatagramBuffer];
  std::string text;
  while (shared->running) {
    if (shared->TakeOne(&text)) {
      for (const auto& [key, fd] : waited) {
        pollfd entries[2] = {{fd, POLLOUT, 0}, {shared->wake.fd(), POLLIN, 0}};
        const int ready = poll(entries, 2, 2000);
        if (!shared->running)
          break;
        if (ready < 0) {
          DiagLog("SearchIPCThread(): select failed, error=%d\n", errno);
          continue;
        }
        if (ready == 0)
          continue;
        if ((entries[0].revents & (POLLERR | POLLNVAL)) != 0) {
          DiagLog("SearchIPCThread(): select sock find socket error\n");
          ClearSocketError(fd);
          continue;
        }
        if ((entries[0].revents & POLLOUT) != 0 && !SendOne(fd, text, SendContext::kWorker)) {
          break;
        }
      }
      text.clear();
    }
    if (!shared->running)
      break;

    read_set.clear();
    for (const auto& [key, fd] : waited)
      read_set.push_back({fd, POLLIN, 0});
    read_set.push_back({shared->wake.fd(), POLLIN, 0});
    const int ready = poll(read_set.data(), read_set.size(), 1000);
    if (ready < 0) {
      DiagLog("SearchIPCThread(): select failed, error=%d\n", errno);
      continue;
    }
    if (ready == 0)
      continue;
    if ((read_set.back().revents & POLLIN) != 0)
      shared->wake.Drain();

    for (std::size_t i = 0; i < waited.size(); ++i) {
      const short events = read_set[i].revents;
      const int fd = waited[i].second;
      if ((events & (POLLERR | POLLNVAL)) != 0 && (events & POLLIN) == 0) {
        DiagLog("SearchIPCThread(): select sock find socket error\n");
        ClearSocketError(fd);
        continue;
      }
      if ((events & POLLIN) == 0)
        continue;
      sockaddr_in from{};
      socklen_t from_length = sizeof from;
      const ssize_t n = recvfrom(fd, datagram, sizeof datagram, 0,
                                 reinterpret_cast<sockaddr*>(&from), &from_length);
      if (n <= 0 || n > static_cast<ssize_t>(kMaxDiscoveryDatagram)) {
        DiagLog("SearchIPCThread(): recvfrom failed, error=%d\n", n < 0 ? errno : EMSGSIZE);
        continue;
      }
      datagram[n] = '\0';
      // One parse serves the classification and every block reader of the registry.
      const DeviceDocument document(datagram);
      if (ClassifyDatagram(document) == DatagramKind::kDeviceAnswer) {
        shared->registry->AddDeviceAnswer(document, DottedFromKey(waited[i].first).c_str());
      }
    }
  }

  DiagLog("SearchIPCThread(): exit send and recv loop\n");
  for (const auto& [key, fd] : sockets)
    close(fd);
  DiagLog("SearchIPCThread(): exit main loop\n");
  shared->finished = true;
}

}  // namespace vdz
