#include "cli/readdress_command.h"

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "cli/cli_device_list.h"
#include "cli/cli_help.h"
#include "cli/cli_jobs.h"
#include "cli/cli_prompter.h"
#include "cli/device_search.h"
#include "devconfig/ip_setting_rules.h"
#include "devops/batch_report.h"
#include "devops/onvif_network_rows.h"
#include "discovery/address_probe.h"
#include "discovery/discovery_engine.h"
#include "discovery/readdress_commands.h"
#include "shell/bounded_text.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"

namespace vdz::cli {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// The start address is given on the command line, so no candidate needs an echo request.
class NoProbe final : public AddressProber {
 public:
  int PintTest(uint32_t) override { return 0; }
};

bool TakesValue(const std::string& flag) {
  return flag == "--ip" || flag == "--mask" || flag == "--gateway" || flag == "--dns1" ||
         flag == "--dns2" || flag == "--start" || flag == "--seconds" || flag == "--adapter";
}

bool CheckDotted(const std::optional<std::string>& value, const char* what, std::string* error) {
  if (value && !ParseDottedQuad(*value)) {
    *error = std::string(what) + " '" + *value + "' is not a dotted IPv4 address";
    return false;
  }
  return true;
}

// Command-line values over the dialog's initial ones.
IpSettingValues Merge(const ReaddressOptions& options, IpSettingValues values) {
  if (options.ip)
    values.ip = *options.ip;
  if (options.mask)
    values.netmask = *options.mask;
  if (options.gateway)
    values.gateway = *options.gateway;
  if (options.dns1)
    values.dns1 = *options.dns1;
  if (options.dns2)
    values.dns2 = *options.dns2;
  values.dhcp = options.dhcp ? 1 : 0;
  return values;
}

std::string ResultText(int result) {
  switch (result) {
    case 0:
      return "sent";
    case kNoFreeAddress:
      return "failed: no free address found";
    case kAddressRangeExhausted:
      return "failed: no address after 255.255.255.255";
    case kNotSupportedByDevice:
      return "skipped: " + LookupText(keys::NOT_SUPPORTED_BY_DEVICE);
    default:
      return "failed: error " + std::to_string(result);
  }
}

}  // namespace

bool IsReaddressCommand(const std::string& command) {
  return command == "set-ip" || command == "assign-free" || command == "assign-consecutive" ||
         command == "reboot" || command == "restore";
}

