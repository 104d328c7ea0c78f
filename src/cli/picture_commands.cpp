#include "cli/picture_commands.h"

#include <png.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <thread>

#include "cli/cli_device_list.h"
#include "cli/cli_device_session.h"
#include "cli/cli_help.h"
#include "cli/cli_jobs.h"
#include "cli/cli_options.h"
#include "cli/cli_prompter.h"
#include "cli/device_search.h"
#include "cli/input_checks.h"
#include "cli/login_check.h"
#include "cli/record_printer.h"
#include "cli/sdk_event_queue.h"
#include "devops/batch_report.h"
#include "devops/batch_runner.h"
#include "devops/onvif_actions.h"
#include "devops/qr_symbol.h"
#include "devops/sdk_runtime.h"
#include "devops/snapshot_capture.h"
#include "protocol/protocol_numbers.h"
#include "shell/app_paths.h"
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
// Pixels per module in a saved symbol.
constexpr int kPngModulePixels = 8;

struct PictureOptions {
  std::string command;
  std::vector<std::string> targets;
  bool all = false;
  std::string dir;
  std::string out;
  int seconds = 0;
  std::string adapter;
  OutputFormat format = OutputFormat::kTable;
};

bool Parse(const std::vector<std::string>& args, PictureOptions* o, std::string* error) {
  o->command = args[0];
  const bool snapshot = o->command == "snapshot";
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.rfind("--", 0) != 0) {
      o->targets.push_back(a);
      continue;
    }
    if (a == "--all" && snapshot) {
      o->all = true;
      continue;
    }
    const bool valued = a == "--seconds" || a == "--adapter" || (a == "--format" && snapshot) ||
                        (a == "--dir" && snapshot) || (a == "--out" && !snapshot);
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
    } else if (a == "--dir") {
      o->dir = v;
    } else if (a == "--out") {
      o->out = v;
    } else if (!ParseOutputFormat(v, &o->format, error)) {
      return false;
    }
  }
  if (!snapshot && o->targets.size() != 1) {
    *error = "qr needs one device (serial number or address)";
    return false;
  }
  if (snapshot && o->targets.empty() && !o->all) {
    *error = "snapshot needs devices (serial numbers or addresses) or --all";
    return false;
  }
  return true;
}

bool WritePng(const std::string& path, const QrBitmap& bitmap) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr)
    return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  bool ok = png != nullptr && info != nullptr;
  if (ok && setjmp(png_jmpbuf(png)) == 0) {
    const int side = bitmap.side * kPngModulePixels;
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(side), static_cast<png_uint_32>(side), 8,
                 PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row(static_cast<std::size_t>(side));
    for (int y = 0; y < side; ++y) {
      for (int x = 0; x < side; ++x)
        row[static_cast<std::size_t>(x)] =
            bitmap.Dark(x / kPngModulePixels, y / kPngModulePixels) ? 0 : 255;
      png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
  } else {
    ok = false;
  }
  png_destroy_write_struct(png != nullptr ? &png : nullptr, info != nullptr ? &info : nullptr);
  return std::fclose(file) == 0 && ok;
}

// Two modules a line with half blocks; dark modules are the drawn ones, so the symbol reads
// as printed on a light terminal background (--out gives a picture for any other).
void PrintSymbol(const QrBitmap& b) {
  for (int y = 0; y < b.side; y += 2) {
    std::string line;
    for (int x = 0; x < b.side; ++x) {
      const bool top = b.Dark(x, y);
      const bool bottom = y + 1 < b.side && b.Dark(x, y + 1);
      line += top && bottom ? "\u2588" : top ? "\u2580" : bottom ? "\u2584" : " ";
    }
    std::cout << line << "\n";
  }
}

int RunQr(const PictureOptions& o, const DeviceRow& row) {
  const std::string id(FieldText(row.record.P2pId));
  QrBitmap bitmap;
  if (id.empty() || !EncodeQrBitmap(id, &bitmap)) {
    std::cerr << "viduzaver-cli: " << FieldText(row.record.Lan.IPAddress)
              << " has no P2P identifier\n";
    return kExitFailed;
  }
  if (!o.out.empty()) {
    if (!WritePng(o.out, bitmap)) {
      std::cerr << "viduzaver-cli: cannot write " << o.out << "\n";
      return kExitFailed;
    }
    std::cout << id << "  " << o.out << "\n";
    return kExitOk;
  }
  std::cout << id << "\n";
  PrintSymbol(bitmap);
  return kExitOk;
}

}  // namespace

bool IsPictureCommand(const std::string& command) {
  return command == "snapshot" || command == "qr";
}

