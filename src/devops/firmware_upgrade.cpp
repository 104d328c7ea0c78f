#include "devops/firmware_upgrade.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "devops/batch_report.h"
#include "shell/bounded_text.h"
#include "shell/diag_log.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"

namespace vdz {

std::string FirmwareModel(std::string_view device_type) {
  std::string model(device_type);
  constexpr std::string_view kPrefix = "NVS-IPCAM-";
  for (std::size_t at = model.find(kPrefix); at != std::string::npos; at = model.find(kPrefix))
    model.erase(at, kPrefix.size());
  return model;
}

namespace {

// Images copied from FAT sticks and Windows shares keep no reliable letter case, and the
// maker's own tools matched names the Windows way: without regard to case.
std::string AsciiLower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

}  // namespace

std::string ChooseFirmwareImage(const std::string& folder, std::string_view model) {
  namespace fs = std::filesystem;
  const std::string prefix = AsciiLower("firmware_" + std::string(model));
  constexpr std::string_view kSuffix = ".bin";
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    const std::string lower = AsciiLower(name);
    if (lower.size() >= prefix.size() + kSuffix.size() && lower.starts_with(prefix) &&
        lower.ends_with(kSuffix)) {
      names.push_back(name);
    }
  }
  // Directory order differs between file systems; sorted, the same folder always gives the
  // same image.
  std::sort(names.begin(), names.end());
  const bool af_model = AsciiLower(model).find("_af") != std::string::npos;
  std::string chosen;
  for (const std::string& name : names) {
    // Only the file's own name counts: a folder called ..._AF must not hide every image.
    if (!af_model && AsciiLower(name).find("_af") != std::string::npos)
      continue;
    chosen = name;
  }
  return chosen.empty() ? std::string() : folder + "/" + chosen;
}

std::string UpgradeProgressText(int percent) {
  if (percent <= 0)
    return {};
  char text[256];
  std::snprintf(text, sizeof text, "%s: %02d%%", LookupText(keys::UPLOAD).c_str(),
                std::min(percent, 100));
  return text;
}

UpgradeEngine::UpgradeEngine(DeviceSdk& sdk, DeviceListPort& list, Prompter& prompter,
                             std::function<void(bool)> watch)
    : sdk_(sdk), list_(list), prompter_(prompter), watch_(std::move(watch)) {}

int UpgradeEngine::Upgrading() const {
  int n = 0;
  auto& list = const_cast<DeviceListPort&>(list_);
  for (int p = 0; p < list.RowCount(); ++p) {
    const DeviceRow* row = list.RowAt(p);
    n += row != nullptr && row->upgrading;
  }
  return n;
}

void UpgradeEngine::SetReport(BatchReportLog* report,
                              std::function<void(const std::string&)> on_summary) {
  report_ = report;
  on_summary_ = std::move(on_summary);
}

void UpgradeEngine::OpenReport(const char* caption_key) {
  if (report_ != nullptr)
    batch_ = report_->BeginDetached(LookupText(caption_key));
}

void UpgradeEngine::Note(int position, BatchDeviceOutcome outcome) {
  if (report_ != nullptr && batch_ != 0)
    report_->Record(batch_, list_, position, outcome);
}

void UpgradeEngine::CloseReport() {
  if (report_ == nullptr || batch_ == 0)
    return;
  const std::string summary = report_->End(batch_);
  batch_ = 0;
  if (!summary.empty() && on_summary_)
    on_summary_(summary);
}

void UpgradeEngine::OnUpgradeEnded(int position, DeviceRow&, bool succeeded) {
  Note(position, succeeded ? BatchDeviceOutcome::kSucceeded : BatchDeviceOutcome::kFailed);
}

bool UpgradeEngine::SkippedAsForeign(int position, const DeviceRow& row) {
  // Another maker's firmware goes through its own tools.
  if (row.protocol == kProtocolOurs)
    return false;
  list_.SetStatusText(position, LookupText(keys::NOT_SUPPORTED_BY_DEVICE));
  Note(position, BatchDeviceOutcome::kSkipped);
  return true;
}

void UpgradeEngine::StartOne(int position, DeviceRow& row, const std::string& path) {
  if (!row.online) {
    Note(position, BatchDeviceOutcome::kSkipped);
    return;
  }
  if (row.login_handle <= 0) {
    list_.SetStatusText(position, LookupText(keys::MSGTIP19));
    Note(position, BatchDeviceOutcome::kFailed);
    return;
  }
  // Paths go to the library as the file system names them (UTF-8 here); converting them to
  // the device code page would name another file.
  const int result = sdk_.Upgrade(row.login_handle, path.c_str());
  DiagLog("QM_NETSDK_IPC_Upgrade %s %d %s = %d\n",
          std::string(FieldText(row.record.SerialNumber)).c_str(), row.login_handle, path.c_str(),
          result);
  if (result != 0) {
    list_.SetStatusText(position, LookupText(keys::MSGTIP30));
    Note(position, BatchDeviceOutcome::kFailed);
    return;
  }
  row.upgrading = 1;
  list_.SetStatusText(position, LookupText(keys::MSGTIP29));
}

void UpgradeEngine::Started(int checked) {
  if (checked == 0) {
    prompter_.ShowError(LookupText(keys::MSGTIP24));
    CloseReport();
    return;
  }
  busy_ = true;
  if (watch_)
    watch_(true);
}

void UpgradeEngine::UpgradeFromFile(const std::string& path) {
  if (busy_) {
    prompter_.ShowError(LookupText(keys::MSGTIP37));
    return;
  }
  OpenReport(keys::BTNTEXT14);
  int checked = 0;
  for (int p = 0; p < list_.RowCount(); ++p) {
    DeviceRow* row = list_.RowAt(p);
    if (!list_.IsChecked(p) || row == nullptr)
      continue;
    ++checked;
    if (SkippedAsForeign(p, *row))
      continue;
    StartOne(p, *row, path);
  }
  Started(checked);
}

void UpgradeEngine::UpgradeFromFolder(const std::string& folder) {
  if (busy_) {
    prompter_.ShowError(LookupText(keys::MSGTIP37));
    return;
  }
  if (folder.empty()) {
    prompter_.ShowError(LookupText(keys::TEXT20));
    return;
  }
  OpenReport(keys::BTNTEXT13);
  int checked = 0;
  for (int p = 0; p < list_.RowCount(); ++p) {
    DeviceRow* row = list_.RowAt(p);
    if (!list_.IsChecked(p) || row == nullptr)
      continue;
    ++checked;
    if (SkippedAsForeign(p, *row))
      continue;
    if (row->firmware_version[0] == '\0') {
      list_.SetStatusText(p, LookupText(keys::MSGTIP28));
      Note(p, BatchDeviceOutcome::kFailed);
      continue;
    }
    const std::string model = FirmwareModel(row->record.DeviceType);
    const std::string image = ChooseFirmwareImage(folder, model);
    if (image.empty()) {
      list_.SetStatusText(p, LookupText(keys::MSGTIP27));
      Note(p, BatchDeviceOutcome::kFailed);
      continue;
    }
    StartOne(p, *row, image);
  }
  Started(checked);
}

void UpgradeEngine::OnWatchTick() {
  if (Upgrading() > 0)
    return;
  if (watch_)
    watch_(false);
  busy_ = false;
  CloseReport();
}

void UpgradeEngine::OnProgress(int position, DeviceRow& row) {
  const std::string text = UpgradeProgressText(sdk_.GetUpgradeProgress(row.login_handle));
  if (!text.empty())
    list_.SetStatusText(position, text);
}

}  // namespace vdz
