// viduzaver-cli: the window's search and device commands without a window.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <iostream>

#include "cli/cli_device_list.h"
#include "cli/cli_help.h"
#include "cli/cli_options.h"
#include "cli/device_search.h"
#include "cli/device_table_printer.h"
#include "cli/label_command.h"
#include "cli/login_check.h"
#include "cli/picture_commands.h"
#include "cli/readdress_command.h"
#include "cli/sdk_event_queue.h"
#include "cli/set_command.h"
#include "cli/snapshot_command.h"
#include "cli/streams_command.h"
#include "cli/talk_command.h"
#include "cli/terminal_command.h"
#include "cli/transfer_command.h"
#include "devops/device_sdk.h"
#include "devops/key_parameter_requester.h"
#include "devops/sdk_runtime.h"
#include "discovery/local_interfaces.h"
#include "shell/diag_log.h"

namespace vdz::cli {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
// How long the check waits for the last devices to come online and tell their version.
constexpr std::chrono::seconds kSettleLimit(5);

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

SearchOutcome Search(const CliOptions& options) {
  SearchRequest request(options.seconds, options.adapter);
  request.onvif = options.protocol != "ours";
  if (request.onvif)
    request.onvif_accounts =
        OnvifAccounts(options.onvif_user, options.onvif_password, options.password_stdin);
  request.hosts = options.hosts;
  if (options.ranges_given)
    request.ranges = options.ranges;
  request.only_hosts = !options.hosts.empty();
  SearchOutcome outcome = SearchDevices(request, &std::cerr);
  if (outcome.status != 0)
    std::cerr << "viduzaver-cli: " << outcome.error << "\n";
  if (options.protocol == "onvif")
    std::erase_if(outcome.rows, [](const DeviceRow& row) { return row.protocol == kProtocolOurs; });
  return outcome;
}

int RunSearch(const CliOptions& options) {
  const SearchOutcome outcome = Search(options);
  if (outcome.status != 0)
    return outcome.status == 2 ? kExitUsage : kExitFailed;
  std::vector<DeviceLine> lines;
  const std::vector<TerminalKeyParameters> keys = FetchKeyParameters(outcome.rows);
  for (std::size_t i = 0; i < outcome.rows.size(); ++i) {
    lines.push_back(MakeDeviceLine(outcome.rows[i]));
    if (outcome.rows[i].protocol == kProtocolOurs) {
      lines.back().name = keys[i].devname;
      lines.back().model = keys[i].deamontime;
    }
  }
  PrintDevices(std::cout, lines, options.format);
  return kExitOk;
}

int RunLoginCheck(const CliOptions& options) {
  // One connection per device: a large site needs more descriptors than the usual soft limit.
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
  }
  // The library starts before the first search, as in the window.
  int rc = 0;
  std::unique_ptr<SdkRuntime> runtime = SdkRuntime::Start(&rc);
  if (!runtime) {
    std::cerr << "viduzaver-cli: the device SDK could not be started (" << rc << ")\n";
    return kExitFailed;
  }
  SdkEventQueue queue;
  runtime->Subscribe(&queue);
  // The queue leaves the runtime before it goes: no callback can run into it afterwards.
  struct Unsubscribe {
    SdkRuntime& runtime;
    SdkEventQueue& queue;
    ~Unsubscribe() { runtime.Unsubscribe(&queue); }
  } unsubscribe{*runtime, queue};
  const SearchOutcome outcome = Search(options);
  if (outcome.status != 0)
    return outcome.status == 2 ? kExitUsage : kExitFailed;
  CliDeviceList list;
  for (const DeviceRow& row : outcome.rows)
    list.Add(row);
  const std::vector<TerminalKeyParameters> keys = FetchKeyParameters(outcome.rows);
  for (int p = 0; p < list.RowCount(); ++p)
    ApplyKeyParameters(list, p, keys[static_cast<std::size_t>(p)]);
  auto sdk = MakeNetSdkDeviceSdk();
  LoginChecker checker(*sdk, queue, list);
  std::cerr << "logging in to " << list.RowCount() << " device(s)\n";
  checker.LoginAll();
  if (!checker.WaitSettled(kSettleLimit))
    std::cerr << "viduzaver-cli: not every device came online within " << kSettleLimit.count()
              << " s\n";
  PrintLoginCheck(std::cout, checker.Lines(), options.format);
  return kExitOk;
}

}  // namespace

int Main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (const auto status = RunHelpOrVersion(args, std::cout, std::cerr))
    return *status;
  // Each command family reads its own arguments; all of them log like the window.
  struct Family {
    bool (*accepts)(const std::string& command);
    int (*run)(const std::vector<std::string>& args);
  };
  static constexpr Family kFamilies[] = {
      {IsReaddressCommand, RunReaddressCommand},
      {IsPictureCommand, RunPictureCommand},
      {[](const std::string& c) { return c == "terminal"; }, RunTerminalCommand},
      {IsTransferCommand, RunTransferCommand},
      {[](const std::string& c) { return c == "label"; }, RunLabelCommand},
      {IsTalkCommand, RunTalkCommand},
      {IsSnapshotCommand, RunSnapshotCommand},
      {[](const std::string& c) { return c == "set"; }, RunSetCommand},
      {IsStreamsCommand, RunStreamsCommand},
  };
  for (const Family& family : kFamilies) {
    if (args.empty() || !family.accepts(args[0]))
      continue;
    DiagnosticLog::Instance().Initialise(DefaultDiagLogOptions());
    const int status = family.run(args);
    DiagnosticLog::Instance().Shutdown();
    return status;
  }
  std::string error;
  const auto options = ParseCliOptions(args, &error);
  if (!options) {
    std::cerr << "viduzaver-cli: " << error << "\n" << Usage();
    return kExitUsage;
  }
  DiagnosticLog::Instance().Initialise(DefaultDiagLogOptions());
  int status = kExitOk;
  if (options->command == "adapters") {
    status = RunAdapters();
  } else if (options->command == "login-check") {
    status = RunLoginCheck(*options);
  } else {
    status = RunSearch(*options);
  }
  DiagnosticLog::Instance().Shutdown();
  return status;
}

}  // namespace vdz::cli

int main(int argc, char** argv) {
  return vdz::cli::Main(argc, argv);
}