int RunPictureCommand(const std::vector<std::string>& args) {
  PictureOptions o;
  std::string error;
  if (!Parse(args, &o, &error)) {
    std::cerr << "viduzaver-cli: " << error << "\n" << Usage();
    return kExitUsage;
  }
  const bool snapshot = o.command == "snapshot";
  const std::optional<std::string> unusable =
      snapshot ? FolderNotWritable(o.dir.empty() ? DefaultSnapshotFolder() : o.dir)
               : (o.out.empty() ? std::nullopt : FileNotWritable(o.out));
  if (unusable) {
    std::cerr << "viduzaver-cli: " << *unusable << "\n";
    return kExitUsage;
  }
  CliDeviceSession session;
  if (const int ready = session.Start(snapshot, o.seconds, o.adapter); ready != kExitOk)
    return ready;
  int status = session.SelectTargets(o.targets, o.all) ? kExitOk : kExitFailed;
  CliDeviceList& list = session.list();
  SdkEventQueue& queue = session.queue();
  if (!snapshot)
    return list.RowCount() >= 1 ? RunQr(o, *list.RowAt(0)) : kExitFailed;
  if (list.RowCount() == 0)
    return kExitFailed;

  auto sdk = MakeNetSdkDeviceSdk();
  CliPrompter prompter;
  CliJobs jobs;
  SnapshotCapture capture(jobs.runner(), *sdk, list, prompter,
                          o.dir.empty() ? DefaultSnapshotFolder() : o.dir);
  // Another maker's camera is asked by its own protocol: no login of ours, its picture is
  // saved within the job.
  capture.SetOnvifActions(OnvifActions(session.onvif()));
  std::map<int, std::string> expected;  // row -> local file being fetched
  LoginChecker checker(*sdk, queue, list);
  checker.SetObserver([&](const QueuedSdkEvent& e) {
    if (!e.record || e.kind != SdkEventKind::kStatus || e.record->code != proto::kEventAlarm)
      return;
    int32_t kind = 0;
    std::memcpy(&kind, e.record->payload + proto::kAlarmKindOffset, sizeof kind);
    const int position = FindRowByHandle(list, e.record->handle);
    DeviceRow* row = list.RowAt(position);
    if (kind != proto::kAlarmKindSnapshot || row == nullptr || !row->snapshot_pending)
      return;
    const char* path = e.record->payload + proto::kAlarmPathOffset;
    const std::string name = SnapshotLocalName(
        std::string(path, strnlen(path, sizeof e.record->payload - proto::kAlarmPathOffset)));
    capture.OnSnapshotEvent(position, *row, *e.record);
    if (list.StatusText(position) == LookupText(keys::FILEDOWNLOADDING)) {
      expected[position] = JoinPath(
          SnapshotDeviceFolder(capture.folder(), std::string(FieldText(row->record.Lan.IPAddress))),
          name);
    }
  });
  checker.LoginAll();
  checker.WaitSettled(std::chrono::seconds(10));
  capture.RequestChecked();
  // The requests' answers mark the rows that wait for a picture before any event is read.
  jobs.Wait();
  // Every request ends in a picture, a failure or the watch, which gives up after 5 to 10 s.
  std::map<int, std::string> result;
  const auto start = Clock::now();
  auto next_watch = start + std::chrono::milliseconds(kSnapshotWatchMs);
  auto settled = [&] {
    for (int p = 0; p < list.RowCount(); ++p) {
      const DeviceRow* row = list.RowAt(p);
      auto e = expected.find(p);
      if (row->snapshot_pending || (e != expected.end() && !std::filesystem::exists(e->second)))
        return false;
    }
    return true;
  };
  while (!settled() && Clock::now() - start < std::chrono::seconds(20)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    checker.Drain();
    if (Clock::now() >= next_watch) {
      capture.OnWatchTick();
      next_watch += std::chrono::milliseconds(kSnapshotWatchMs);
    }
  }
  static const std::vector<RecordColumn> kColumns = {{"SERIAL", "serial"},
                                                     {"IP", "ip"},
                                                     {"OK", "ok", RecordColumn::Json::kYesNo},
                                                     {"RESULT", "result"}};
  std::vector<RecordCells> records;
  int failed = 0;
  BatchCounts counts;
  for (int p = 0; p < list.RowCount(); ++p) {
    const DeviceRow* row = list.RowAt(p);
    const bool foreign = row->protocol != kProtocolOurs;
    const std::string ip(FieldText(row->record.Lan.IPAddress));
    auto saved = capture.saved().find(ip);
    std::string file;
    if (foreign && saved != capture.saved().end())
      file = saved->second;
    else if (auto e = expected.find(p); !foreign && e != expected.end())
      file = e->second;
    const bool ok = !file.empty() && std::filesystem::exists(file);
    const bool reached = foreign || row->online != 0;
    failed += ok ? 0 : 1;
    CountOutcome(&counts, DeviceOutcome(reached, ok));
    const std::string text = !reached ? std::string("offline") : ok ? file : list.StatusText(p);
    records.push_back(
        {AnsiToUtf8(FieldText(row->record.SerialNumber)), ip, ok ? "yes" : "no", text});
  }
  PrintRecords(std::cout, kColumns, records, o.format,
               std::to_string(records.size()) + " device(s), " + std::to_string(failed) +
                   " failed\n" + BatchSummaryText(counts) + "\n");
  return failed > 0 ? kExitFailed : status;
}

}  // namespace vdz::cli
