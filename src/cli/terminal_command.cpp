#include "cli/terminal_command.h"

#include <atomic>
#include <cstdlib>
#include <iostream>
#include <set>
#include <thread>

#include "cli/cli_device_list.h"
#include "cli/cli_device_session.h"
#include "cli/cli_help.h"
#include "cli/cli_jobs.h"
#include "cli/cli_options.h"
#include "cli/cli_prompter.h"
#include "cli/device_search.h"
#include "cli/login_check.h"
#include "cli/record_printer.h"
#include "cli/sdk_event_queue.h"
#include "devops/batch_report.h"
#include "devops/login_coordinator.h"
#include "devops/sdk_runtime.h"
#include "devops/terminal_batch.h"
#include "shell/bounded_text.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"
#include "shell/text_codec.h"

namespace vdz::cli {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

struct TerminalOptions {
  std::string verb;
  std::vector<std::string> targets;
  bool all = false;
  std::vector<std::pair<std::string, std::string>> values;  // --set name=value
  int seconds = 0;
  std::string adapter;
  OutputFormat format = OutputFormat::kTable;
};

bool Parse(const std::vector<std::string>& args, TerminalOptions* o, std::string* error) {
  if (args.size() < 2 || (args[1] != "get" && args[1] != "set" && args[1] != "restart")) {
    *error = "terminal needs get, set or restart";
    return false;
  }
  o->verb = args[1];
  for (std::size_t i = 2; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.rfind("--", 0) != 0) {
      o->targets.push_back(a);
      continue;
    }
    if (a == "--all" && o->verb != "get") {
      o->all = true;
      continue;
    }
    const bool valued = a == "--seconds" || a == "--adapter" || a == "--format" ||
                        (a == "--set" && o->verb == "set");
    if (!valued || i + 1 >= args.size()) {
      *error = valued ? "option " + a + " needs a value" : "unknown option '" + a + "'";
      return false;
    }
    const std::string& v = args[++i];
    if (a == "--seconds") {
      if (!ParseSearchSeconds(v, &o->seconds, error))
        return false;
    } else if (a == "--adapter") {
      o->adapter = v;
    } else if (a == "--format") {
      if (!ParseOutputFormat(v, &o->format, error))
        return false;
    } else {
      const std::size_t eq = v.find('=');
      TerminalParameterSet probe;
      if (eq == std::string::npos || ModifyPlatformNames().count(v.substr(0, eq)) == 0 ||
          !SetTerminalAttribute(&probe, v.substr(0, eq), v.substr(eq + 1))) {
        *error =
            "--set needs NAME=VALUE with a writable attribute name (and a number where it "
            "holds one): " +
            v;
        return false;
      }
      o->values.emplace_back(v.substr(0, eq), v.substr(eq + 1));
    }
  }
  if (o->verb == "get" && o->targets.size() != 1) {
    *error = "terminal get needs one device (serial number or address)";
    return false;
  }
  if (o->targets.empty() && !o->all) {
    *error = "terminal " + o->verb + " needs devices (serial numbers or addresses) or --all";
    return false;
  }
  if (o->verb == "set" && o->values.empty()) {
    *error = "terminal set needs at least one --set NAME=VALUE";
    return false;
  }
  return true;
}

int RunGet(const TerminalOptions& o, const DeviceRow& row) {
  SocketTerminalService service;
  TerminalParameterSet set;
  const int rc = service.RequestPlatform(row.record, &set);
  if (rc != kTerminalOk) {
    std::cout << FieldText(row.record.Lan.IPAddress) << "  " << LookupText(keys::MSGTIP43) << " ("
              << rc << ")\n";
    return kExitFailed;
  }
  const auto list = TerminalAttributeList(set);
  if (o.format == OutputFormat::kJson) {
    std::cout << "{";
    for (std::size_t i = 0; i < list.size(); ++i) {
      std::cout << (i ? ", " : "") << JsonString(list[i].first) << ": "
                << (IsNumericTerminalAttribute(list[i].first) ? list[i].second
                                                              : JsonString(list[i].second));
    }
    std::cout << "}\n";
    return kExitOk;
  }
  std::vector<RecordCells> records;
  for (const auto& [name, value] : list)
    records.push_back({name, value});
  PrintRecords(std::cout, {{"NAME", "name"}, {"VALUE", "value"}}, records, o.format, "");
  return kExitOk;
}

}  // namespace

