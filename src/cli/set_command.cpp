#include "cli/set_command.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>

#include "cli/cli_device_list.h"
#include "cli/cli_device_session.h"
#include "cli/cli_jobs.h"
#include "cli/cli_prompter.h"
#include "cli/device_search.h"
#include "cli/login_check.h"
#include "cli/record_printer.h"
#include "cli/sdk_event_queue.h"
#include "devconfig/request_bodies.h"
#include "devconfig/setting_validators.h"
#include "devconfig/time_zone_table.h"
#include "devops/batch_report.h"
#include "devops/batch_settings.h"
#include "devops/sdk_runtime.h"
#include "shell/bounded_text.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"
#include "shell/text_codec.h"

namespace vdz::cli {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

SetOptions Fail(std::string* error, const std::string& why) {
  *error = why;
  return {};
}

const SettingsEntry& EntryOf(const std::string& setting) {
  if (setting == "time-sync")
    return settings::kTimeSync;
  if (setting == "language")
    return settings::kLanguage;
  if (setting == "output")
    return settings::kOutputPort;
  if (setting == "encoding")
    return settings::kEncoding;
  if (setting == "password")
    return settings::kPassword;
  if (setting == "title")
    return settings::kTitle;
  if (setting == "ntp")
    return settings::kTimeConfig;
  return settings::kMaintenance;
}

}  // namespace

SetOptions ParseSetOptions(const std::vector<std::string>& args, std::string* error) {
  SetOptions o;
  if (args.size() < 2 || args[0] != "set")
    return Fail(error,
                "set needs a setting: time-sync, language, output, encoding, password, "
                "title, ntp or maintenance");
  o.setting = args[1];
  const std::vector<std::string> kSettings = {"time-sync", "language", "output", "encoding",
                                              "password",  "title",    "ntp",    "maintenance"};
  if (std::find(kSettings.begin(), kSettings.end(), o.setting) == kSettings.end())
    return Fail(error, "unknown setting '" + o.setting + "'");
  std::size_t i = 2;
  // Settings with a value word.
  if (o.setting == "language" || o.setting == "output" || o.setting == "encoding") {
    if (i >= args.size())
      return Fail(error, "set " + o.setting + " needs a value");
    o.value = args[i++];
    const bool ok = o.setting == "language"
                        ? (o.value == "en_us" || o.value == "zh_cn" || o.value == "zh_tw")
                    : o.setting == "output" ? (o.value == "0" || o.value == "1")
                                            : (o.value == "H264" || o.value == "H265");
    if (!ok)
      return Fail(error, "bad value '" + o.value + "' for set " + o.setting);
  }
  o.title.add_ip = o.title.add_model = o.title.add_serial = 0;
  o.ntp = {0, kDefaultTimeZoneValue, "pool.ntp.org", "123", "60"};
  bool maintenance_off = false, have_day = false, have_time = false;
  for (; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.rfind("--", 0) != 0) {
      if (o.setting == "maintenance" && a == "off") {
        maintenance_off = true;
        continue;
      }
      o.targets.push_back(a);
      continue;
    }
    if (a == "--all") {
      o.all = true;
      continue;
    }
    if (o.setting == "title" && (a == "--add-ip" || a == "--add-model" || a == "--add-serial")) {
      (a == "--add-ip"      ? o.title.add_ip
       : a == "--add-model" ? o.title.add_model
                            : o.title.add_serial) = 1;
      continue;
    }
    const bool valued =
        a == "--seconds" || a == "--adapter" || a == "--format" ||
        (o.setting == "password" && a == "--new") || (o.setting == "title" && a == "--text") ||
        (o.setting == "ntp" &&
         (a == "--server" || a == "--port" || a == "--interval" || a == "--zone")) ||
        (o.setting == "maintenance" && (a == "--day" || a == "--time"));
    if (!valued)
      return Fail(error, "unknown option '" + a + "' for set " + o.setting);
    if (i + 1 >= args.size())
      return Fail(error, "option " + a + " needs a value");
    const std::string& v = args[++i];
    if (a == "--seconds") {
      if (!ParseSearchSeconds(v, &o.seconds, error))
        return {};
    } else if (a == "--adapter") {
      o.adapter = v;
    } else if (a == "--format") {
      if (!ParseOutputFormat(v, &o.format, error))
        return {};
    } else if (a == "--new") {
      o.password = v;
    } else if (a == "--text") {
      o.title.title = v;
    } else if (a == "--server") {
      o.ntp.server = v;
    } else if (a == "--port") {
      o.ntp.port = v;
    } else if (a == "--interval") {
      o.ntp.interval = v;
    } else if (a == "--zone") {
      o.ntp.zone_value = TimeZoneValueFromOffset(v);
      if (o.ntp.zone_value < 0)
        return Fail(error, "--zone " + v + " is not a zone of the table (+08:00, -04:30, ...)");
    } else if (a == "--day") {
      if (!DecimalInRange(v, 0, 7))
        return Fail(error, "--day must be 0 (Monday) to 6 (Sunday), or 7 (every day)");
      o.maintenance_day = std::stoi(v);
      have_day = true;
    } else {
      if (std::sscanf(v.c_str(), "%2d:%2d:%2d", &o.hour, &o.minute, &o.second) != 3 || o.hour < 0 ||
          o.hour > 23 || o.minute < 0 || o.minute > 59 || o.second < 0 || o.second > 59 ||
          v.size() != 8)
        return Fail(error, "--time must be HH:MM:SS");
      have_time = true;
    }
  }
  if (o.setting == "password" && o.password.empty())
    return Fail(error, "set password needs --new PASSWORD");
  if (o.setting == "ntp") {
    if (!DecimalInRange(o.ntp.port, 1, 65535))
      return Fail(error, LookupText(keys::IDS_STR_ZH_CN_MSG_TIPS126));
    if (!DecimalInRange(o.ntp.interval, 60, 999999))
      return Fail(error, LookupText(keys::IDS_STR_ZH_CN_MSG_TIPS127));
    if (!NtpServerAccepted(o.ntp.server))
      return Fail(error, LookupText(keys::IDS_STR_ZH_CN_MSG_TIPS128));
  }
  if (o.setting == "maintenance") {
    if (maintenance_off == (have_day || have_time))
      return Fail(error, "set maintenance needs --day N --time HH:MM:SS, or off");
    o.maintenance_enable = maintenance_off ? 0 : 1;
  }
  if (o.targets.empty() && !o.all)
    return Fail(error,
                "set " + o.setting + " needs devices (serial numbers or addresses) or --all");
  return o;
}

