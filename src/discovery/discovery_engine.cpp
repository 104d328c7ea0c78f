#include "discovery/discovery_engine.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <iterator>
#include <map>
#include <optional>
#include <system_error>
#include <vector>

#include "devconfig/ipv4_text.h"
#include "discovery/discovery_protocol.h"
#include "discovery/search_ranges.h"
#include "shell/diag_log.h"

namespace vdz {

namespace {

constexpr int kDatagramBuffer = 5120;
constexpr std::size_t kMaxWaitedSockets = 64;
// A wake reads at most this many datagrams from one socket, so a flood cannot keep queued
// requests or a stop waiting; the next pass goes on at once.
constexpr int kMaxDatagramsPerWake = 4096;

std::atomic<int> g_granted_receive_buffer{0};
std::atomic<int> g_logged_receive_buffer{0};

// The privileged option ignores the system's limit for others; without the privilege the
// plain one is clamped to that limit, which is then the largest the system grants.
void SetReceiveBuffer(int fd, int bytes) {
  if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) != 0)
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
  int granted = 0;
  socklen_t length = sizeof granted;
  if (getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &granted, &length) != 0)
    return;
  g_granted_receive_buffer = granted;
  if (g_logged_receive_buffer.exchange(granted) != granted) {
    DiagLog("SearchIPCThread(): receive buffer %d bytes (asked %d)\n", granted, bytes);
  }
}

// The discovery port at an address in host order.
sockaddr_in Destination(uint32_t address) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(proto::kDiscoveryPort);
  to.sin_addr.s_addr = htonl(address);
  return to;
}

sockaddr_in BroadcastDestination() {
  return Destination(INADDR_BROADCAST);
}

// One request to one address; no log line per address, a pass logs its sum.
bool SendUnicast(int fd, const std::string& text, uint32_t address, int flags = 0) {
  const sockaddr_in to = Destination(address);
  const ssize_t sent = sendto(fd, text.data(), text.size(), flags,
                              reinterpret_cast<const sockaddr*>(&to), sizeof to);
  return sent == static_cast<ssize_t>(text.size());
}

// One queued request: broadcast on every socket, or sent to one address (host order).
struct Outgoing {
  std::string text;
  uint32_t to = 0;
  // The repeated search request: it also starts a unicast pass over the targets.
  bool search = false;
};

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

// A failed send is logged and costs only this socket: with no default route the wildcard
// socket cannot send a limited broadcast, while the sockets bound to an adapter's address
// still leave through that adapter.
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

std::map<uint32_t, int> OpenSockets(NetworkInfoSource& network, uint32_t selection,
                                    int receive_buffer) {
  AdapterTable adapters = BuildAdapterTable(network);
  adapters.emplace(0, AdapterInfo{});
  std::map<uint32_t, int> sockets;
  for (const auto& [key, info] : adapters) {
    if ((selection == 0 || selection == key) && !sockets.count(key)) {
      const int fd = OpenDiscoverySocket(key, receive_buffer);
      if (fd >= 0)
        sockets.emplace(key, fd);
    }
  }
  return sockets;
}

}  // namespace

int GrantedReceiveBuffer() {
  return g_granted_receive_buffer.load();
}

int OpenDiscoverySocket(uint32_t adapter_key, int receive_buffer) {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    DiagLog("SearchIPCThread(): socket() failed, errno=%d\n", errno);
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    return -1;
  }
  DiagLog("SearchIPCThread(): socket() ok, sockfd=%d\n", fd);
  SetReceiveBuffer(fd, receive_buffer);
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
  // Bound to an adapter's address, a limited broadcast leaves through the adapter holding
  // that address whatever the routing table says; only the wildcard socket needs a route.
  if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    DiagLog("SearchIPCThread(): Can't bind socket to local port!, errno=%d\n", errno);
    close(fd);
    return -1;
  }
  DiagLog("SearchIPCThread(): bind() ok!\n");
  return fd;
}

struct DiscoveryEngine::Shared {
  Shared(std::shared_ptr<DeviceRegistry> r, std::shared_ptr<NetworkInfoSource> n,
         DiscoveryEngineOptions o)
      : registry(std::move(r)), network(std::move(n)), options(o) {}

  std::shared_ptr<DeviceRegistry> registry;
  std::shared_ptr<NetworkInfoSource> network;
  const DiscoveryEngineOptions options;
  std::atomic<bool> running{false};
  std::atomic<bool> finished{true};
  std::atomic<uint32_t> selection{0};
  std::atomic<int> open_sockets{-1};
  WakeEvent wake;