std::vector<TerminalKeyParameters> FetchKeyParameters(const std::vector<DeviceRow>& rows) {
  std::vector<TerminalKeyParameters> keys(rows.size());
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    SocketTerminalService service;
    for (std::size_t i = next++; i < rows.size(); i = next++)
      if (rows[i].protocol == kProtocolOurs)  // another maker's device has no such service
        service.RequestKeyParameters(rows[i].record, &keys[i]);
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < kLoginThreads && static_cast<std::size_t>(t) < rows.size(); ++t)
    threads.emplace_back(work);
  for (std::thread& t : threads)
    t.join();
  return keys;
}

int RunTerminalCommand(const std::vector<std::string>& args) {
  TerminalOptions o;
  std::string error;
  if (!Parse(args, &o, &error)) {
    std::cerr << "viduzaver-cli: " << error << "\n" << Usage();
    return kExitUsage;
  }
  CliDeviceSession session;
  if (const int ready = session.Start(o.verb != "get", o.seconds, o.adapter); ready != kExitOk)
    return ready;
  int status = session.SelectTargets(o.targets, o.all) ? kExitOk : kExitFailed;
  if (session.list().RowCount() == 0)
    return kExitFailed;
  CliDeviceList& list = session.list();
  SdkEventQueue& queue = session.queue();
  if (o.verb == "get")
    return list.RowCount() == 1 ? RunGet(o, *list.RowAt(0)) : kExitFailed;
  if (list.RowCount() == 0)
    return kExitFailed;

  auto sdk = MakeNetSdkDeviceSdk();
  LoginChecker checker(*sdk, queue, list);
  checker.LoginAll();
  checker.WaitSettled(std::chrono::seconds(10));
  SocketTerminalService service;
  CliPrompter prompter;
  CliJobs jobs;
  const char* success = keys::MSGALMTIP3;
  if (o.verb == "set") {
    TerminalParameterSet set;
    std::set<std::string> names;
    for (const auto& [name, value] : o.values) {
      SetTerminalAttribute(&set, name, value);
      names.insert(name);
    }
    WriteTerminalAttributes(jobs.runner(), service, list, set, names);
    success = keys::MSGSUCTIP43;
  } else {
    RestartTerminalServiceOfChecked(jobs.runner(), service, list, prompter);
  }
  jobs.Wait();
  static const std::vector<RecordColumn> kColumns = {{"SERIAL", "serial"},
                                                     {"IP", "ip"},
                                                     {"OK", "ok", RecordColumn::Json::kYesNo},
                                                     {"RESULT", "result"}};
  std::vector<RecordCells> records;
  int failed = 0;
  BatchCounts counts;
  for (int p = 0; p < list.RowCount(); ++p) {
    const DeviceRow* row = list.RowAt(p);
    const std::string text = list.StatusText(p);
    const bool ok = row->online != 0 && text == LookupText(success);
    // Another maker's device is skipped, not failed: it has no terminal service.
    failed += ok || row->protocol != kProtocolOurs ? 0 : 1;
    CountOutcome(&counts, DeviceOutcome(row->online != 0, ok));
    records.push_back({AnsiToUtf8(FieldText(row->record.SerialNumber)),
                       std::string(FieldText(row->record.Lan.IPAddress)), ok ? "yes" : "no",
                       DeviceResultText(*row, text)});
  }
  PrintRecords(std::cout, kColumns, records, o.format,
               std::to_string(records.size()) + " device(s), " + std::to_string(failed) +
                   " failed\n" + BatchSummaryText(counts) + "\n");
  return failed > 0 ? kExitFailed : status;
}

}  // namespace vdz::cli
