#include "discovery/device_list_port.h"

namespace vdz {

int DeviceListPort::PositionOf(const DeviceRow& row) {
  const int rows = RowCount();
  for (int position = 0; position < rows; ++position) {
    if (RowAt(position) == &row)
      return position;
  }
  return -1;
}

std::string DeviceListPort::StatusText(int) const {
  return {};
}

}  // namespace vdz
