// viduzaver-cli: the window's search and device commands without a window.
#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <thread>

#include "cli/cli_options.h"
#include "cli/device_table_printer.h"
#include "discovery/discovery_engine.h"
#include "discovery/local_interfaces.h"
#include "discovery/search_session.h"
#include "shell/diag_log.h"

namespace vdz::cli {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// A search front end without widgets: it only keeps the state the window would show.
class CliSearchView final : public SearchView {
 public:
  void SetTimerActive(int timer_id, bool active) override {
    (timer_id == kRefreshTimerId ? refresh_timer : request_timer) = active;
  }
  void SetSearchButtonText(const std::string&) override {}
  void SetStatusText(const std::string& text) override { status = text; }
  void OnRowAdded(int, DeviceRow&) override {}
  void OnRowChanged(int, DeviceRow&, const DeviceRecord&) override {}
  void OnAddressChanged(int, DeviceRow&, const DeviceRecord&) override {}

  bool refresh_timer = false;
  bool request_timer = false;
  std::string status;
};

int RunAdapters() {
  auto network = MakeSystemNetworkInfoSource();
  const AdapterTable table = BuildAdapterTable(*network);
  std::cout << "adapters (" << table.size() << "):\n";
  for (const auto& [key, info] : table) {
    std::cout << "  [" << DottedFromKey(key) << "]\t[" << info.description << "]  mask "
              << (info.addresses.empty() ? "" : info.addresses.front().mask) << "  gateway "
              << (info.gateway.empty() ? "-" : info.gateway) << "  index " << info.interface_index
              << "\n";
  }
  LocalParameterCache params(*network);
  const char* names[kLocalParameterCount] = {"address", "netmask", "gateway", "dns1", "dns2"};
  std::cout << "local parameters:\n";
  for (int i = 0; i < kLocalParameterCount; ++i) {
    std::cout << "  " << names[i] << "  " << params.GetNetworkParam(i) << "\n";
  }
  return kExitOk;
}

int RunSearch(const CliOptions& options) {
  std::shared_ptr<NetworkInfoSource> network = MakeSystemNetworkInfoSource();
  uint32_t selection = 0;
  if (!options.adapter.empty()) {
    selection = AdapterKey(options.adapter.c_str());
    const AdapterTable table = BuildAdapterTable(*network);
    if (selection == 0 || !table.count(selection)) {
      std::cerr << "viduzaver-cli: no adapter with address '" << options.adapter
                << "' (see: viduzaver-cli adapters)\n";
      return kExitUsage;
    }
  }

  auto registry = std::make_shared<DeviceRegistry>();
  DiscoveryEngine engine(registry, network);
  engine.SetAdapterSelection(selection);
  LocalParameterCache params(*network);
  CliSearchView view;
  SearchSession session(engine, *registry, params, view);

  session.SetAutoStopPending(options.seconds == 0);
  session.StartFromButton();
  if (!engine.running()) {
    std::cerr << "viduzaver-cli: the search could not be started\n";
    return kExitFailed;
  }

  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  auto next_tick = start;
  for (int tick = 1; session.searching(); ++tick) {
    next_tick += std::chrono::seconds(1);
    std::this_thread::sleep_until(next_tick);
    if (engine.open_socket_count() == 0) {
      session.StopFromButton();
      std::cerr << "viduzaver-cli: no discovery socket could be opened on any adapter\n";
      return kExitFailed;
    }
    if (view.refresh_timer)
      session.OnRefreshTick();
    if (view.request_timer)
      session.OnRequestTick();
    std::cerr << "\r" << view.status << std::flush;
    if (options.seconds > 0 && tick >= options.seconds && session.searching()) {
      session.StopFromButton();
    }
  }
  session.RefreshDeviceList();
  std::cerr << "\n";

  std::vector<DeviceLine> lines;
  for (int i = 0; i < session.rows_shown(); ++i)
    lines.push_back(MakeDeviceLine(session.row(i)->record));
  PrintDevices(std::cout, lines, options.format);
  return kExitOk;
}

}  // namespace

int Main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
  const auto options = ParseCliOptions(args, &error);
  if (!options) {
    std::cerr << "viduzaver-cli: " << error << "\n" << CliUsage();
    return kExitUsage;
  }
  DiagnosticLog::Instance().Initialise(DefaultDiagLogOptions());
  const int status = options->command == "adapters" ? RunAdapters() : RunSearch(*options);
  DiagnosticLog::Instance().Shutdown();
  return status;
}

}  // namespace vdz::cli

int main(int argc, char** argv) {
  return vdz::cli::Main(argc, argv);
}