  std::mutex queue_mutex;
  std::deque<Outgoing> queue;

  std::mutex targets_mutex;
  std::vector<uint32_t> targets;
  int rate = kDefaultUnicastRate;
  std::atomic<bool> broadcast{true};
  UnicastPassStats last_pass;

  void Enqueue(Outgoing item) {
    {
      std::lock_guard lock(queue_mutex);
      queue.push_back(std::move(item));
    }
    wake.Signal();
  }
  bool TakeOne(Outgoing* text) {
    std::lock_guard lock(queue_mutex);
    if (queue.empty())
      return false;
    *text = std::move(queue.front());
    queue.pop_front();
    return true;
  }
  // A text whose send a stop cut short goes back to the front, to be sent at the stop.
  void PutBack(Outgoing text) {
    std::lock_guard lock(queue_mutex);
    queue.push_front(std::move(text));
  }
  bool QueueEmpty() {
    std::lock_guard lock(queue_mutex);
    return queue.empty();
  }
  std::vector<Outgoing> TakeAll() {
    std::lock_guard lock(queue_mutex);
    std::vector<Outgoing> texts(std::make_move_iterator(queue.begin()),
                                std::make_move_iterator(queue.end()));
    queue.clear();
    return texts;
  }
};

namespace {

using SteadyClock = std::chrono::steady_clock;

// One unicast pass over the targets, paced: request i leaves at start + i / rate, so the rate
// holds however the loop's waits fall. A search request during a pass asks for one more.
class UnicastPass {
 public:
  bool active() const { return active_; }
  void Request(DiscoveryEngine::Shared& shared) {
    if (active_) {
      again_ = true;
      return;
    }
    {
      std::lock_guard lock(shared.targets_mutex);
      targets_ = shared.targets;
      rate_ = shared.rate;
    }
    if (targets_.empty())
      return;
    active_ = true;
    again_ = false;
    next_ = 0;
    failed_ = 0;
    start_ = SteadyClock::now();
  }
  // Sends every request that is due; false when the socket is full (try again shortly).
  void SendDue(DiscoveryEngine::Shared& shared, int fd, const std::string& text) {
    if (!active_)
      return;
    const auto now = SteadyClock::now();
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    const std::size_t due =
        std::min(targets_.size(), static_cast<std::size_t>(elapsed * rate_) + 1);
    while (next_ < due) {
      if (fd >= 0 && !SendUnicast(fd, text, targets_[next_], MSG_DONTWAIT)) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOBUFS)
          return;
        ++failed_;
      } else if (fd < 0) {
        ++failed_;
      }
      if (next_ == 0)
        first_sent_ = SteadyClock::now();
      ++next_;
    }
    if (next_ < targets_.size())
      return;
    const double seconds = std::chrono::duration<double>(SteadyClock::now() - first_sent_).count();
    DiagLog("SearchIPCThread(): unicast search of %d addresses in %d ms, %d failed\n",
            static_cast<int>(targets_.size()), static_cast<int>(seconds * 1000), failed_);
    {
      std::lock_guard lock(shared.targets_mutex);
      shared.last_pass.passes += 1;
      shared.last_pass.sent = static_cast<int>(targets_.size()) - failed_;
      shared.last_pass.failed = failed_;
      shared.last_pass.seconds = seconds;
    }
    active_ = false;
    if (again_)
      Request(shared);
  }
  // How long the loop may wait before the next request is due.
  timespec WaitUntilDue() const {
    const auto due =
        start_ + std::chrono::duration_cast<SteadyClock::duration>(
                     std::chrono::duration<double>(static_cast<double>(next_) / rate_));
    const auto left = std::max(due - SteadyClock::now(), SteadyClock::duration::zero());
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    return timespec{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
  }

 private:
  std::vector<uint32_t> targets_;
  int rate_ = kDefaultUnicastRate;
  std::size_t next_ = 0;
  int failed_ = 0;
  bool active_ = false;
  bool again_ = false;
  SteadyClock::time_point start_;
  SteadyClock::time_point first_sent_;
};

}  // namespace

