#include "cli/label_command.h"

#include <QGuiApplication>
#include <cstdlib>
#include <iostream>

#include "cli/device_search.h"
#include "cli/input_checks.h"
#include "media/label/label_print.h"
#include "shell/bounded_text.h"

namespace vdz::cli {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
// No screen to measure: the common desktop resolution, so the label matches a typical preview.
constexpr int kScreenDpi = 96;

bool IsValue(const std::vector<std::string>& args, std::size_t i) {
  return i < args.size() && args[i].rfind("--", 0) != 0;
}

}  // namespace

bool ParseLabelOptions(const std::vector<std::string>& args, LabelCommandOptions* o,
                       std::string* error) {
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.rfind("--", 0) != 0) {
      if (!o->target.empty()) {
        *error = "label takes one device";
        return false;
      }
      o->target = a;
    } else if (a == "--mac") {
      o->label.show_mac = true;
    } else if (a == "--sn") {
      o->label.show_sn = true;
    } else if (a == "--ip") {
      o->label.show_ip = true;
      if (IsValue(args, i + 1))
        o->label.ip = args[++i];
    } else if (a == "--account") {
      o->label.show_account = true;
      if (IsValue(args, i + 1)) {
        if (!IsValue(args, i + 2)) {
          *error = "--account takes a user and a password, or nothing";
          return false;
        }
        o->label.account = args[++i];
        o->label.password = args[++i];
      }
    } else if (a == "--model" || a == "--out" || a == "--seconds" || a == "--adapter") {
      if (i + 1 >= args.size()) {
        *error = "option " + a + " needs a value";
        return false;
      }
      const std::string& v = args[++i];
      if (a == "--model") {
        o->label.show_model = true;
        o->label.model = v;
      } else if (a == "--out") {
        o->out = v;
      } else if (a == "--adapter") {
        o->adapter = v;
      } else {
        char* end = nullptr;
        const long n = std::strtol(v.c_str(), &end, 10);
        if (end == v.c_str() || *end != '\0' || n < 0 || n > 3600) {
          *error = "--seconds needs a number from 0 to 3600";
          return false;
        }
        o->seconds = static_cast<int>(n);
      }
    } else {
      *error = "unknown option '" + a + "' for label";
      return false;
    }
  }
  if (o->target.empty() || o->out.empty()) {
    *error = "label needs SERIAL|IP and --out FILE.pdf";
    return false;
  }
  return true;
}

int RunLabelCommand(const std::vector<std::string>& args) {
  LabelCommandOptions o;
  std::string error;
  if (!ParseLabelOptions(args, &o, &error)) {
    std::cerr << "viduzaver-cli: " << error << "\n";
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
  // Fonts and the PDF writer need a GUI application, not a screen.
  if (std::getenv("QT_QPA_PLATFORM") == nullptr)
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  int argc = 1;
  char name[] = "viduzaver-cli";
  char* argv[] = {name, nullptr};
  QGuiApplication app(argc, argv);
  LabelLayout layout;
  const int rc = WriteLabelPdf(o.out, device->record, o.label, kScreenDpi, &layout);
  if (rc != 0) {
    std::cout << o.target << "  label not written (" << rc << ")\n";
    return kExitFailed;
  }
  std::cout << o.target << "  " << o.out << "  lines " << layout.lines << "  QR "
            << (layout.qr.isEmpty() ? "none" : std::to_string(layout.qr.width()) + " px") << "\n";
  return kExitOk;
}

}  // namespace vdz::cli
