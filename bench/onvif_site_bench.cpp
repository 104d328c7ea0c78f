// onvif_site_bench: inside the lab, a site of 500 simulated ONVIF cameras searched the way a
// search of ours does it (OnvifSideSearch into a DeviceRegistry): the time from the start until
// every camera is listed, from then until every identity is read, and the memory per row. The
// reference in the same run is a bare WS-Discovery receiver: one socket, one Probe, ProbeMatches
// counted by source address until all 500 answered. Run:
// scripts/lab run --devices 1 --sim-args "--onvif-cameras 500" -- build/bin/onvif_site_bench
#include <arpa/inet.h>
#include <malloc.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench_median.h"
#include "discovery/device_registry.h"
#include "discovery/local_interfaces.h"
#include "lab/devsim_control.h"
#include "lab/lab_guard.h"
#include "onvif/crypto_text.h"
#include "onvif/onvif_side_search.h"
#include "onvif/wsd_probe.h"
#include "onvif/wsd_socket.h"

namespace {

using Clock = std::chrono::steady_clock;
using vdz::bench::Median;

constexpr int kCameras = 500;
constexpr int kRounds = 3;
// What the simulator's helper found one Probe's 500 answers to need.
constexpr int kLargeBuffer = 8 * 1024 * 1024;
// Longer than one Probe's whole burst takes to arrive (about 10-20 ms here).
constexpr auto kHold = std::chrono::milliseconds(500);
constexpr auto kListLimit = std::chrono::seconds(10);
constexpr auto kIdentityLimit = std::chrono::seconds(30);
constexpr double kListGoalMs = 3000;
constexpr double kIdentityGoalMs = 5000;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The kernel's count of UDP datagrams dropped for a full receive buffer (the namespace's).
long long ReceiveBufferErrors() {
  std::ifstream snmp("/proc/net/snmp");
  std::string names, values;
  while (std::getline(snmp, names)) {
    if (names.rfind("Udp:", 0) != 0 || !std::getline(snmp, values))
      continue;
    std::istringstream n(names), v(values);
    std::string name, value;
    while (n >> name && v >> value)
      if (name == "RcvbufErrors")
        return std::stoll(value);
  }
  return -1;
}

long long RssKib() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0)
      return std::stoll(line.substr(6));
  return -1;
}

long long HeapBytes() {
  const struct mallinfo2 m = mallinfo2();
  return static_cast<long long>(m.uordblks + m.hblkhd);
}

// The simulator has sent every queued ProbeMatch and the network has gone quiet.
void WaitSimulatorIdle(const vdz::lab::DevsimControl& sim) {
  for (int i = 0; i < 200; ++i) {
    std::vector<std::string> lines;
    sim.Send("onvif-cameras 0.0.0.0", &lines);
    bool idle = false;
    for (const std::string& l : lines) {
      auto f = vdz::lab::ParseReplyLine(l);
      if (f[""] == "onvif-total")
        idle = f["wsd-queued"] == "0";
    }
    if (idle)
      break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
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

struct BareRun {
  double all_ms = -1;  // Probe sent to the 500th camera's answer; -1 when some never came
  int answered = 0;    // cameras heard from within the limit
  long long dropped = 0;
  int granted = 0;           // receive buffer the kernel gave the socket
  long long held_bytes = 0;  // waiting when the hold ended
};

// One socket, one Probe, the answers' source addresses counted: nothing parsed, nothing kept.
// hold: nothing is read before the whole burst has arrived, as when the worker is busy with
// another adapter, so the count is what the receive buffer alone holds of one Probe's answers.
BareRun BareReceiver(const std::string& adapter, int receive_buffer,
                     std::chrono::milliseconds hold = {}) {
  BareRun run;
  const int fd = vdz::onvif::OpenWsdSocket(adapter, receive_buffer);
  if (fd < 0)
    return run;
  const std::string probe = vdz::onvif::BuildProbe(vdz::onvif::NewUuidUrn());
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(vdz::onvif::kWsdPort);
  inet_pton(AF_INET, vdz::onvif::kWsdMulticastAddress, &to.sin_addr);
  const long long errors_before = ReceiveBufferErrors();
  std::set<uint32_t> sources;
  std::vector<char> buffer(vdz::onvif::kWsdDatagramMax);
  const auto start = Clock::now();
  sendto(fd, probe.data(), probe.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  std::this_thread::sleep_for(hold);
  socklen_t size = sizeof run.granted;
  getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &run.granted, &size);
  run.held_bytes = QueuedBytes();
  // One Probe: what is lost stays lost, so the wait ends once the site has gone quiet.
  while (static_cast<int>(sources.size()) < kCameras) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 1000) <= 0)
      break;
    sockaddr_in from{};
    socklen_t from_size = sizeof from;
    const ssize_t n = recvfrom(fd, buffer.data(), buffer.size(), MSG_DONTWAIT,
                               reinterpret_cast<sockaddr*>(&from), &from_size);
    if (n > 0 && std::string_view(buffer.data(), static_cast<std::size_t>(n)).find("ProbeMatch") !=
                     std::string_view::npos)
      sources.insert(from.sin_addr.s_addr);
  }
  if (static_cast<int>(sources.size()) >= kCameras)
    run.all_ms = MsSince(start);
  run.answered = static_cast<int>(sources.size());
  run.dropped = ReceiveBufferErrors() - errors_before;
  close(fd);
  return run;
}

