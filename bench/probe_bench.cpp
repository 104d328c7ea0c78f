// Free addresses for 20 checked devices on a /24 where half the candidates answer ping,
// against the probe's own cost model measured in the same run: 0.5 s per free candidate
// plus each answering candidate at the answer time measured here. Lab only.
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli_device_list.h"
#include "discovery/address_probe.h"
#include "discovery/discovery_engine.h"
#include "discovery/readdress_commands.h"
#include "lab/devsim_control.h"
#include "lab/lab_guard.h"
#include "shell/prompter.h"

namespace {

using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

class YesPrompter : public vdz::Prompter {
 public:
  void ShowError(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
  bool AskYesNo(const std::string&, const std::string&) override { return true; }
  void ShowInfo(const std::string&) override {}
  void ShowMessage(const std::string&) override {}
};

// Counts what the probe decided, and times the answered probes.
class CountingProber : public vdz::AddressProber {
 public:
  int PintTest(uint32_t destination) override {
    const auto start = Clock::now();
    const int result = real_.PintTest(destination);
    const double took = Seconds(Clock::now() - start).count();
    if (result == 0) {
      ++answered;
      answered_seconds += took;
    } else if (result == 1) {
      ++free_probes;
      free_seconds += took;
    } else {
      ++errors;
    }
    return result;
  }
  int answered = 0, free_probes = 0, errors = 0;
  double answered_seconds = 0, free_seconds = 0;

 private:
  vdz::IcmpAddressProber real_;
};

}  // namespace

int main() {
  if (!vdz::lab::BenchInsideLab("probe_bench",
                                "It probes simulated devices and runs only inside the private lab:",
                                "scripts/lab run --devices 20 -- build/bin/probe_bench"))
    return 1;
  constexpr int kDevices = 20;
  auto control = vdz::lab::DevsimControl::FromEnvironment();
  std::string error;
  if (!control.Send("site devices=20 first-ip=192.168.1.10", nullptr, &error)) {
    std::fprintf(stderr, "probe_bench: %s\n", error.c_str());
    return 1;
  }

  auto registry = std::make_shared<vdz::DeviceRegistry>();
  std::shared_ptr<vdz::NetworkInfoSource> network = vdz::MakeSystemNetworkInfoSource();
  vdz::DiscoveryEngine engine(registry, network);
  engine.StartSearchThread();
  const auto search_deadline = Clock::now() + std::chrono::seconds(5);
  while (registry->GetDeviceCount() < kDevices && Clock::now() < search_deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  engine.StopSearchThread();
  if (registry->GetDeviceCount() != kDevices) {
    std::fprintf(stderr, "probe_bench: found %d of %d devices\n", registry->GetDeviceCount(),
                 kDevices);
    return 1;
  }

  // Every other candidate answers: hosts on .2, .4, ... skipping the devices (.10-.29),
  // the workstation (.100) and the gateway. Enough of them for all 20 searches.
  std::vector<std::string> hosts;
  bool host_turn = true;
  for (int h = 2; h <= 254 && hosts.size() < static_cast<std::size_t>(kDevices); ++h) {
    if ((h >= 10 && h <= 29) || h == 100)
      continue;
    if (host_turn)
      hosts.push_back("192.168.1." + std::to_string(h));
    host_turn = !host_turn;
  }
  for (const std::string& host : hosts) {
    if (!control.Send("host add " + host, nullptr, &error)) {
      std::fprintf(stderr, "probe_bench: host add %s: %s\n", host.c_str(), error.c_str());
      return 1;
    }
  }
  // Settle the neighbour cache, so an answer is measured, not an address resolution.
  for (const std::string& host : hosts) {
    int tries = 0;
    while (vdz::PintTest(vdz::AssignedAddressTable::Parse(host.c_str())) != 0 && ++tries < 10) {
    }
  }

  vdz::cli::CliDeviceList list;  // every row checked
  for (int i = 0; i < kDevices; ++i) {
    auto row = std::make_unique<vdz::DeviceRow>();
    row->registry_index = i;
    registry->CopyRecord(i, &row->record, sizeof row->record);
    list.Add(*row);
  }
  vdz::AssignedAddressTable assigned;
  vdz::LocalParameterCache params(*network);
  CountingProber prober;
  YesPrompter prompter;
  std::vector<double> per_device;
  auto last = Clock::now();
  vdz::ReaddressContext ctx{*registry,
                            assigned,
                            engine,
                            params,
                            *network,
                            prober,
                            prompter,
                            nullptr,
                            nullptr,
                            nullptr,
                            [&](int, const vdz::DeviceRow&, int) {
                              const auto now = Clock::now();
                              per_device.push_back(Seconds(now - last).count());
                              last = now;
                            },
                            {},
                            {}};
  const auto start = Clock::now();
  last = start;
  const vdz::BatchOutcome outcome = vdz::AssignFreeToChecked(ctx, list);
  const double total = Seconds(Clock::now() - start).count();

  const double answer_time = prober.answered > 0 ? prober.answered_seconds / prober.answered : 0;
  const double model = prober.free_probes * 0.5 + prober.answered * answer_time;
  double worst = 0;
  for (double d : per_device)
    worst = d > worst ? d : worst;
  std::printf("probe_bench: %d devices, %d addressed; %d free probes, %d answered, %d errors\n",
              kDevices, outcome.succeeded, prober.free_probes, prober.answered, prober.errors);
  std::printf(
      "  assignment of all checked devices: %.2f s (UI thread blocked %.3f s per device, "
      "worst %.3f s)\n",
      total, total / kDevices, worst);
  std::printf("  cost model: %d x 0.5 s + %d x %.2f ms (answer time measured here) = %.2f s\n",
              prober.free_probes, prober.answered, answer_time * 1000, model);
  std::printf("  ratio measured / model: %.3f\n", model > 0 ? total / model : 0.0);
  control.Send("site initial");
  return outcome.succeeded == kDevices && prober.errors == 0 ? 0 : 1;
}
