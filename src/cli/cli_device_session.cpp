#include "cli/cli_device_session.h"

#include <iostream>

#include "cli/device_search.h"
#include "shell/bounded_text.h"

namespace vdz::cli {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

}  // namespace

CliDeviceSession::~CliDeviceSession() {
  if (runtime_)
    runtime_->Unsubscribe(&queue_);
}

int CliDeviceSession::Start(bool with_sdk, int seconds, const std::string& adapter) {
  if (with_sdk) {
    int rc = 0;
    runtime_ = SdkRuntime::Start(&rc);
    if (!runtime_) {
      std::cerr << "viduzaver-cli: the device SDK could not be started (" << rc << ")\n";
      return kExitFailed;
    }
    runtime_->Subscribe(&queue_);
  }
  SearchOutcome found = SearchDevices({seconds, adapter}, &std::cerr);
  if (found.status != 0) {
    std::cerr << "viduzaver-cli: " << found.error << "\n";
    return found.status == 2 ? kExitUsage : kExitFailed;
  }
  found_ = std::move(found.rows);
  onvif_ = std::move(found.onvif);
  return kExitOk;
}

bool CliDeviceSession::SelectTargets(const std::vector<std::string>& targets, bool all) {
  std::vector<bool> named(targets.size(), false);
  for (const DeviceRow& row : found_) {
    bool checked = all;
    for (std::size_t t = 0; t < targets.size(); ++t) {
      if (targets[t] == FieldText(row.record.SerialNumber) ||
          targets[t] == FieldText(row.record.Lan.IPAddress)) {
        checked = true;
        named[t] = true;
      }
    }
    if (checked)
      list_.Add(row, true);
  }
  bool every_one = true;
  for (std::size_t t = 0; t < targets.size(); ++t) {
    if (!named[t]) {
      std::cout << targets[t] << "  not found\n";
      every_one = false;
    }
  }
  if (list_.RowCount() == 0) {
    std::cout << "no device found\n";
    return false;
  }
  return every_one;
}

}  // namespace vdz::cli