int RunSetCommand(const std::vector<std::string>& args) {
  std::string error;
  const SetOptions o = ParseSetOptions(args, &error);
  if (o.setting.empty()) {
    std::cerr << "viduzaver-cli: " << error << "\n";
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
  LoginChecker checker(*sdk, queue, list);
  checker.LoginAll();
  checker.WaitSettled(std::chrono::seconds(10));
  CliPrompter prompter;
  CliJobs jobs;
  const SettingsEntry& entry = EntryOf(o.setting);
  const OnvifActions onvif(session.onvif());
  if (o.setting == "time-sync") {
    SyncTimeOnChecked(jobs.runner(), *sdk, list, prompter, {}, CurrentLocalTime, &onvif);
  } else if (o.setting == "password") {
    SetPasswordOnChecked(jobs.runner(), *sdk, list, o.password, &onvif);
  } else if (o.setting == "ntp") {
    SetTimeConfigOnChecked(jobs.runner(), *sdk, list, o.ntp, &onvif);
  } else if (o.setting == "title") {
    SetTitleOnChecked(jobs.runner(), *sdk, list, o.title);
  } else {
    std::string document;
    if (o.setting == "language")
      document = BuildDeviceLanguageDocument(o.value);
    else if (o.setting == "output")
      document = BuildOutputPortRequest(o.value == "1" ? 1 : 0);
    else if (o.setting == "encoding")
      document = BuildEncodingTypeDocument(o.value);
    else
      document = BuildMaintenanceDocument(o.maintenance_enable, o.maintenance_day, o.hour, o.minute,
                                          o.second);
    SendSettingToChecked(jobs.runner(), *sdk, list, entry, document);
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
    // Another maker's device is reached by its own protocol where the setting has one, and
    // skipped as not supported where it has none.
    const bool foreign = row->protocol != kProtocolOurs;
    const bool unsupported = foreign && text == LookupText(keys::NOT_SUPPORTED_BY_DEVICE);
    const bool reached = foreign ? !unsupported : row->online != 0 && row->login_handle > 0;
    // Nothing is written on success: a device that was called and shows neither key took it.
    const bool ok =
        reached && text != LookupText(entry.failure_key) && text != LookupText(entry.no_login_key);
    failed += ok || unsupported ? 0 : 1;
    CountOutcome(&counts, DeviceOutcome(reached, ok));
    records.push_back({AnsiToUtf8(FieldText(row->record.SerialNumber)),
                       std::string(FieldText(row->record.Lan.IPAddress)), ok ? "yes" : "no",
                       unsupported ? text
                       : !reached  ? std::string("offline")
                       : ok        ? std::string("set")
                                   : text});
  }
  PrintRecords(std::cout, kColumns, records, o.format,
               std::to_string(records.size()) + " device(s), " + std::to_string(failed) +
                   " failed\n" + BatchSummaryText(counts) + "\n");
  return failed > 0 ? kExitFailed : status;
}

}  // namespace vdz::cli
