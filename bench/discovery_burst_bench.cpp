// discovery_burst_bench: inside the lab, 1000 simulated devices that answer every request in
// one unpaced burst, as a real site answers a broadcast. The engine searches as the window's
// first search does (all adapters, a request every second, stopped after 7 s); figures are
// the devices registered 1 s after the start (the first list refresh) and at the end, for the
// engine as built and, in the same run, for the engine with the previous receive buffer
// (131072 bytes) and one datagram per socket and pass. Run:
//   scripts/lab run --devices 1000 -- build/bin/discovery_burst_bench
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench_median.h"
#include "discovery/device_registry.h"
#include "discovery/discovery_engine.h"
#include "discovery/discovery_protocol.h"
#include "discovery/local_interfaces.h"
#include "lab/devsim_control.h"
#include "lab/lab_guard.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kDevices = 1000;
constexpr int kRepeats = 3;
constexpr int kSearchTicks = 7;  // the automatic search stops at the seventh refresh tick
constexpr auto kTick = std::chrono::seconds(1);

// Datagrams the namespace's UDP layer dropped because a receive buffer was full.
long long ReceiveBufferErrors() {
  std::ifstream snmp("/proc/net/snmp");
  std::string names;
  std::string values;
  std::string line;
  while (std::getline(snmp, line)) {
    if (line.rfind("Udp: ", 0) != 0)
      continue;
    if (names.empty()) {
      names = line;
    } else {
      values = line;
      break;
    }
  }
  std::istringstream n(names);
  std::istringstream v(values);
  std::string name;
  std::string value;
  while (n >> name && v >> value) {
    if (name == "RcvbufErrors")
      return std::stoll(value);
  }
  return -1;
}

// Bytes waiting in every UDP socket of the namespace (only the bench's sockets live there).
long long QueuedBytes() {
  std::ifstream udp("/proc/net/udp");
  std::string line;
  std::getline(udp, line);
  long long total = 0;
  while (std::getline(udp, line)) {
    std::istringstream fields(line);
    std::string slot, local, remote, state, queues;
    if (!(fields >> slot >> local >> remote >> state >> queues))
      continue;
    const std::size_t colon = queues.find(':');
    if (colon != std::string::npos)
      total += std::stoll(queues.substr(colon + 1), nullptr, 16);
  }
  return total;
}

struct Run {
  int at_first_tick = 0;
  int at_end = 0;
  double all_ms = -1;  // until every device was registered; -1: not within the search
  long long dropped = 0;
  long long peak_queued = 0;
};

