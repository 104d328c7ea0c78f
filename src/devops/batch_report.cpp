#include "devops/batch_report.h"

#include <algorithm>
#include <ctime>

#include "shell/bounded_text.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"
#include "shell/record_writer.h"
#include "shell/text_codec.h"

namespace vdz {

namespace {

std::string LocalTimeText() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

// Failed outranks succeeded, which outranks skipped.
int Weight(BatchDeviceOutcome outcome) {
  switch (outcome) {
    case BatchDeviceOutcome::kSkipped:
      return 0;
    case BatchDeviceOutcome::kSucceeded:
      return 1;
    case BatchDeviceOutcome::kFailed:
      break;
  }
  return 2;
}

}  // namespace

std::string BatchSummaryText(const BatchCounts& counts) {
  // Numbered places rather than a printf format: a translation may reorder them, and a
  // mistyped one in a language file cannot read past the arguments.
  std::string text = LookupText(keys::BATCH_SUMMARY);
  // Without a language file the line still has to say what happened.
  if (text.empty())
    text = "%1 succeeded, %2 failed, %3 skipped";
  const int values[] = {counts.succeeded, counts.failed, counts.skipped};
  for (int i = 0; i < 3; ++i) {
    const std::string place = "%" + std::to_string(i + 1);
    const std::size_t at = text.find(place);
    if (at != std::string::npos)
      text.replace(at, place.size(), std::to_string(values[i]));
  }
  return text;
}

const char* BatchOutcomeWord(BatchDeviceOutcome outcome) {
  switch (outcome) {
    case BatchDeviceOutcome::kSucceeded:
      return "succeeded";
    case BatchDeviceOutcome::kFailed:
      return "failed";
    case BatchDeviceOutcome::kSkipped:
      break;
  }
  return "skipped";
}

BatchDeviceOutcome DeviceOutcome(bool online, bool ok) {
  if (!online)
    return BatchDeviceOutcome::kSkipped;
  return ok ? BatchDeviceOutcome::kSucceeded : BatchDeviceOutcome::kFailed;
}

void CountOutcome(BatchCounts* counts, BatchDeviceOutcome outcome) {
  switch (outcome) {
    case BatchDeviceOutcome::kSucceeded:
      ++counts->succeeded;
      break;
    case BatchDeviceOutcome::kFailed:
      ++counts->failed;
      break;
    case BatchDeviceOutcome::kSkipped:
      ++counts->skipped;
      break;
  }
}

BatchCounts BatchReport::Counts() const {
  BatchCounts counts;
  for (const BatchDeviceEntry& device : devices)
    CountOutcome(&counts, device.outcome);
  return counts;
}

BatchReportLog::BatchReportLog(Clock clock, std::size_t kept)
    : clock_(clock ? std::move(clock) : Clock(LocalTimeText)),
      kept_(std::max<std::size_t>(kept, 1)) {}

int BatchReportLog::BeginDetached(const std::string& command) {
  BatchReport report;
  report.number = next_number_++;
  report.command = command;
  report.started = clock_();
  open_.push_back(std::move(report));
  return open_.back().number;
}

int BatchReportLog::Begin(const std::string& command) {
  listening_ = BeginDetached(command);
  return listening_;
}

BatchReport* BatchReportLog::Open(int batch) {
  for (BatchReport& report : open_) {
    if (report.number == batch)
      return &report;
  }
  return nullptr;
}

void BatchReportLog::Record(int batch, DeviceListPort& list, int position,
                            BatchDeviceOutcome outcome) {
  BatchReport* report = Open(batch);
  const DeviceRow* row = list.RowAt(position);
  if (report == nullptr || row == nullptr)
    return;
  BatchDeviceEntry entry;
  entry.time = clock_();
  entry.address = std::string(FieldText(row->record.Lan.IPAddress));
  entry.serial = AnsiToUtf8(FieldText(row->record.SerialNumber));
  entry.outcome = outcome;
  entry.result = list.StatusText(position);
  entry.row = row;
  entry.position = position;
  // The row, not the address, names the device: a batch may change addresses.
  auto same = std::find_if(report->devices.begin(), report->devices.end(),
                           [row](const BatchDeviceEntry& e) { return e.row == row; });
  if (same == report->devices.end()) {
    report->devices.push_back(std::move(entry));
    return;
  }
  if (Weight(same->outcome) > Weight(entry.outcome))
    entry.outcome = same->outcome;
  *same = std::move(entry);
}

std::string BatchReportLog::End(int batch) {
  if (listening_ == batch)
    listening_ = 0;
  auto it = std::find_if(open_.begin(), open_.end(),
                         [batch](const BatchReport& r) { return r.number == batch; });
  if (it == open_.end())
    return {};
  BatchReport report = std::move(*it);
  open_.erase(it);
  if (report.devices.empty())
    return {};
  std::stable_sort(
      report.devices.begin(), report.devices.end(),
      [](const BatchDeviceEntry& a, const BatchDeviceEntry& b) { return a.position < b.position; });
  const std::string summary = BatchSummaryText(report.Counts());
  done_.push_back(std::move(report));
  while (done_.size() > kept_)
    done_.pop_front();
  return summary;
}

void BatchReportLog::DeviceDone(DeviceListPort& list, int position, BatchDeviceOutcome outcome,
                                int batch) {
  if (batch == 0)
    batch = listening_;
  if (batch != 0)
    Record(batch, list, position, outcome);
}

std::string BatchReportLog::Csv() const {
  std::string out = "batch,command,time,address,serial,outcome,result\n";
  for (const BatchReport& report : done_) {
    for (const BatchDeviceEntry& d : report.devices) {
      out += std::to_string(report.number) + "," + CsvField(report.command) + "," +
             CsvField(d.time) + "," + CsvField(d.address) + "," + CsvField(d.serial) + "," +
             BatchOutcomeWord(d.outcome) + "," + CsvField(d.result) + "\n";
    }
  }
  return out;
}

}  // namespace vdz
