#include "cli/transfer_command.h"

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <map>
#include <thread>

#include "cli/cli_device_list.h"
#include "cli/cli_device_session.h"
#include "cli/cli_help.h"
#include "cli/cli_jobs.h"
#include "cli/device_search.h"
#include "cli/input_checks.h"
#include "cli/login_check.h"
#include "cli/record_printer.h"
#include "cli/sdk_event_queue.h"
#include "devops/batch_report.h"
#include "devops/batch_runner.h"
#include "devops/config_transfer.h"
#include "devops/firmware_upgrade.h"
#include "devops/sdk_runtime.h"
#include "protocol/protocol_numbers.h"
#include "shell/bounded_text.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"
#include "shell/text_codec.h"

namespace vdz::cli {

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// Boxes go to stderr; the confirmation is the --yes flag, or the operator at a terminal.
class TransferPrompter final : public Prompter {
 public:
  explicit TransferPrompter(bool yes) : yes_(yes) {}
  void ShowError(const std::string& text) override {
    std::cerr << "viduzaver-cli: " << text << "\n";
  }
  bool AskYesNo(const std::string& text, const std::string&) override {
    if (yes_)
      return true;
    if (!isatty(STDIN_FILENO))
      return false;
    std::cerr << text << " [y/N] " << std::flush;
    std::string answer;
    std::getline(std::cin, answer);
    return answer == "y" || answer == "Y" || answer == "yes";
  }
  void ShowInfo(const std::string& text) override { std::cerr << text << "\n"; }
  void ShowMessage(const std::string& text) override { std::cerr << text << "\n"; }

 private:
  bool yes_;
};

bool IsEnding(int code) {
  return code == proto::kEventUpgradeDone || code == proto::kEventUpgradeFailed ||
         code == proto::kEventUpgradeWrongImage || code == proto::kEventUpgradeInterrupted ||
         code == proto::kEventFileUploadDone || code == proto::kEventFileUploadFailed;
}

}  // namespace

bool IsTransferCommand(const std::string& command) {
  return command == "upgrade" || command == "export-config" || command == "import-config" ||
         command == "factory-restore";
}

TransferOptions ParseTransferOptions(const std::vector<std::string>& args, std::string* error) {
  TransferOptions o;
  if (args.empty() || !IsTransferCommand(args[0])) {
    *error = "unknown command";
    return {};
  }
  o.command = args[0];
  std::vector<std::string> words;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.rfind("--", 0) != 0) {
      words.push_back(a);
      continue;
    }
    if (a == "--all" && o.command != "factory-restore") {
      o.all = true;
      continue;
    }
    if (a == "--yes" && o.command == "factory-restore") {
      o.yes = true;
      continue;
    }
    const bool upgrade = o.command == "upgrade";
    const bool valued = a == "--seconds" || a == "--adapter" || a == "--format" ||
                        ((a == "--file" || a == "--folder" || a == "--timeout") && upgrade) ||
                        (a == "--dir" && o.command == "export-config");
    if (!valued) {
      *error = "unknown option '" + a + "' for " + o.command;
      return {};
    }
    if (i + 1 >= args.size()) {
      *error = "option " + a + " needs a value";
      return {};
    }
    const std::string& v = args[++i];
    if (a == "--seconds" || a == "--timeout") {
      char* end = nullptr;
      const long n = std::strtol(v.c_str(), &end, 10);
      if (v.empty() || *end != '\0' || n < 1 || n > 86400) {
        *error = a + " needs a whole number of seconds";
        return {};
      }
      (a == "--seconds" ? o.seconds : o.timeout) = static_cast<int>(n);
    } else if (a == "--adapter") {
      o.adapter = v;
    } else if (a == "--file") {
      o.file = v;
    } else if (a == "--folder") {
      o.folder = v;
    } else if (a == "--dir") {
      o.dir = v;
    } else if (v == "table" || v == "csv" || v == "json") {
      o.format = v == "table" ? OutputFormat::kTable
                 : v == "csv" ? OutputFormat::kCsv
                              : OutputFormat::kJson;
    } else {
      *error = "--format must be table, csv or json";
      return {};
    }
  }
  if (o.command == "import-config") {
    if (words.empty()) {
      *error = "import-config needs the configuration FILE first";
      return {};
    }
    o.file = words.front();
    words.erase(words.begin());
  }
  if (o.command == "upgrade" && o.file.empty() == o.folder.empty()) {
    *error = "upgrade needs one of --file IMAGE or --folder DIR";
    return {};
  }
  o.targets = words;
  if (o.targets.empty() && !o.all) {
    *error = o.command + " needs devices (serial numbers or addresses) or --all";
    return {};
  }
  return o;
}

