#include "cli/talk_command.h"

#include <sys/resource.h>
#include <tinyxml2.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <thread>

#include "audio/broadcast_session.h"
#include "cli/cli_device_list.h"
#include "cli/cli_device_session.h"
#include "cli/cli_help.h"
#include "cli/device_search.h"
#include "cli/input_checks.h"
#include "cli/login_check.h"
#include "cli/record_printer.h"
#include "cli/sdk_event_queue.h"
#include "devops/batch_report.h"
#include "devops/device_sdk.h"
#include "devops/sdk_runtime.h"
#include "protocol/protocol_numbers.h"
#include "shell/bounded_text.h"
#include "shell/text_codec.h"

namespace vdz::cli {

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
// How long a device may take to answer one page of its file list, or to store one upload.
constexpr auto kPageLimit = std::chrono::seconds(5);
constexpr auto kUploadLimit = std::chrono::seconds(120);

std::atomic<bool> g_interrupted{false};

void OnInterrupt(int) {
  g_interrupted = true;
}

bool IsMp3Name(const std::string& word) {
  if (word.size() < 4)
    return false;
  std::string tail = word.substr(word.size() - 4);
  for (char& c : tail)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return tail == ".MP3";
}

bool ParseNumber(const std::string& v, long low, long high, int* out) {
  char* end = nullptr;
  const long n = std::strtol(v.c_str(), &end, 10);
  if (v.empty() || *end != '\0' || n < low || n > high)
    return false;
  *out = static_cast<int>(n);
  return true;
}

bool ParseChoice(const std::string& v, const std::vector<std::string>& names, int* out) {
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (v == names[i]) {
      *out = static_cast<int>(i);
      return true;
    }
  }
  return false;
}

// The devices named on the command line, found, listed and logged in as the window does.
class Site {
 public:
  bool Open(const TalkOptions& o, int* status) {
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
      files.rlim_cur = files.rlim_max;
      setrlimit(RLIMIT_NOFILE, &files);
    }
    if (const int ready = session_.Start(true, o.seconds, o.adapter); ready != kExitOk) {
      *status = ready;
      return false;
    }
    if (!session_.SelectTargets(o.targets, o.all))
      *status = kExitFailed;
    if (session_.list().RowCount() == 0)
      return false;
    sdk_ = MakeNetSdkDeviceSdk();
    checker_ = std::make_unique<LoginChecker>(*sdk_, session_.queue(), session_.list());
    checker_->LoginAll();
    checker_->WaitSettled(std::chrono::seconds(10));
    return true;
  }
  ~Site() {
    // The checker's pool leaves before the session's runtime goes.
    checker_.reset();
  }

  CliDeviceList& list() { return session_.list(); }
  LoginChecker& checker() { return *checker_; }
  std::string Serial(int p) { return AnsiToUtf8(FieldText(list().RowAt(p)->record.SerialNumber)); }
  std::string Ip(int p) { return std::string(FieldText(list().RowAt(p)->record.Lan.IPAddress)); }
  bool Online(int p) { return list().RowAt(p)->online != 0; }
  int Handle(int p) { return list().RowAt(p)->login_handle; }

 private:
  CliDeviceSession session_;
  std::unique_ptr<DeviceSdk> sdk_;
  std::unique_ptr<LoginChecker> checker_;
};

std::string PayloadText(const SdkEventRecord& e) {
  return std::string(e.payload, strnlen(e.payload, sizeof e.payload));
}

void ShowProgress(const audio::BroadcastSession& session, const TalkOptions& o, int joined,
                  int devices, bool tty) {
  const std::string name =
      std::filesystem::path(o.files[static_cast<std::size_t>(session.file_index())])
          .filename()
          .string();
  char line[512];
  std::snprintf(line, sizeof line,
                "broadcast: file %d/%zu %s %.1f/%.1f s, pass %d/%d, %d of %d device(s) joined",
                session.file_index() + 1, o.files.size(), name.c_str(), session.Position(),
                session.Length(), session.pass() + 1, o.loops, joined, devices);
  std::cerr << (tty ? "\r" : "") << line << (tty ? "   " : "\n") << std::flush;
}