// The discovery worker alone (reading, merging), without registry rows or identities.
double DiscoveryAlone(const std::string& adapter) {
  std::atomic<int> entries{0};
  vdz::onvif::WsDiscoveryOptions options;
  options.adapters = {adapter};
  vdz::onvif::WsDiscoverySearch search(options,
                                       [&](const vdz::onvif::OnvifDeviceEntry&) { ++entries; });
  const auto start = Clock::now();
  if (!search.Start())
    return -1;
  while (Clock::now() - start < kListLimit) {
    if (entries.load() >= kCameras)
      return MsSince(start);
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  return -1;
}

struct OurRun {
  double first_ms = -1;       // start to the first camera in the registry
  double listed_ms = -1;      // start to every camera in the registry
  double identified_ms = -1;  // listing to every identity read
  int listed = 0;
  int online = 0;  // rows whose identity was read with the account
  long long dropped = 0;
  double heap_per_row = 0;      // bytes
  double registry_per_row = 0;  // of it, what stays in the registry without the ONVIF side
  double rss_per_row = 0;
  vdz::onvif::WsDiscoveryStats stats;
};

OurRun OurSearch(const std::vector<vdz::onvif::OnvifAccount>& accounts) {
  OurRun run;
  auto registry = std::make_shared<vdz::DeviceRegistry>();
  std::shared_ptr<vdz::NetworkInfoSource> network = vdz::MakeSystemNetworkInfoSource();
  vdz::onvif::OnvifSideOptions options;
  options.accounts = accounts;
  malloc_trim(0);
  const long long heap_before = HeapBytes();
  const long long rss_before = RssKib();
  const long long errors_before = ReceiveBufferErrors();
  auto side = std::make_unique<vdz::onvif::OnvifSideSearch>(registry, network, options);
  vdz::onvif::OnvifSideSearch& search = *side;
  const auto start = Clock::now();
  search.Start(0);
  while (Clock::now() - start < kListLimit) {
    if (run.first_ms < 0 && registry->GetDeviceCount() > 0)
      run.first_ms = MsSince(start);
    if (registry->GetDeviceCount() >= kCameras) {
      run.listed_ms = MsSince(start);
      break;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  run.listed = registry->GetDeviceCount();
  if (run.listed_ms >= 0) {
    const auto listed = Clock::now();
    while (Clock::now() - listed < kIdentityLimit) {
      if (search.pending() == 0) {
        run.identified_ms = MsSince(listed);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  for (int i = 0; i < registry->GetDeviceCount(); ++i)
    if (registry->Foreign(i).state == vdz::onvif::kStateOnline)
      ++run.online;
  // Measured with every row and identity held, as the list holds them after a search.
  run.heap_per_row = static_cast<double>(HeapBytes() - heap_before) / std::max(1, run.listed);
  run.rss_per_row = 1024.0 * static_cast<double>(RssKib() - rss_before) / std::max(1, run.listed);
  search.Stop();
  run.stats = search.Stats();
  run.dropped = ReceiveBufferErrors() - errors_before;
  side.reset();
  malloc_trim(0);
  run.registry_per_row = static_cast<double>(HeapBytes() - heap_before) / std::max(1, run.listed);
  return run;
}

}  // namespace

int main() {
  if (!vdz::lab::BenchInsideLab(
          "onvif_site_bench",
          "It multicasts WS-Discovery Probes and runs only inside the private lab:",
          "scripts/lab run --devices 1 --sim-args \"--onvif-cameras 500\" -- "
          "build/bin/onvif_site_bench"))
    return 1;
  vdz::lab::RaiseOpenFileLimit();
  const vdz::lab::DevsimControl sim = vdz::lab::DevsimControl::FromEnvironment();
  std::vector<std::string> lines;
  sim.Send("onvif-cameras 0.0.0.0", &lines);
  int cameras = 0;
  for (const std::string& l : lines) {
    auto f = vdz::lab::ParseReplyLine(l);
    if (f[""] == "onvif-total")
      cameras = std::atoi(f["cameras"].c_str());
  }
  if (cameras != kCameras) {
    std::fprintf(stderr, "the lab holds %d ONVIF cameras, not %d\n", cameras, kCameras);
    return 1;
  }
  auto network = vdz::MakeSystemNetworkInfoSource();
  std::string adapter;
  for (const auto& [key, info] : vdz::BuildAdapterTable(*network))
    if (adapter.empty() && !info.addresses.empty())
      adapter = info.addresses.front().address;
  std::printf("onvif_site_bench: %d simulated ONVIF cameras, adapter %s, %d rounds\n", cameras,
              adapter.c_str(), kRounds);
  const std::vector<vdz::onvif::OnvifAccount> accounts = {{"admin", "admin"}};

  std::vector<double> floor_ms, alone, ours_listed, ours_identified, heap, registry_heap, rss;
  int status = 0;
  int held_least = kCameras;
  for (int round = 1; round <= kRounds; ++round) {
    WaitSimulatorIdle(sim);
    const BareRun floor = BareReceiver(adapter, kLargeBuffer);
    WaitSimulatorIdle(sim);
    const BareRun ours_buffer = BareReceiver(adapter, vdz::onvif::kWsdReceiveBuffer);
    WaitSimulatorIdle(sim);
    const BareRun held = BareReceiver(adapter, vdz::onvif::kWsdReceiveBuffer, kHold);
    WaitSimulatorIdle(sim);
    const double alone_ms = DiscoveryAlone(adapter);
    WaitSimulatorIdle(sim);
    const OurRun ours = OurSearch(accounts);
    std::printf(
        "  round %d: bare receiver, %d KiB buffer: %d/%d answered one Probe, all after %.1f ms, "
        "%lld dropped; with our %d KiB buffer: %d/%d, %lld dropped; our buffer unread for "
        "%lld ms: %d/%d, %lld dropped, %lld KiB held of %d KiB granted\n",
        round, kLargeBuffer / 1024, floor.answered, kCameras, floor.all_ms, floor.dropped,
        vdz::onvif::kWsdReceiveBuffer / 1024, ours_buffer.answered, kCameras, ours_buffer.dropped,
        static_cast<long long>(kHold.count()), held.answered, kCameras, held.dropped,
        held.held_bytes / 1024, held.granted / 1024);
    std::printf(
        "  round %d: OnvifSideSearch: first listed after %.1f ms, %d listed after %.1f ms, "
        "identities read %.1f ms later (%d online); %d Probes, %d datagrams, %d matches, %lld "
        "dropped; heap %.0f B/row (registry %.0f), RSS %.0f B/row\n",
        round, ours.first_ms, ours.listed, ours.listed_ms, ours.identified_ms, ours.online,
        ours.stats.probes_sent, ours.stats.datagrams, ours.stats.matches, ours.dropped,
        ours.heap_per_row, ours.registry_per_row, ours.rss_per_row);
    std::printf("  round %d: WsDiscoverySearch alone: %d entries after %.1f ms\n", round, kCameras,
                alone_ms);
    if (floor.all_ms < 0 || alone_ms < 0 || ours.listed_ms < 0 || ours.identified_ms < 0 ||
        ours.online != kCameras)
      status = 1;
    floor_ms.push_back(floor.all_ms);
    alone.push_back(alone_ms);
    held_least = std::min(held_least, held.answered);
    ours_listed.push_back(ours.listed_ms);
    ours_identified.push_back(ours.identified_ms);
    heap.push_back(ours.heap_per_row);
    registry_heap.push_back(ours.registry_per_row);
    rss.push_back(ours.rss_per_row);
  }
  const double listed = Median(ours_listed);
  const double identified = Median(ours_identified);
  const double reference = Median(floor_ms);
  std::printf(
      "listed: median %.1f ms, bare receiver %.1f ms, ratio %.2f; goal all within %.0f ms: %s\n",
      listed, reference, reference > 0 ? listed / reference : 0.0, kListGoalMs,
      listed >= 0 && listed <= kListGoalMs ? "met" : "missed");
  std::printf("discovery worker alone: median %.1f ms, ratio %.2f to the bare receiver\n",
              Median(alone), reference > 0 ? Median(alone) / reference : 0.0);
  std::printf("one Probe's %d answers held unread in our %d KiB receive buffer: %d/%d (%s)\n",
              kCameras, vdz::onvif::kWsdReceiveBuffer / 1024, held_least, kCameras,
              held_least == kCameras ? "none lost" : "answers lost: raise kWsdReceiveBuffer");
  std::printf("identities: median %.1f ms after listing; goal within %.0f ms: %s\n", identified,
              kIdentityGoalMs, identified >= 0 && identified <= kIdentityGoalMs ? "met" : "missed");
  std::printf(
      "memory per row: heap median %.0f B (registry %.0f B, DeviceRecord alone %zu B; ONVIF "
      "side %.0f B), RSS median %.0f B\n",
      Median(heap), Median(registry_heap), sizeof(vdz::DeviceRecord),
      Median(heap) - Median(registry_heap), Median(rss));
  return status;
}