int RunTransferCommand(const std::vector<std::string>& args) {
  std::string error;
  const TransferOptions o = ParseTransferOptions(args, &error);
  if (o.command.empty()) {
    std::cerr << "viduzaver-cli: " << error << "\n" << Usage();
    return kExitUsage;
  }
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
  }
  TransferPrompter prompter(o.yes);
  // Asked before anything is touched, as the window asks before it counts the rows.
  if (o.command == "factory-restore" &&
      !prompter.AskYesNo(LookupText(keys::MSGTIP11), ConfirmationCaption())) {
    std::cerr << "viduzaver-cli: not confirmed (use --yes)\n";
    return kExitUsage;
  }
  std::optional<std::string> unusable;
  if (o.command == "upgrade")
    unusable = o.file.empty() ? NotAnImageFolder(o.folder) : NotAnImage(o.file);
  else if (o.command == "export-config")
    unusable = FolderNotWritable(o.dir.empty() ? ConfigExportFolder() : o.dir);
  if (unusable) {
    std::cerr << "viduzaver-cli: " << *unusable << "\n";
    return kExitUsage;
  }
  CliDeviceSession session;
  if (const int ready = session.Start(true, o.seconds, o.adapter); ready != kExitOk)
    return ready;
  int status = session.SelectTargets(o.targets, o.all) ? kExitOk : kExitFailed;
  if (session.list().RowCount() == 0)
    return kExitFailed;
  CliDeviceList& list = session.list();
  SdkEventQueue& queue = session.queue();
  auto sdk = MakeNetSdkDeviceSdk();
  CliJobs jobs;
  LoginChecker checker(*sdk, queue, list);
  std::map<int, int> ending;  // handle -> last ending event
  UpgradeEngine engine(*sdk, list, prompter, nullptr);
  checker.SetObserver([&](const QueuedSdkEvent& e) {
    if (!e.record || e.kind != SdkEventKind::kStatus)
      return;
    if (IsEnding(e.record->code))
      ending[e.record->handle] = e.record->code;
  });
  checker.LoginAll();
  checker.WaitSettled(std::chrono::seconds(10));

  std::vector<std::string> old_versions;
  for (int p = 0; p < list.RowCount(); ++p)
    old_versions.push_back(list.VersionText(p));
  const bool tty = isatty(STDERR_FILENO);
  if (o.command == "upgrade") {
    if (!o.file.empty()) {
      engine.UpgradeFromFile(o.file);
    } else {
      engine.UpgradeFromFolder(o.folder);
    }
    const auto deadline = Clock::now() + std::chrono::seconds(o.timeout);
    auto upgraded_back = [&] {
      for (int p = 0; p < list.RowCount(); ++p) {
        const DeviceRow* row = list.RowAt(p);
        auto e = ending.find(row->login_handle);
        if (e != ending.end() && e->second == proto::kEventUpgradeDone &&
            list.VersionText(p) == old_versions[static_cast<std::size_t>(p)])
          return false;
      }
      return true;
    };
    while (Clock::now() < deadline && (engine.Upgrading() > 0 || !upgraded_back())) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      checker.Drain();
      // Progress events were written to the status cells by the engine's rule.
      for (int p = 0; p < list.RowCount(); ++p) {
        const DeviceRow* row = list.RowAt(p);
        if (row->upgrading) {
          const std::string text = UpgradeProgressText(sdk->GetUpgradeProgress(row->login_handle));
          if (!text.empty())
            list.SetStatusText(p, text);
        }
      }
      if (tty) {
        std::cerr << "\rupgrading: " << engine.Upgrading() << " of " << list.RowCount()
                  << " still running   " << std::flush;
      }
    }
    if (tty)
      std::cerr << "\n";
  } else if (o.command == "export-config") {
    const std::string folder = o.dir.empty() ? ConfigExportFolder() : o.dir;
    ExportConfigOfChecked(jobs.runner(), *sdk, list, prompter, folder);
    jobs.Wait();
    std::cerr << "exports in " << folder << "\n";
  } else if (o.command == "import-config") {
    ImportConfigToChecked(jobs.runner(), *sdk, list, prompter, o.file);
  } else {
    FactoryRestoreChecked(jobs.runner(), *sdk, list, prompter);
  }
  jobs.Wait();

  static const std::vector<RecordColumn> kColumns = {
      {"SERIAL", "serial"}, {"IP", "ip"},           {"OK", "ok", RecordColumn::Json::kYesNo},
      {"RESULT", "result"}, {"VERSION", "version"},
  };
  std::vector<RecordCells> records;
  int failed = 0;
  BatchCounts counts;
  for (int p = 0; p < list.RowCount(); ++p) {
    const DeviceRow* row = list.RowAt(p);
    const std::string text = list.StatusText(p);
    bool ok = row->online != 0;
    if (o.command == "upgrade") {
      auto e = ending.find(row->login_handle);
      ok = ok && e != ending.end() && e->second == proto::kEventUpgradeDone;
    } else if (o.command == "export-config") {
      ok = ok && text == LookupText(keys::MSGTIP18);
    } else if (o.command == "import-config") {
      ok = ok && text == LookupText(keys::MSGTIP32);
    } else {
      ok = ok && text != LookupText(keys::MSGTIP44) && text != LookupText(keys::MSGTIP35) &&
           text != LookupText(keys::MSGTIP40);
    }
    // Another maker's device is skipped, not failed: the command is not one it has.
    const bool foreign = row->protocol != kProtocolOurs;
    failed += ok || foreign ? 0 : 1;
    CountOutcome(&counts, DeviceOutcome(row->online != 0, ok));
    records.push_back({AnsiToUtf8(FieldText(row->record.SerialNumber)),
                       std::string(FieldText(row->record.Lan.IPAddress)), ok ? "yes" : "no",
                       DeviceResultText(*row, text), list.VersionText(p)});
  }
  PrintRecords(std::cout, kColumns, records, o.format,
               std::to_string(records.size()) + " device(s), " + std::to_string(failed) +
                   " failed\n" + BatchSummaryText(counts) + "\n");
  return failed > 0 ? kExitFailed : status;
}

}  // namespace vdz::cli
