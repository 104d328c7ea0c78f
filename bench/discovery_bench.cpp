// discovery_bench: inside the lab, the time from search start until all N simulated devices are
// registered (N = 10, 100, 1000), beside the floor measured in the same run: a bare UDP
// receiver with the engine's socket options on the same adapter, sending the same request and
// counting distinct serial numbers. Run: scripts/lab run --devices 1000 --
// build/bin/discovery_bench
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_set>
#include <vector>

#include "discovery/device_registry.h"
#include "discovery/discovery_engine.h"
#include "discovery/discovery_protocol.h"
#include "discovery/local_interfaces.h"
#include "lab/devsim_control.h"
#include "lab/lab_guard.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kAdapter[] = "192.168.1.100";
constexpr char kFirstDevice[] = "192.168.1.10";
constexpr int kSiteSizes[] = {10, 100, 1000};
constexpr int kRepeats = 5;
constexpr auto kRunLimit = std::chrono::seconds(10);
// The window's timer 1001 repeats the request every second while the search runs.
constexpr auto kResendPeriod = std::chrono::seconds(1);

double MsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

// The engine's discovery socket, written out by hand: 128 KiB receive buffer, broadcast,
// address reuse, bound to the workstation adapter on an ephemeral port.
int OpenBareReceiver() {
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return -1;
  const int buffer = 131072;
  const int on = 1;
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = 0;
  if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer) != 0 ||
      ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0 ||
      ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
      ::inet_pton(AF_INET, kAdapter, &local.sin_addr) != 1 ||
      ::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool Broadcast(int fd, const std::string& text) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(vdz::proto::kDiscoveryPort);
  to.sin_addr.s_addr = htonl(INADDR_BROADCAST);
  const ssize_t sent =
      ::sendto(fd, text.data(), text.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  return sent == static_cast<ssize_t>(text.size());
}

// The quoted value after SerialNumber=", without parsing the XML; empty when absent.
std::string_view SerialOf(std::string_view datagram) {
  constexpr std::string_view kKey = "SerialNumber=\"";
  const std::size_t at = datagram.find(kKey);
  if (at == std::string_view::npos)
    return {};
  const std::size_t begin = at + kKey.size();
  const std::size_t end = datagram.find('"', begin);
  if (end == std::string_view::npos)
    return {};
  return datagram.substr(begin, end - begin);
}

// Floor: milliseconds from opening the socket until n distinct serial numbers were heard,
// or -1 at the time limit. Reads every queued datagram per wake-up.
double BareReceiverMs(int n) {
  const std::string request = vdz::BuildDiscoveryMessage(vdz::proto::kDiscoverySearch, nullptr);
  std::unordered_set<std::string> serials;
  serials.reserve(static_cast<std::size_t>(n) * 2);
  char datagram[5120];

  const auto start = Clock::now();
  const int fd = OpenBareReceiver();
  if (fd < 0 || !Broadcast(fd, request)) {
    std::fprintf(stderr, "bare receiver: socket or first send failed\n");
    if (fd >= 0)
      ::close(fd);
    return -1;
  }
  auto next_send = start + kResendPeriod;
  while (static_cast<int>(serials.size()) < n) {
    const auto now = Clock::now();
    if (now - start > kRunLimit) {
      ::close(fd);
      return -1;
    }
    if (now >= next_send) {
      Broadcast(fd, request);
      next_send += kResendPeriod;
    }
    const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next_send - now);
    pollfd entry{fd, POLLIN, 0};
    if (::poll(&entry, 1, static_cast<int>(wait.count()) + 1) <= 0)
      continue;
    for (;;) {
      const ssize_t got = ::recv(fd, datagram, sizeof datagram - 1, MSG_DONTWAIT);
      if (got <= 0)
        break;
      const std::string_view serial = SerialOf({datagram, static_cast<std::size_t>(got)});
      if (!serial.empty())
        serials.emplace(serial);
    }
  }
  const double elapsed = MsBetween(start, Clock::now());
  ::close(fd);
  return elapsed;
}

