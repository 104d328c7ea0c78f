#include "cli/snapshot_command.h"

#include <QImage>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <thread>

#include "cli/cli_help.h"
#include "cli/cli_prompter.h"
#include "cli/device_search.h"
#include "cli/input_checks.h"
#include "devops/device_sdk.h"
#include "media/media_runtime.h"
#include "media/preview_controller.h"
#include "shell/bounded_text.h"
#include "shell/prompter.h"

namespace vdz::cli {

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
// The first pictures after a key frame can still be incomplete on a lossy link; a few more
// cost a fraction of a second.
constexpr int64_t kPicturesBeforeGrab = 3;

void LogStream(const char* line) {
  std::cerr << "viduzaver-cli: " << line << "\n";
}

bool ParseSeconds(const std::string& v, int* out) {
  char* end = nullptr;
  const long n = std::strtol(v.c_str(), &end, 10);
  if (v.empty() || *end != '\0' || n < 1 || n > 3600)
    return false;
  *out = static_cast<int>(n);
  return true;
}

// Waits for a decoded picture of the running preview and copies it out.
QImage GrabPicture(const MediaRuntime& media, const PreviewController& preview,
                   int timeout_seconds) {
  const auto deadline = Clock::now() + std::chrono::seconds(timeout_seconds);
  while (Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto picture = media.LastPicture(preview.State().player_port, kPicturesBeforeGrab);
    if (!picture)
      continue;
    // The picture's rows have no gaps; QImage rows are 32-bit aligned, so they match.
    return QImage(reinterpret_cast<const uchar*>(picture->pixels.data()), picture->width,
                  picture->height, QImage::Format_RGB32)
        .copy();
  }
  return {};
}

}  // namespace

bool IsSnapshotCommand(const std::string& command) {
  return command == "snapshot-stream";
}

SnapshotOptions ParseSnapshotOptions(const std::vector<std::string>& args, std::string* error) {
  SnapshotOptions o;
  std::vector<std::string> words;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.rfind("--", 0) != 0) {
      words.push_back(a);
      continue;
    }
    if (a != "--stream" && a != "--out" && a != "--seconds" && a != "--adapter" &&
        a != "--timeout") {
      *error = "unknown option '" + a + "' for snapshot-stream";
      return {};
    }
    if (i + 1 >= args.size()) {
      *error = "option " + a + " needs a value";
      return {};
    }
    const std::string& v = args[++i];
    if (a == "--stream") {
      if (v != "0" && v != "1") {
        *error = "--stream must be 0 (main) or 1 (sub)";
        return {};
      }
      o.stream = v == "1" ? 1 : 0;
    } else if (a == "--out") {
      o.out = v;
    } else if (a == "--adapter") {
      o.adapter = v;
    } else if (!ParseSeconds(v, a == "--seconds" ? &o.seconds : &o.timeout)) {
      *error = a + " needs a whole number of seconds (1-3600)";
      return {};
    }
  }
  if (words.size() != 1) {
    *error = "snapshot-stream needs exactly one device (serial number or address)";
    return {};
  }
  if (o.out.empty()) {
    *error = "snapshot-stream needs --out FILE.png";
    return {};
  }
  o.target = words.front();
  return o;
}

int RunSnapshotCommand(const std::vector<std::string>& args) {
  std::string error;
  const SnapshotOptions o = ParseSnapshotOptions(args, &error);
  if (o.target.empty()) {
    std::cerr << "viduzaver-cli: " << error << "\n" << Usage();
    return kExitUsage;
  }
  if (const auto unusable = FileNotWritable(o.out)) {
    std::cerr << "viduzaver-cli: " << *unusable << "\n";
    return kExitUsage;
  }
  const SearchOutcome found = SearchDevices({o.seconds, o.adapter}, &std::cerr);
  if (found.status != 0) {
    std::cerr << "viduzaver-cli: " << found.error << "\n";
    return found.status == 2 ? kExitUsage : kExitFailed;
  }
  const DeviceRow* device = FindDevice(found.rows, o.target);
  if (device == nullptr) {
    std::cout << o.target << "  not found\n";
    return kExitFailed;
  }

  CliPrompter prompter{false};
  auto sdk = MakeNetSdkDeviceSdk();
  QImage picture;
  {
    const std::unique_ptr<MediaRuntime> media = MediaRuntime::Start(LogStream);
    // No cell: the preview decodes on a port of its own without drawing.
    // Another maker's camera streams from the address its ONVIF profile names.
    PreviewController preview(*sdk, prompter,
                              {[](int) { return 0; }, nullptr, [] { return false; }, nullptr,
                               OnvifStreamAddresses(found.onvif)});
    if (preview.StartPreview(device, o.stream, 0) != 0) {
      std::cout << o.target << "  stream not opened\n";
      return kExitFailed;
    }
    std::cerr << "waiting for a picture of stream " << o.stream << " from "
              << FieldText(device->record.Lan.IPAddress) << "\n";
    picture = GrabPicture(*media, preview, o.timeout);
    preview.StopPreview();
  }
  if (picture.isNull()) {
    std::cout << o.target << "  no picture within " << o.timeout << " s\n";
    return kExitFailed;
  }
  if (!picture.save(QString::fromStdString(o.out), "PNG")) {
    std::cerr << "viduzaver-cli: could not write " << o.out << "\n";
    return kExitFailed;
  }
  std::cout << o.target << "  " << picture.width() << "x" << picture.height() << "  " << o.out
            << "\n";
  return kExitOk;
}

}  // namespace vdz::cli