std::optional<ReaddressOptions> ParseReaddressOptions(const std::vector<std::string>& args,
                                                      std::string* error) {
  if (args.empty() || !IsReaddressCommand(args[0])) {
    *error = args.empty() ? "no command given" : "unknown command '" + args[0] + "'";
    return std::nullopt;
  }
  ReaddressOptions options;
  options.command = args[0];
  const bool set_ip = options.command == "set-ip";
  const bool consecutive = options.command == "assign-consecutive";
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.rfind("--", 0) != 0) {
      options.targets.push_back(arg);
      continue;
    }
    if (arg == "--dhcp" && (set_ip || consecutive)) {
      options.dhcp = true;
      continue;
    }
    const bool address_flag = arg == "--ip" || arg == "--mask" || arg == "--gateway" ||
                              arg == "--dns1" || arg == "--dns2";
    if (!TakesValue(arg) || (arg == "--ip" && !set_ip) || (arg == "--start" && !consecutive) ||
        (address_flag && !set_ip && !consecutive)) {
      *error = "unknown option '" + arg + "' for " + options.command;
      return std::nullopt;
    }
    if (i + 1 >= args.size()) {
      *error = "option " + arg + " needs a value";
      return std::nullopt;
    }
    const std::string& value = args[++i];
    if (arg == "--ip") {
      options.ip = value;
    } else if (arg == "--mask") {
      options.mask = value;
    } else if (arg == "--gateway") {
      options.gateway = value;
    } else if (arg == "--dns1") {
      options.dns1 = value;
    } else if (arg == "--dns2") {
      options.dns2 = value;
    } else if (arg == "--start") {
      options.start = value;
    } else if (arg == "--adapter") {
      options.adapter = value;
    } else {
      char* end = nullptr;
      const long seconds = std::strtol(value.c_str(), &end, 10);
      if (value.empty() || *end != '\0' || seconds < 1 || seconds > 3600) {
        *error = "--seconds needs a whole number from 1 to 3600";
        return std::nullopt;
      }
      options.seconds = static_cast<int>(seconds);
    }
  }

  if (options.targets.empty()) {
    *error = options.command + " needs at least one device (serial number or address)";
    return std::nullopt;
  }
  if (set_ip && options.targets.size() != 1) {
    *error = "set-ip changes one device; use assign-consecutive for several";
    return std::nullopt;
  }
  if (!CheckDotted(options.ip, "address", error) || !CheckDotted(options.mask, "mask", error) ||
      !CheckDotted(options.gateway, "gateway", error) ||
      !CheckDotted(options.dns1, "name server", error) ||
      !CheckDotted(options.dns2, "name server", error))
    return std::nullopt;
  if (set_ip && !options.dhcp && (!options.ip || !options.mask || !options.gateway)) {
    *error = "set-ip needs --ip, --mask and --gateway (or --dhcp)";
    return std::nullopt;
  }
  if (set_ip && options.ip && options.mask && options.gateway) {
    std::string why;
    if (!IpSettingTextsAccepted(Merge(options, {}), &why)) {
      *error = why;
      return std::nullopt;
    }
  }
  if (consecutive) {
    if (options.start.empty()) {
      *error = "assign-consecutive needs --start ADDRESS";
      return std::nullopt;
    }
    if (!CheckDotted(options.start, "start address", error))
      return std::nullopt;
  }
  return options;
}

