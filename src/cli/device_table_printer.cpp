#include "cli/device_table_printer.h"

#include "cli/record_printer.h"
#include "discovery/device_list_columns.h"
#include "discovery/foreign_device.h"
#include "discovery/running_time_text.h"
#include "shell/bounded_text.h"
#include "shell/text_codec.h"

namespace vdz::cli {

DeviceLine MakeDeviceLine(const DeviceRecord& record) {
  DeviceLine line;
  line.ip = FieldText(record.Lan.IPAddress);
  line.mac = FieldText(record.Lan.MacAddress);
  // Device texts are narrow text in the devices' code page; the terminal gets UTF-8.
  line.serial = AnsiToUtf8(FieldText(record.SerialNumber));
  line.type = AnsiToUtf8(FieldText(record.DeviceType));
  line.version = AnsiToUtf8(FieldText(record.Version));
  line.running_time = RunningTimeText(record.RunningTime);
  line.local_address = FieldText(record.LocalAddress);
  line.web_port = record.Stream.WEBPort;
  line.control_port = record.Stream.PTZPort;
  return line;
}

DeviceLine MakeDeviceLine(const DeviceRow& row) {
  DeviceLine line = MakeDeviceLine(row.record);
  line.protocol = ProtocolName(row.protocol);
  line.maker = FieldText(row.maker);
  return line;
}

void PrintDevices(std::ostream& out, const std::vector<DeviceLine>& devices, OutputFormat format) {
  using namespace device_columns;
  static const std::vector<RecordColumn> kColumns = {
      kIp,      kMac,         kSerial, kType,  kVersion,  kRunningTime, kLocalAddress,
      kWebPort, kControlPort, kName,   kModel, kProtocol, kMaker,
  };
  std::vector<RecordCells> records;
  records.reserve(devices.size());
  for (const DeviceLine& d : devices)
    records.push_back({d.ip, d.mac, d.serial, d.type, d.version, d.running_time, d.local_address,
                       std::to_string(d.web_port), std::to_string(d.control_port), d.name, d.model,
                       d.protocol.empty() ? "ours" : d.protocol, d.maker});
  PrintRecords(out, kColumns, records, format, std::to_string(devices.size()) + " device(s)\n");
}

}  // namespace vdz::cli