DiscoveryEngine::DiscoveryEngine(std::shared_ptr<DeviceRegistry> registry,
                                 std::shared_ptr<NetworkInfoSource> network,
                                 DiscoveryEngineOptions options)
    : shared_(std::make_shared<Shared>(std::move(registry), std::move(network), options)) {}

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
    std::lock_guard lock(shared_->targets_mutex);
    shared_->last_pass = {};
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
  if (side_)
    side_->Start(shared_->selection);
  return 1;
}

int DiscoveryEngine::StopSearchThread() {
  if (!shared_->running) {
    DiagLog("CQmDadIvidudEvuzDlg::StopSearchThread: SearchIPCThread hasn't run.\n");
    return 0;
  }
  if (side_)
    side_->Stop();
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
      const std::shared_ptr<Shared> left = shared_;
      shared_ = std::make_shared<Shared>(left->registry, left->network, left->options);
      {
        std::scoped_lock lock(left->targets_mutex, shared_->targets_mutex);
        shared_->targets = left->targets;
        shared_->rate = left->rate;
      }
      shared_->broadcast = left->broadcast.load();
      SendLeftovers(*left);
      return 1;
    }
  }
  SendLeftovers(*shared_);
  return 1;
}

// A restore or reboot of many checked devices queued near the end of a search would
// otherwise be lost with the worker; without a search they go out as any request does.
void DiscoveryEngine::SendLeftovers(Shared& shared) {
  std::vector<std::string> texts;
  for (Outgoing& item : shared.TakeAll()) {
    if (item.to != 0) {
      SendOnceTo(item.text, item.to);
    } else if (!item.search || shared.broadcast) {
      texts.push_back(std::move(item.text));
    }
  }
  if (!texts.empty())
    BroadcastOnce(texts);
}

int DiscoveryEngine::SendDiscoveryMessage(int code, const char* body) {
  std::string text = BuildDiscoveryMessage(code, body);
  if (shared_->running) {
    const bool search = code == proto::kDiscoverySearch && body == nullptr;
    shared_->Enqueue(Outgoing{std::move(text), 0, search});
  } else {
    BroadcastOnce(text);
  }
  return 0;
}

int DiscoveryEngine::SendDiscoveryMessageTo(int code, const char* body,
                                            const std::string& address) {
  const std::optional<uint32_t> to = ParseDottedQuad(address);
  if (!to || *to == 0 || *to == INADDR_BROADCAST)
    return -1;
  if (!OutsideLocalSubnets(*to, BuildAdapterTable(*shared_->network)))
    return 1;
  std::string text = BuildDiscoveryMessage(code, body);
  if (shared_->running) {
    shared_->Enqueue(Outgoing{std::move(text), *to, false});
  } else {
    SendOnceTo(text, *to);
  }
  return 0;
}

void DiscoveryEngine::BroadcastOnce(const std::string& text) {
  BroadcastOnce(std::vector<std::string>{text});
}

void DiscoveryEngine::BroadcastOnce(const std::vector<std::string>& texts) {
  const std::map<uint32_t, int> sockets =
      OpenSockets(*shared_->network, 0, shared_->options.receive_buffer);
  for (const std::string& text : texts) {
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
      if ((entry.revents & POLLOUT) != 0)
        SendOne(fd, text, SendContext::kOneOff);
    }
  }
  for (const auto& [key, fd] : sockets)
    close(fd);
}

void DiscoveryEngine::SendOnceTo(const std::string& text, uint32_t address) {
  const int fd = OpenDiscoverySocket(0, shared_->options.receive_buffer);
  if (fd < 0)
    return;
  if (!SendUnicast(fd, text, address))
    DiagLog("sendto %s failed, error=%d\n", DottedFromHostOrder(address).c_str(), errno);
  close(fd);
}

void DiscoveryEngine::SetUnicastTargets(std::vector<uint32_t> addresses, int rate) {
  std::lock_guard lock(shared_->targets_mutex);
  shared_->targets = std::move(addresses);
  shared_->rate = std::clamp(rate, kMinUnicastRate, kMaxUnicastRate);
}

void DiscoveryEngine::AddUnicastTarget(uint32_t address) {
  {
    std::lock_guard lock(shared_->targets_mutex);
    if (std::find(shared_->targets.begin(), shared_->targets.end(), address) ==
        shared_->targets.end())
      shared_->targets.push_back(address);
  }
  if (shared_->running)
    shared_->Enqueue(
        Outgoing{BuildDiscoveryMessage(proto::kDiscoverySearch, nullptr), address, false});
}

void DiscoveryEngine::SetBroadcastSearch(bool broadcast) {
  shared_->broadcast = broadcast;
}

