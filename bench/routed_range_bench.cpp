// routed_range_bench: inside a routed lab (one /20 behind a router, 1000 devices in it), the time
// from search start until every device is registered when the search asks the whole /20 (4094
// addresses) one by one, and the rate the unicast pass held against its setting. The floor is
// the pacing itself: the last device's address leaves at index / rate. Run:
// scripts/lab run --devices 10 --routed-subnets 10.16.0.0/20 --routed-devices 1000 --
// build/bin/routed_range_bench
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench_median.h"
#include "devconfig/ipv4_text.h"
#include "discovery/device_registry.h"
#include "discovery/discovery_engine.h"
#include "discovery/discovery_protocol.h"
#include "discovery/local_interfaces.h"
#include "discovery/search_ranges.h"
#include "lab/devsim_control.h"
#include "lab/lab_guard.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kRange[] = "10.16.0.0/20";
constexpr int kRates[] = {2000, 4000};
constexpr int kRepeats = 3;
constexpr auto kRunLimit = std::chrono::seconds(10);
constexpr auto kResendPeriod = std::chrono::seconds(1);

struct Run {
  double listed_ms = -1;  // start to every device registered
  double floor_ms = 0;    // when the pace sends the last device's request
  double held_rate = 0;   // requests per second over the first finished pass
  double pass_ms = 0;     // first to last request of that pass
  int failed = 0;
};

Run OneRun(vdz::DiscoveryEngine& engine, const vdz::DeviceRegistry& registry, int devices,
           const std::vector<uint32_t>& targets, uint32_t last_device, int rate) {
  Run run;
  const auto at = std::find(targets.begin(), targets.end(), last_device);
  run.floor_ms = 1000.0 * static_cast<double>(at - targets.begin()) / rate;
  engine.SetUnicastTargets(targets, rate);
  const auto start = Clock::now();
  if (engine.StartSearchThread() != 1)
    return run;
  auto next_request = start + kResendPeriod;
  while (Clock::now() - start < kRunLimit) {
    if (run.listed_ms < 0 && registry.GetDeviceCount() >= devices)
      run.listed_ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    const vdz::UnicastPassStats pass = engine.LastUnicastPass();
    if (run.listed_ms >= 0 && pass.passes >= 1) {
      run.held_rate = pass.seconds > 0 ? (pass.sent + pass.failed - 1) / pass.seconds : 0;
      run.failed = pass.failed;
      run.pass_ms = pass.seconds * 1000;
      break;
    }
    if (Clock::now() >= next_request) {
      engine.SendDiscoveryMessage(vdz::proto::kDiscoverySearch, nullptr);
      next_request += kResendPeriod;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  engine.StopSearchThread();
  return run;
}

using vdz::bench::Median;

}  // namespace

int main() {
  if (!vdz::lab::BenchInsideLab(
          "routed_range_bench",
          "It sends search requests to a routed range and runs only inside the private lab:",
          "scripts/lab run --devices 10 --routed-subnets 10.16.0.0/20 "
          "--routed-devices 1000 -- build/bin/routed_range_bench"))
    return 1;
  const vdz::lab::DevsimControl control = vdz::lab::DevsimControl::FromEnvironment();
  const auto devices = control.Devices();
  uint32_t last_device = 0;
  int routed = 0;
  for (const auto& d : devices) {
    if (d.ip.rfind("10.16.", 0) == 0) {
      ++routed;
      last_device = std::max(last_device, vdz::ParseDottedQuad(d.ip).value_or(0));
    }
  }
  if (routed < 1000) {
    std::fprintf(stderr, "the lab holds %d devices in %s, not 1000\n", routed, kRange);
    return 1;
  }
  std::vector<vdz::AddressRange> ranges;
  std::string error;
  vdz::ParseAddressRanges(kRange, &ranges, &error);
  const std::vector<uint32_t> targets = vdz::ExpandRanges(ranges);

  auto registry = std::make_shared<vdz::DeviceRegistry>();
  std::shared_ptr<vdz::NetworkInfoSource> network = vdz::MakeSystemNetworkInfoSource();
  vdz::DiscoveryEngine engine(registry, network);
  // The range alone: the registry holds 1000 devices, and the local ones would take places.
  engine.SetBroadcastSearch(false);
  std::printf(
      "routed_range_bench: %s (%zu addresses asked), %d devices behind the router, %zu "
      "in all\n",
      kRange, targets.size(), routed, devices.size());
  int status = 0;
  for (const int rate : kRates) {
    std::vector<double> listed, floors, rates, passes;
    for (int r = 0; r < kRepeats; ++r) {
      // Answers still paced out by the simulator from the previous run would count twice.
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
      const Run run = OneRun(engine, *registry, routed, targets, last_device, rate);
      std::printf(
          "  rate %d run %d: all %d listed after %.0f ms (floor %.0f ms); whole pass %.0f "
          "ms at %.0f requests/s, %d refused\n",
          rate, r + 1, routed, run.listed_ms, run.floor_ms, run.pass_ms, run.held_rate, run.failed);
      passes.push_back(run.pass_ms);
      if (run.listed_ms < 0)
        status = 1;
      listed.push_back(run.listed_ms);
      floors.push_back(run.floor_ms);
      rates.push_back(run.held_rate);
    }
    const double m = Median(listed);
    std::printf(
        "rate %d: listed median %.0f ms, floor %.0f ms, ratio %.2f; whole pass %.0f ms; held "
        "%.0f/s (%.3f of the setting)\n",
        rate, m, Median(floors), m / Median(floors), Median(passes), Median(rates),
        Median(rates) / rate);
    // Devices at the far end of the range would be listed only as the pass ends.
    if (rate == 2000)
      std::printf("  all listed within 3 s at 2000 requests/s, even at the range's end: %s\n",
                  m >= 0 && m <= 3000 && Median(passes) <= 3000 ? "met" : "missed");
  }
  return status;
}
