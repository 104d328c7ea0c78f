// Prints found devices as an aligned table, CSV or JSON.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/record_printer.h"
#include "discovery/device_row.h"

namespace vdz::cli {

struct DeviceLine {
  std::string ip, mac, serial, type, version, running_time, local_address;
  int web_port = 0;
  int control_port = 0;
  std::string name, model;  // from the terminal service, empty when it did not answer
  std::string protocol, maker;
};

DeviceLine MakeDeviceLine(const DeviceRecord& record);
// With the protocol and maker of another maker's device.
DeviceLine MakeDeviceLine(const DeviceRow& row);

void PrintDevices(std::ostream& out, const std::vector<DeviceLine>& devices, OutputFormat format);

}  // namespace vdz::cli