UnicastPassStats DiscoveryEngine::LastUnicastPass() const {
  std::lock_guard lock(shared_->targets_mutex);
  return shared_->last_pass;
}

// Takes its own reference: a worker left to end on its own must keep what it touches alive.
// NOLINTNEXTLINE(performance-unnecessary-value-param)
void DiscoveryEngine::SearchIPCThread(std::shared_ptr<Shared> shared) {
  DiagLog("SearchIPCThread(): enter main loop...\n");
  shared->Enqueue(Outgoing{BuildDiscoveryMessage(proto::kDiscoverySearch, nullptr), 0, true});

  const DiscoveryEngineOptions& options = shared->options;
  const std::map<uint32_t, int> sockets =
      OpenSockets(*shared->network, shared->selection, options.receive_buffer);
  shared->open_sockets = static_cast<int>(sockets.size());
  std::vector<std::pair<uint32_t, int>> waited(sockets.begin(), sockets.end());
  if (waited.size() > kMaxWaitedSockets)
    waited.resize(kMaxWaitedSockets);

  // Requests to single addresses leave from the wildcard socket when there is one, so the
  // system picks the route; with one adapter chosen, from that adapter's socket.
  const int unicast_fd = sockets.count(0) ? sockets.at(0)
                         : waited.empty() ? -1
                                          : waited.front().second;
  const std::string search_text = BuildDiscoveryMessage(proto::kDiscoverySearch, nullptr);
  UnicastPass pass;

  DiagLog("SearchIPCThread(): enter send and recv loop...\n");
  std::vector<pollfd> read_set;
  char datagram[kDatagramBuffer];
  Outgoing item;
  while (shared->running) {
    if (shared->TakeOne(&item)) {
      if (item.to != 0) {
        if (unicast_fd < 0 || !SendUnicast(unicast_fd, item.text, item.to)) {
          DiagLog("SearchIPCThread(): sendto %s failed, error=%d\n",
                  DottedFromHostOrder(item.to).c_str(), errno);
        }
      } else if (!item.search || shared->broadcast) {
        for (const auto& [key, fd] : waited) {
          pollfd entries[2] = {{fd, POLLOUT, 0}, {shared->wake.fd(), POLLIN, 0}};
          const int ready = poll(entries, 2, 2000);
          if (!shared->running) {
            shared->PutBack(std::move(item));
            break;
          }
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
          if ((entries[0].revents & POLLOUT) != 0)
            SendOne(fd, item.text, SendContext::kWorker);
        }
      }
      if (item.search)
        pass.Request(*shared);
      item = Outgoing{};
    }
    if (!shared->running)
      break;
    pass.SendDue(*shared, unicast_fd, search_text);

    read_set.clear();
    for (const auto& [key, fd] : waited)
      read_set.push_back({fd, POLLIN, 0});
    read_set.push_back({shared->wake.fd(), POLLIN, 0});
    // Texts still queued go out in the next passes without waiting for answers first; a
    // unicast pass wakes the loop when its next request is due.
    timespec wait{1, 0};
    if (!shared->QueueEmpty()) {
      wait = {0, 0};
    } else if (pass.active()) {
      wait = pass.WaitUntilDue();
    }
    const int ready = ppoll(read_set.data(), read_set.size(), &wait, nullptr);
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
      // A burst of answers is read to the end at once: left for later passes it would
      // overflow the socket's buffer while the loop waits on the others.
      const int limit = options.drain_all ? kMaxDatagramsPerWake : 1;
      for (int taken = 0; taken < limit && shared->running; ++taken) {
        sockaddr_in from{};
        socklen_t from_length = sizeof from;
        const ssize_t n = recvfrom(fd, datagram, sizeof datagram, MSG_DONTWAIT,
                                   reinterpret_cast<sockaddr*>(&from), &from_length);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
          break;
        if (n <= 0 || n > static_cast<ssize_t>(kMaxDiscoveryDatagram)) {
          DiagLog("SearchIPCThread(): recvfrom failed, error=%d\n", n < 0 ? errno : EMSGSIZE);
          if (n < 0)
            break;
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
  }

  DiagLog("SearchIPCThread(): exit send and recv loop\n");
  for (const auto& [key, fd] : sockets)
    close(fd);
  DiagLog("SearchIPCThread(): exit main loop\n");
  shared->finished = true;
}

}  // namespace vdz