Run Search(const vdz::DiscoveryEngineOptions& options,
           const std::shared_ptr<vdz::NetworkInfoSource>& network) {
  auto registry = std::make_shared<vdz::DeviceRegistry>();
  vdz::DiscoveryEngine engine(registry, network, options);
  Run run;
  std::atomic<bool> sampling{true};
  std::atomic<long long> peak{0};
  std::thread sampler([&] {
    while (sampling) {
      peak = std::max(peak.load(), QueuedBytes());
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  });
  const long long errors_before = ReceiveBufferErrors();
  const auto start = Clock::now();
  engine.StartSearchThread();
  for (int tick = 1; tick <= kSearchTicks; ++tick) {
    while (Clock::now() < start + tick * kTick) {
      if (run.all_ms < 0 && registry->GetDeviceCount() >= kDevices)
        run.all_ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (tick == 1)
      run.at_first_tick = registry->GetDeviceCount();
    if (tick < kSearchTicks)
      engine.SendDiscoveryMessage(vdz::proto::kDiscoverySearch, nullptr);
  }
  run.at_end = registry->GetDeviceCount();
  engine.StopSearchThread();
  sampling = false;
  sampler.join();
  run.dropped = ReceiveBufferErrors() - errors_before;
  run.peak_queued = peak;
  return run;
}

std::map<std::string, std::string> SimulatorInfo(const vdz::lab::DevsimControl& control) {
  std::vector<std::string> lines;
  if (!control.Send("info", &lines) || lines.empty())
    return {};
  return vdz::lab::ParseReplyLine(lines.front());
}

// Answers of the previous run still queued in the simulator would land in the next one.
void WaitSimulatorQuiet(const vdz::lab::DevsimControl& control) {
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (Clock::now() < deadline) {
    const auto info = SimulatorInfo(control);
    const auto queued = info.find("queued");
    if (queued != info.end() && queued->second == "0")
      break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
}

using vdz::bench::Median;

void Print(const char* name, const std::vector<Run>& runs) {
  std::vector<int> first, end;
  std::vector<double> all;
  std::vector<long long> dropped, peak;
  for (const Run& r : runs) {
    first.push_back(r.at_first_tick);
    end.push_back(r.at_end);
    all.push_back(r.all_ms < 0 ? 1e9 : r.all_ms);
    dropped.push_back(r.dropped);
    peak.push_back(r.peak_queued);
  }
  const double all_median = Median(all);
  std::printf(
      "  %-44s listed at 1 s %4d/%d (%d-%d)   at 7 s %4d/%d (%d-%d)   all listed after %s   "
      "answers dropped by the kernel %lld   peak bytes waiting %.0f KiB\n",
      name, Median(first), kDevices, *std::min_element(first.begin(), first.end()),
      *std::max_element(first.begin(), first.end()), Median(end), kDevices,
      *std::min_element(end.begin(), end.end()), *std::max_element(end.begin(), end.end()),
      all_median >= 1e9 ? "never"
                        : (std::to_string(static_cast<int>(all_median + 0.5)) + " ms").c_str(),
      Median(dropped), static_cast<double>(Median(peak)) / 1024.0);
}

}  // namespace

int main() {
  if (!vdz::lab::BenchInsideLab(
          "discovery_burst_bench",
          "It broadcasts search requests and runs only inside the private lab:",
          "scripts/lab run --devices 1000 -- build/bin/discovery_burst_bench"))
    return 1;
  const vdz::lab::DevsimControl control = vdz::lab::DevsimControl::FromEnvironment();
  std::string error;
  if (!control.Send("site devices=" + std::to_string(kDevices) + " first-ip=192.168.1.10", nullptr,
                    &error) ||
      !control.Send("config burst-mode=1", nullptr, &error)) {
    std::fprintf(stderr, "simulator set-up failed: %s\n", error.c_str());
    return 1;
  }
  std::shared_ptr<vdz::NetworkInfoSource> network = vdz::MakeSystemNetworkInfoSource();
  const int sockets = static_cast<int>(vdz::BuildAdapterTable(*network).size()) + 1;

  const vdz::DiscoveryEngineOptions current;
  vdz::DiscoveryEngineOptions previous;
  previous.receive_buffer = vdz::kLegacyReceiveBuffer;
  previous.drain_all = false;

  std::vector<Run> current_runs, previous_runs;
  int current_granted = 0, previous_granted = 0;
  for (int i = 0; i < kRepeats; ++i) {
    // Alternate the order so drift in the machine's load falls on both sides.
    for (int side = 0; side < 2; ++side) {
      const bool current_turn = (side == 0) == (i % 2 == 0);
      WaitSimulatorQuiet(control);
      const Run run = Search(current_turn ? current : previous, network);
      (current_turn ? current_runs : previous_runs).push_back(run);
      (current_turn ? current_granted : previous_granted) = vdz::GrantedReceiveBuffer();
    }
  }

  std::printf(
      "discovery_burst_bench: %d devices answering each request in one unpaced burst, all "
      "adapters (%d sockets), a request every second, stopped after %d s; median of %d runs "
      "(min-max)\n",
      kDevices, sockets, kSearchTicks, kRepeats);
  Print("engine (burst-sized buffer, drained per wake)", current_runs);
  Print("previous (131072 bytes, one per pass)", previous_runs);
  std::printf(
      "  receive buffer per socket: asked %d, granted %d bytes (the kernel doubles the ask for "
      "its bookkeeping); %d sockets may hold at most %.1f MiB; previous: granted %d bytes, "
      "%.1f MiB; user-space datagram buffer 5120 bytes\n",
      current.receive_buffer, current_granted, sockets,
      static_cast<double>(current_granted) * sockets / (1024.0 * 1024.0), previous_granted,
      static_cast<double>(previous_granted) * sockets / (1024.0 * 1024.0));
  std::vector<int> first, end;
  for (const Run& r : current_runs) {
    first.push_back(r.at_first_tick);
    end.push_back(r.at_end);
  }
  const bool within_one_second = *std::min_element(first.begin(), first.end()) == kDevices;
  const bool none_lost = *std::min_element(end.begin(), end.end()) == kDevices &&
                         std::all_of(current_runs.begin(), current_runs.end(),
                                     [](const Run& r) { return r.dropped == 0; });
  std::printf("  %d/%d within 1 s in every run: %s; none lost over the whole search: %s\n",
              kDevices, kDevices, within_one_second ? "met" : "missed",
              none_lost ? "met" : "missed");
  control.Send("config burst-mode=0");
  control.Send("site initial");
  return within_one_second && none_lost ? 0 : 1;
}