// The engine as the window drives it: start the worker, repeat the request every second,
// look at the registry every millisecond. Milliseconds until n are registered, or -1.
double EngineMs(vdz::DiscoveryEngine& engine, const vdz::DeviceRegistry& registry, int n) {
  const auto start = Clock::now();
  if (engine.StartSearchThread() != 1) {
    std::fprintf(stderr, "engine: the search worker did not start\n");
    return -1;
  }
  auto next_send = start + kResendPeriod;
  double elapsed = -1;
  for (;;) {
    const auto now = Clock::now();
    if (registry.GetDeviceCount() >= n) {
      elapsed = MsBetween(start, now);
      break;
    }
    if (now - start > kRunLimit)
      break;
    if (now >= next_send) {
      engine.SendDiscoveryMessage(vdz::proto::kDiscoverySearch, nullptr);
      next_send += kResendPeriod;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  engine.StopSearchThread();
  return elapsed;
}

// One line of `info`, as key=value words; empty when the simulator did not answer.
std::map<std::string, std::string> SimulatorInfo(const vdz::lab::DevsimControl& control) {
  std::vector<std::string> lines;
  if (!control.Send("info", &lines) || lines.empty())
    return {};
  return vdz::lab::ParseReplyLine(lines.front());
}

// A run must not start while answers of the previous one still wait in the simulator's
// pacing queue: they would take the next run's send budget.
void WaitSimulatorQuiet(const vdz::lab::DevsimControl& control) {
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (Clock::now() < deadline) {
    const auto info = SimulatorInfo(control);
    const auto queued = info.find("queued");
    if (queued != info.end() && queued->second == "0")
      break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

bool LoadSite(const vdz::lab::DevsimControl& control, int n) {
  std::string error;
  const std::string command =
      "site devices=" + std::to_string(n) + " first-ip=" + std::string(kFirstDevice);
  if (!control.Send(command, nullptr, &error)) {
    std::fprintf(stderr, "site reload to %d devices failed: %s\n", n, error.c_str());
    return false;
  }
  const auto info = SimulatorInfo(control);
  const auto devices = info.find("devices");
  if (devices == info.end() || devices->second != std::to_string(n)) {
    std::fprintf(stderr, "the simulator does not hold %d devices after the reload\n", n);
    return false;
  }
  return true;
}

struct Figures {
  double median = 0;
  double low = 0;
  double high = 0;
};

Figures Summarise(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return {times[times.size() / 2], times.front(), times.back()};
}

}  // namespace

int main() {
  if (!vdz::lab::BenchInsideLab(
          "discovery_bench", "It broadcasts search requests and runs only inside the private lab:",
          "scripts/lab run --devices 1000 -- build/bin/discovery_bench"))
    return 1;
  const vdz::lab::DevsimControl control = vdz::lab::DevsimControl::FromEnvironment();
  if (SimulatorInfo(control).empty()) {
    std::fprintf(stderr, "no simulator on the control socket '%s'\n", control.path().c_str());
    return 1;
  }

  auto registry = std::make_shared<vdz::DeviceRegistry>();
  std::shared_ptr<vdz::NetworkInfoSource> network = vdz::MakeSystemNetworkInfoSource();
  vdz::DiscoveryEngine engine(registry, network);
  // One adapter selected, so the engine, like the floor, reads one socket.
  engine.SetAdapterSelection(vdz::AdapterKey(kAdapter));

  std::printf(
      "discovery_bench: search start to N devices registered, median of %d runs "
      "(min-max)\n",
      kRepeats);
  bool complete = true;
  Figures last_engine;
  double last_ratio = 0;
  for (const int n : kSiteSizes) {
    if (!LoadSite(control, n))
      return 1;
    WaitSimulatorQuiet(control);
    BareReceiverMs(n);  // warm-up: neighbour entries, simulator caches
    std::vector<double> floor_times;
    std::vector<double> engine_times;
    for (int run = 0; run < kRepeats; ++run) {
      // Alternate the order so drift in the machine's load falls on both sides.
      for (int side = 0; side < 2; ++side) {
        WaitSimulatorQuiet(control);
        const bool floor_turn = (side == 0) == (run % 2 == 0);
        const double ms = floor_turn ? BareReceiverMs(n) : EngineMs(engine, *registry, n);
        if (ms < 0) {
          std::fprintf(stderr, "N=%d run %d: the %s did not hear all devices within %lld s\n", n,
                       run, floor_turn ? "bare receiver" : "engine",
                       static_cast<long long>(kRunLimit.count()));
          complete = false;
          continue;
        }
        (floor_turn ? floor_times : engine_times).push_back(ms);
      }
    }
    if (floor_times.empty() || engine_times.empty())
      return 1;
    const Figures floor_figures = Summarise(floor_times);
    const Figures engine_figures = Summarise(engine_times);
    const double ratio = engine_figures.median / floor_figures.median;
    std::printf(
        "  N=%-5d floor (bare receiver) %8.1f ms (%.1f-%.1f)   engine %8.1f ms (%.1f-%.1f)   "
        "ratio %.2f\n",
        n, floor_figures.median, floor_figures.low, floor_figures.high, engine_figures.median,
        engine_figures.low, engine_figures.high, ratio);
    last_engine = engine_figures;
    last_ratio = ratio;
  }
  // Each engine start reads the adapter table before its socket opens; a fixed cost that shows
  // at small N.
  std::vector<double> table_times;
  for (int i = 0; i < kRepeats; ++i) {
    const auto start = Clock::now();
    vdz::BuildAdapterTable(*network);
    table_times.push_back(MsBetween(start, Clock::now()));
  }
  std::printf("  adapter table read at each engine start: %.2f ms\n",
              Summarise(table_times).median);
  std::printf("  1000 registered within 1500 ms of the first request: %s (%.1f ms)\n",
              last_engine.median <= 1500.0 ? "met" : "missed", last_engine.median);
  std::printf("  within 1.2 times the floor: %s (ratio %.2f)\n",
              last_ratio <= 1.2 ? "met" : "missed", last_ratio);
  control.Send("site initial");
  return complete ? 0 : 1;
}
