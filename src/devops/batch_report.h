// What each batch did, device by device, for the operator to read back or save: the last
// batches are kept, each with one entry per checked device and a one-line summary.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "discovery/device_list_port.h"

namespace vdz {

struct BatchCounts {
  int succeeded = 0;
  int failed = 0;
  int skipped = 0;
};

// A device that was not online was skipped; one that was, succeeded or failed.
BatchDeviceOutcome DeviceOutcome(bool online, bool ok);
void CountOutcome(BatchCounts* counts, BatchDeviceOutcome outcome);

// "n succeeded, n failed, n skipped" in the chosen language: the window and the CLI end
// their batches with it.
std::string BatchSummaryText(const BatchCounts& counts);

// "succeeded", "failed" or "skipped": the CSV's fixed word, the same in every language.
const char* BatchOutcomeWord(BatchDeviceOutcome outcome);

struct BatchDeviceEntry {
  std::string time;
  std::string address;
  std::string serial;  // UTF-8
  BatchDeviceOutcome outcome = BatchDeviceOutcome::kSkipped;
  std::string result;  // the status cell as shown when the device was done
  // The list row, to know the device again while its batch is open; never read through.
  const void* row = nullptr;
  // Where the row stood when its device ended: devices end in any order, the report keeps the
  // list's.
  int position = -1;
};

struct BatchReport {
  int number = 0;
  std::string command;
  std::string started;
  std::vector<BatchDeviceEntry> devices;

  BatchCounts Counts() const;
};

class BatchReportLog final : public BatchDeviceObserver {
 public:
  // The time text of an entry; local "YYYY-MM-DD HH:MM:SS" unless a test brings its own.
  using Clock = std::function<std::string()>;
  static constexpr std::size_t kKeptReports = 20;

  explicit BatchReportLog(Clock clock = {}, std::size_t kept = kKeptReports);

  // Opens a batch whose device results arrive through the list (NoteBatchDevice) while it
  // is open; batches do not nest, so a second Begin replaces the first as the one listening.
  int Begin(const std::string& command);
  // Opens a batch whose devices end later, one by one (an upgrade): results come through
  // Record only.
  int BeginDetached(const std::string& command);
  // The device at position, with its status cell as shown now. A row recorded twice in
  // one batch keeps one entry: the latest text, and the worse outcome (a failure is not
  // hidden by a later step that went through).
  void Record(int batch, DeviceListPort& list, int position, BatchDeviceOutcome outcome);
  // The open batch hears the devices that end from now on (its job's handler runs).
  void Attach(int batch) { listening_ = batch; }
  // The batch stays open for devices that end later (they name it), but no longer hears the
  // devices of whatever runs next.
  void Detach(int batch) {
    if (listening_ == batch)
      listening_ = 0;
  }
  // Closes the batch and returns its summary line; a batch that reached no device is
  // dropped and gives an empty line.
  std::string End(int batch);

  void DeviceDone(DeviceListPort& list, int position, BatchDeviceOutcome outcome,
                  int batch) override;
  int OpenBatch() const override { return listening_; }

  // Finished batches, oldest first.
  const std::deque<BatchReport>& Reports() const { return done_; }
  // batch,command,time,address,serial,outcome,result: a header and one line per device.
  std::string Csv() const;

 private:
  BatchReport* Open(int batch);

  Clock clock_;
  std::size_t kept_;
  int next_number_ = 1;
  int listening_ = 0;
  std::vector<BatchReport> open_;
  std::deque<BatchReport> done_;
};

}  // namespace vdz