int RunBroadcast(const TalkOptions& o, Site& site, int status) {
  std::vector<int> handles;
  for (int p = 0; p < site.list().RowCount(); ++p) {
    if (site.Online(p))
      handles.push_back(site.Handle(p));
  }
  auto sdk = MakeNetSdkTalkSdk();
  audio::BroadcastSession session(*sdk,
                                  {o.files, o.transport, o.codec, o.rate, std::max(1, o.loops)});
  site.checker().SetObserver([&](const QueuedSdkEvent& e) {
    if (e.record && e.kind == SdkEventKind::kStatus)
      session.OnStatusEvent(e.record->handle, e.record->code);
  });
  std::string error;
  if (handles.empty()) {
    std::cerr << "viduzaver-cli: no device is online\n";
  } else if (!session.Start(handles, &error)) {
    std::cerr << "viduzaver-cli: " << error << "\n";
    return kExitFailed;
  } else {
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    const bool tty = isatty(STDERR_FILENO);
    auto shown = Clock::now() - std::chrono::seconds(10);
    while (session.Poll() && !g_interrupted) {
      site.checker().Drain();
      if (Clock::now() - shown >=
          (tty ? std::chrono::milliseconds(250) : std::chrono::seconds(5))) {
        int joined = 0;
        for (int h : handles)
          joined += session.State(h) == audio::JoinState::kJoined ? 1 : 0;
        ShowProgress(session, o, joined, static_cast<int>(handles.size()), tty);
        shown = Clock::now();
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    session.Stop();
    if (tty)
      std::cerr << "\n";
    if (g_interrupted)
      std::cerr << "viduzaver-cli: broadcast stopped\n";
  }
  static const std::vector<RecordColumn> kColumns = {
      {"SERIAL", "serial"},
      {"IP", "ip"},
      {"OK", "ok", RecordColumn::Json::kYesNo},
      {"RESULT", "result"},
  };
  std::vector<RecordCells> records;
  int failed = 0;
  BatchCounts counts;
  for (int p = 0; p < site.list().RowCount(); ++p) {
    const bool online = site.Online(p);
    const audio::JoinState state = session.State(site.Handle(p));
    const bool ok = online && state == audio::JoinState::kJoined;
    // Another maker's device is skipped, not failed: it takes no talk of ours.
    const bool foreign = site.list().RowAt(p)->protocol != kProtocolOurs;
    failed += ok || foreign ? 0 : 1;
    CountOutcome(&counts, DeviceOutcome(online, ok));
    records.push_back({site.Serial(p), site.Ip(p), ok ? "yes" : "no",
                       DeviceResultText(*site.list().RowAt(p), audio::JoinStateName(state))});
  }
  PrintRecords(std::cout, kColumns, records, o.format,
               std::to_string(records.size()) + " device(s), " + std::to_string(failed) +
                   " failed\n" + BatchSummaryText(counts) + "\n");
  return failed > 0 ? kExitFailed : status;
}

// Waits for the first event the predicate accepts, handling all others as usual.
template <typename Accept>
bool WaitEvent(Site& site, std::chrono::milliseconds limit, Accept accept) {
  bool seen = false;
  site.checker().SetObserver([&](const QueuedSdkEvent& e) {
    if (e.record && accept(e))
      seen = true;
  });
  const auto deadline = Clock::now() + limit;
  while (!seen && Clock::now() < deadline && !g_interrupted) {
    site.checker().Drain();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  site.checker().SetObserver(nullptr);
  return seen;
}

// The device's stored files of one kind, page by page; false when a page never came.
bool ListFiles(Site& site, TalkSdk& sdk, int handle, bool mp3,
               std::vector<std::pair<std::string, std::string>>* files) {
  for (int page = 0; page < kMaxFileListPages; ++page) {
    std::string xml;
    const int rc = mp3 ? sdk.SearchOEMMp3File(handle, page)
                       : sdk.SystemControl(handle, proto::kCmdFileSearch,
                                           ("<REQUEST_PARAM SearchMode=\"0\" MediaType=\"OEMAPP\" "
                                            "Page=\"" +
                                            std::to_string(page) + "\" />\n")
                                               .c_str());
    if (rc != 0)
      return false;
    if (!WaitEvent(site, kPageLimit, [&](const QueuedSdkEvent& e) {
          if (e.kind != SdkEventKind::kAux || e.record->handle != handle ||
              e.record->code != proto::kCmdFileSearch)
            return false;
          xml = PayloadText(*e.record);
          return true;
        }))
      return false;
    tinyxml2::XMLDocument doc;
    if (doc.Parse(xml.c_str()) != tinyxml2::XML_SUCCESS || doc.RootElement() == nullptr)
      return false;
    int records = 0;
    for (auto* f = doc.RootElement()->FirstChildElement("RECORD_FILE"); f != nullptr;
         f = f->NextSiblingElement("RECORD_FILE")) {
      ++records;
      const char* path = f->Attribute("FilePath");
      const char* length = f->Attribute("FileLength");
      files->emplace_back(path ? path : "", length ? length : "");
    }
    if (records == 0)
      return true;
  }
  return true;
}

int RunAudioFiles(const TalkOptions& o, Site& site, int status) {
  auto sdk = MakeNetSdkTalkSdk();
  std::signal(SIGINT, OnInterrupt);
  static const std::vector<RecordColumn> kColumns = {
      {"SERIAL", "serial"}, {"IP", "ip"},     {"OK", "ok", RecordColumn::Json::kYesNo},
      {"RESULT", "result"}, {"FILE", "file"}, {"LENGTH", "length", RecordColumn::Json::kNumber},
  };
  std::vector<RecordCells> records;
  int failed = 0;
  // A device may have several lines (one per file): it failed when one of them did.
  std::vector<BatchDeviceOutcome> outcomes(static_cast<std::size_t>(site.list().RowCount()),
                                           BatchDeviceOutcome::kSucceeded);
  for (int p = 0; p < site.list().RowCount(); ++p) {
    const int handle = site.Handle(p);
    auto add = [&](bool ok, const std::string& result, const std::string& file = {},
                   const std::string& length = {}) {
      failed += ok ? 0 : 1;
      BatchDeviceOutcome& outcome = outcomes[static_cast<std::size_t>(p)];
      if (!site.Online(p))
        outcome = BatchDeviceOutcome::kSkipped;
      else if (!ok)
        outcome = BatchDeviceOutcome::kFailed;
      records.push_back({site.Serial(p), site.Ip(p), ok ? "yes" : "no", result, file,
                         length.empty() ? "0" : length});
    };
    if (!site.Online(p)) {
      add(false, "offline");
      continue;
    }
    if (o.action == "list") {
      std::vector<std::pair<std::string, std::string>> files;
      if (!ListFiles(site, *sdk, handle, !o.app, &files)) {
        add(false, "no file list");
      } else if (files.empty()) {
        add(true, "no files");
      } else {
        for (const auto& [path, length] : files)
          add(true, o.app ? "app" : "mp3", path, length);
      }
    } else if (o.action == "upload") {
      std::string result = "uploaded " + std::to_string(o.files.size()) + " file(s)";
      bool ok = true;
      for (const std::string& f : o.files) {
        std::cerr << site.Ip(p) << ": uploading " << f << "\n";
        // As the console routes them: .mp3 (any case) to the audio folder, the rest as APP.
        const int rc = IsMp3Name(f) ? sdk->UploadOEMMp3File(handle, f.c_str())
                                    : sdk->UploadOEMAppFile(handle, f.c_str());
        int ending = 0;
        if (rc == 0) {
          WaitEvent(site, kUploadLimit, [&](const QueuedSdkEvent& e) {
            if (e.kind != SdkEventKind::kStatus || e.record->handle != handle ||
                (e.record->code != proto::kEventFileUploadDone &&
                 e.record->code != proto::kEventFileUploadFailed))
              return false;
            ending = e.record->code;
            return true;
          });
        }
        if (ending != proto::kEventFileUploadDone) {
          ok = false;
          result = "upload of " + f +
                   (rc != 0       ? " not started"
                    : ending == 0 ? " timed out"
                                  : " refused");
          break;
        }
      }
      add(ok, result);
    } else if (o.action == "delete") {
      for (const std::string& f : o.files) {
        tinyxml2::XMLDocument doc;
        auto* root = doc.NewElement("REQUEST_PARAM");
        root->SetAttribute("FileName", f.c_str());
        doc.InsertEndChild(root);
        tinyxml2::XMLPrinter printer;
        doc.Print(&printer);
        const bool ok = sdk->SystemControl(handle, proto::kCmdFileDelete, printer.CStr()) == 0;
        add(ok, ok ? "deleted" : "delete refused", f);
      }
    } else if (o.action == "play") {
      const bool ok = sdk->PlayMp3File(handle, o.files.front().c_str(), 1) == 0;
      add(ok, ok ? "playing" : "play refused", o.files.front());
    } else {
      const bool ok = sdk->StopPlayMp3File(handle) == 0;
      add(ok, ok ? "stopped" : "stop refused");
    }
  }
  BatchCounts counts;
  for (BatchDeviceOutcome outcome : outcomes)
    CountOutcome(&counts, outcome);
  PrintRecords(std::cout, kColumns, records, o.format,
               std::to_string(site.list().RowCount()) + " device(s), " + std::to_string(failed) +
                   " failed\n" + BatchSummaryText(counts) + "\n");
  return failed > 0 ? kExitFailed : status;
}

}  // namespace

bool IsTalkCommand(const std::string& command) {
  return command == "broadcast" || command == "audio-files";
}

TalkOptions ParseTalkOptions(const std::vector<std::string>& args, std::string* error) {
  TalkOptions o;
  if (args.empty() || !IsTalkCommand(args[0])) {
    *error = "unknown command";
    return {};
  }
  o.command = args[0];
  std::size_t i = 1;
  const bool broadcast = o.command == "broadcast";
  if (!broadcast) {
    if (args.size() < 2 ||
        !ParseChoice(args[1], {"list", "upload", "delete", "play", "stop"}, &o.transport)) {
      *error = "audio-files needs list, upload, delete, play or stop";
      return {};
    }
    o.action = args[1];
    o.transport = 0;
    i = 2;
  }
  for (; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.rfind("--", 0) != 0) {
      // Broadcast files come first; a word naming a file or ending in .mp3 is one.
      if (broadcast && (IsMp3Name(a) || std::filesystem::is_regular_file(a)))
        o.files.push_back(a);
      else
        o.targets.push_back(a);
      continue;
    }
    if (a == "--all") {
      o.all = true;
      continue;
    }
    if (a == "--app" && o.action == "list") {
      o.app = true;
      continue;
    }
    const bool valued =
        a == "--seconds" || a == "--adapter" || a == "--format" ||
        (broadcast && (a == "--codec" || a == "--rate" || a == "--transport" || a == "--loop")) ||
        (a == "--file" && (o.action == "upload" || o.action == "delete" || o.action == "play"));
    if (!valued) {
      *error = "unknown option '" + a + "' for " + o.command;
      return {};
    }
    if (i + 1 >= args.size()) {
      *error = "option " + a + " needs a value";
      return {};
    }
    const std::string& v = args[++i];
    bool good = true;
    if (a == "--seconds") {
      good = ParseNumber(v, 1, 86400, &o.seconds);
    } else if (a == "--loop") {
      good = ParseNumber(v, 1, 100000, &o.loops);
    } else if (a == "--rate") {
      good = (v == "8000" || v == "16000" || v == "32000" || v == "48000") &&
             ParseNumber(v, 8000, 48000, &o.rate);
    } else if (a == "--codec") {
      good = ParseChoice(v, {"g711u", "aac", "pcm"}, &o.codec);
    } else if (a == "--transport") {
      good = ParseChoice(v, {"udp", "tcp", "multicast"}, &o.transport);
    } else if (a == "--adapter") {
      o.adapter = v;
    } else if (a == "--file") {
      o.files.push_back(v);
    } else if (v == "table" || v == "csv" || v == "json") {
      o.format = v == "table" ? OutputFormat::kTable
                 : v == "csv" ? OutputFormat::kCsv
                              : OutputFormat::kJson;
    } else {
      *error = "--format must be table, csv or json";
      return {};
    }
    if (!good) {
      *error = "bad value '" + v + "' for " + a;
      return {};
    }
  }
  if (broadcast && o.files.empty()) {
    *error = "broadcast needs at least one MP3 FILE";
    return {};
  }
  if ((o.action == "upload" || o.action == "delete" || o.action == "play") && o.files.empty()) {
    *error = "audio-files " + o.action + " needs --file";
    return {};
  }
  if (o.action == "play" && o.files.size() != 1) {
    *error = "audio-files play takes one --file";
    return {};
  }
  for (const std::string& f : o.files) {
    if ((broadcast || o.action == "upload") && !std::filesystem::is_regular_file(f)) {
      *error = "no such file: " + f;
      return {};
    }
  }
  if (o.targets.empty() && !o.all) {
    *error = o.command + " needs devices (serial numbers or addresses) or --all";
    return {};
  }
  return o;
}

int RunTalkCommand(const std::vector<std::string>& args) {
  std::string error;
  const TalkOptions o = ParseTalkOptions(args, &error);
  if (o.command.empty()) {
    std::cerr << "viduzaver-cli: " << error << "\n" << Usage();
    return kExitUsage;
  }
  if (o.command == "broadcast") {
    for (const std::string& file : o.files) {
      if (const auto unusable = NotPlayableMp3(file)) {
        std::cerr << "viduzaver-cli: " << *unusable << "\n";
        return kExitUsage;
      }
    }
  }
  int status = kExitOk;
  Site site;
  if (!site.Open(o, &status))
    return status;
  return o.command == "broadcast" ? RunBroadcast(o, site, status) : RunAudioFiles(o, site, status);
}

}  // namespace vdz::cli
