// The device list as the device operations see it: rows in the order the list shows them,
// their check boxes and the two cells the operations write.
#pragma once

#include <string>

#include "discovery/device_row.h"

namespace vdz {

inline constexpr int kVersionColumn = 3;
inline constexpr int kStatusColumn = 4;

class DeviceListPort {
 public:
  virtual ~DeviceListPort() = default;
  virtual int RowCount() const = 0;
  // Rows by their current position in the list (which sorting may change).
  virtual DeviceRow* RowAt(int position) = 0;
  virtual bool IsChecked(int position) const = 0;
  // Both leave the cell alone when it already shows the text.
  virtual void SetStatusText(int position, const std::string& text) = 0;
  virtual void SetVersionText(int position, const std::string& text) = 0;
  // Where this row stands now, or -1 when it is no longer listed.
  virtual int PositionOf(const DeviceRow& row);
};

// Position of the row holding this login handle, or -1.
int FindRowByHandle(DeviceListPort& list, int handle);

}  // namespace vdz
