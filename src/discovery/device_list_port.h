// The device list as the commands see it: rows in the order the list shows them, their
// check boxes and the cells the commands write. The window, the command-line tool and the
// tests each have one; every command works on this one interface.
#pragma once

#include <string>

#include "discovery/device_row.h"

namespace vdz {

inline constexpr int kAddressColumn = 0;
inline constexpr int kDeviceNameColumn = 1;
inline constexpr int kMacColumn = 2;
inline constexpr int kVersionColumn = 3;
inline constexpr int kStatusColumn = 4;
inline constexpr int kModelColumn = 6;

// How one device's part in a batch ended: a device that never came online is skipped.
enum class BatchDeviceOutcome { kSucceeded, kFailed, kSkipped };

class DeviceListPort;

// Hears the end of each device's part in a batch (the batch report).
class BatchDeviceObserver {
 public:
  virtual ~BatchDeviceObserver() = default;
  // batch: the report the device belongs to, from OpenBatch() when its batch started; 0 for
  // the one open now.
  virtual void DeviceDone(DeviceListPort& list, int position, BatchDeviceOutcome outcome,
                          int batch) = 0;
  // The report open now, 0 when none: a batch whose devices end later keeps it.
  virtual int OpenBatch() const { return 0; }
};

class DeviceListPort {
 public:
  virtual ~DeviceListPort() = default;
  virtual int RowCount() const = 0;
  // Rows by their current position in the list (which sorting may change).
  virtual DeviceRow* RowAt(int position) = 0;
  virtual bool IsChecked(int position) const = 0;
  // Each leaves the cell alone when it already shows the text (UTF-8).
  virtual void SetStatusText(int position, const std::string& text) = 0;
  virtual void SetVersionText(int position, const std::string& text) = 0;
  virtual void SetAddressText(int position, const std::string& text) = 0;
  // The terminal service's device name and model cells.
  virtual void SetTerminalText(int position, int column, const std::string& text) = 0;
  // Where this row stands now, or -1 when it is no longer listed.
  virtual int PositionOf(const DeviceRow& row);
  // The status cell as shown (UTF-8); empty where the list keeps no text.
  virtual std::string StatusText(int position) const;

  void SetBatchObserver(BatchDeviceObserver* observer) { batch_observer_ = observer; }
  // Every batch calls this once per checked row it has finished with; batch as OpenBatch()
  // gave it when the batch started.
  void NoteBatchDevice(int position, BatchDeviceOutcome outcome, int batch = 0) {
    if (batch_observer_ != nullptr)
      batch_observer_->DeviceDone(*this, position, outcome, batch);
  }
  int OpenBatch() const { return batch_observer_ != nullptr ? batch_observer_->OpenBatch() : 0; }

 private:
  BatchDeviceObserver* batch_observer_ = nullptr;
};

}  // namespace vdz
