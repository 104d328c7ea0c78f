// The search as the window runs it, driven by a one-second loop instead of timers 1000/1001.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "discovery/device_row.h"

namespace vdz::cli {

struct SearchRequest {
  int seconds = 0;      // 0: stop by itself like the window does
  std::string adapter;  // dotted address; empty: all adapters
};

struct SearchOutcome {
  int status = 0;  // 0 ran; 1 could not run; 2 no such adapter
  std::string error;
  std::vector<DeviceRow> rows;  // in the order the list shows them
};

// progress (may be null) receives the search's status text once a second.
SearchOutcome SearchDevices(const SearchRequest& request, std::ostream* progress);

// The row whose serial number or address is target, or null.
const DeviceRow* FindDevice(const std::vector<DeviceRow>& rows, const std::string& target);

}  // namespace vdz::cli