int RunReaddressCommand(const std::vector<std::string>& args) {
  std::string error;
  const auto parsed = ParseReaddressOptions(args, &error);
  if (!parsed) {
    std::cerr << "viduzaver-cli: " << error << "\n" << Usage();
    return kExitUsage;
  }
  const ReaddressOptions& options = *parsed;

  std::shared_ptr<NetworkInfoSource> network = MakeSystemNetworkInfoSource();
  LocalParameterCache params(*network);
  IpSettingValues consecutive_values;
  if (options.command == "assign-consecutive") {
    // Known before the search: the dialog's check on the start, local mask and gateway.
    IpSettingValues local;
    const LocalNetworkParameters seed = params.For(options.start);
    for (int i = kLocalNetmask; i <= kLocalDns2; ++i) {
      const std::string value = seed.Get(i);
      (i == kLocalNetmask   ? local.netmask
       : i == kLocalGateway ? local.gateway
       : i == kLocalDns1    ? local.dns1
                            : local.dns2) = value;
    }
    consecutive_values = Merge(options, local);
    consecutive_values.ip = options.start;
    std::string why;
    if (!IpSettingTextsAccepted(consecutive_values, &why)) {
      std::cerr << "viduzaver-cli: " << why << "\n";
      return kExitUsage;
    }
  }

  SearchRequest request(options.seconds, options.adapter);
  request.hosts = RoutedTargets(options.targets);
  SearchOutcome found = SearchDevices(request, &std::cerr);
  if (found.status != 0) {
    std::cerr << "viduzaver-cli: " << found.error << "\n";
    return found.status == 2 ? kExitUsage : kExitFailed;
  }

  // The registry again, from the answers the search kept, in the same order; the requests
  // need its slots and go out on fresh sockets now that the search is over.
  auto registry = std::make_shared<DeviceRegistry>();
  for (const DeviceRow& row : found.rows) {
    const std::string_view answer = FieldText(row.record.AnswerText);
    registry->AddDeviceAnswer(std::string(answer).c_str(), static_cast<int>(answer.size()),
                              std::string(FieldText(row.record.LocalAddress)).c_str());
  }
  DiscoveryEngine engine(registry, network);

  int status = kExitOk;
  // The named devices, in the order they were named, every one checked.
  CliDeviceList list;
  std::vector<std::string> seen;
  for (const std::string& target : options.targets) {
    const DeviceRow* match = FindDevice(found.rows, target);
    if (match == nullptr) {
      std::cout << target << "  not found\n";
      status = kExitFailed;
      continue;
    }
    const std::string serial(FieldText(match->record.SerialNumber));
    // A camera that refused every account has no serial number: its address tells it apart.
    const std::string key =
        serial.empty() ? std::string(FieldText(match->record.Lan.IPAddress)) : serial;
    if (std::find(seen.begin(), seen.end(), key) != seen.end())
      continue;
    seen.push_back(key);
    DeviceRow row = *match;
    row.registry_index = -1;
    auto record = std::make_unique<DeviceRecord>();
    for (int i = 0; i < registry->GetDeviceCount(); ++i) {
      if (registry->CopyRecord(i, record.get(), sizeof *record) == 0 &&
          serial == FieldText(record->SerialNumber))
        row.registry_index = i;
    }
    list.Add(row);
  }
  if (list.RowCount() == 0)
    return status;

  AssignedAddressTable assigned;
  CliPrompter prompter;
  IcmpAddressProber icmp;
  NoProbe no_probe;
  AddressProber& prober =
      options.command == "assign-consecutive" ? static_cast<AddressProber&>(no_probe) : icmp;
  std::vector<std::string> old_addresses;
  for (int p = 0; p < list.RowCount(); ++p)
    old_addresses.emplace_back(FieldText(list.RowAt(p)->record.Lan.IPAddress));

  auto print_result = [&](int position, const DeviceRow& row, int result) {
    const auto p = static_cast<std::size_t>(position);
    std::cout << FieldText(row.record.SerialNumber) << "  " << old_addresses[p];
    const std::string now(FieldText(row.record.Lan.IPAddress));
    if (result == 0 && now != old_addresses[p])
      std::cout << " -> " << now;
    std::cout << "  " << options.command << " " << ResultText(result) << "\n";
    if (result != 0 && result != kNotSupportedByDevice)
      status = kExitFailed;
  };
  CliJobs jobs;
  ReaddressContext ctx{
      *registry,
      assigned,
      engine,
      params,
      *network,
      prober,
      prompter,
      nullptr,
      nullptr,
      [](const std::string& candidate) {
        std::cerr << "\rprobing " << candidate << "   " << std::flush;
      },
      print_result,
      {},
      // Other makers' cameras, by their own protocol.
      OnvifNetworkRows(jobs.runner(), list, OnvifActions(found.onvif), print_result)};

  // The batch commands end with the summary line the window shows.
  BatchReportLog report;
  list.SetBatchObserver(&report);
  const int batch = report.Begin(options.command);
  bool refused = false;
  if (options.command == "set-ip") {
    auto dialog = [&](const IpSettingValues& initial, bool) -> std::optional<IpSettingValues> {
      const IpSettingValues values = Merge(options, initial);
      std::string why;
      if (!IpSettingTextsAccepted(values, &why)) {
        std::cerr << "viduzaver-cli: " << why << "\n";
        refused = true;
        return std::nullopt;
      }
      return values;
    };
    ChangeNetworkOfRow(ctx, list, 0, dialog);
  } else if (options.command == "assign-free") {
    AssignFreeToChecked(ctx, list);
    std::cerr << "\n";
  } else if (options.command == "assign-consecutive") {
    auto dialog = [&](const IpSettingValues&, bool) -> std::optional<IpSettingValues> {
      return consecutive_values;
    };
    AssignConsecutiveToChecked(ctx, list, dialog);
  } else if (options.command == "reboot") {
    RebootChecked(ctx, list);
  } else {
    RestoreChecked(ctx, list);
  }
  jobs.Wait();
  const std::string summary = report.End(batch);
  list.SetBatchObserver(nullptr);
  if (options.command != "set-ip" && !summary.empty())
    std::cout << summary << "\n";
  return refused ? kExitUsage : status;
}

}  // namespace vdz::cli
