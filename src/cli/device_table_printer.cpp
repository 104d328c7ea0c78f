#include "cli/device_table_printer.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "discovery/running_time_text.h"
#include "shell/bounded_text.h"

namespace vdz::cli {

namespace {

constexpr std::array<const char*, 9> kHeadings = {"IP",      "MAC",   "SERIAL", "TYPE",   "VERSION",
                                                  "RUNNING", "LOCAL", "WEB",    "CONTROL"};

std::array<std::string, 9> Cells(const DeviceLine& d) {
  return {d.ip,
          d.mac,
          d.serial,
          d.type,
          d.version,
          d.running_time,
          d.local_address,
          std::to_string(d.web_port),
          std::to_string(d.control_port)};
}

}  // namespace

std::string CsvField(const std::string& value) {
  if (value.find_first_of(",\"\r\n") == std::string::npos)
    return value;
  std::string quoted = "\"";
  for (char c : value) {
    if (c == '"')
      quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string JsonString(const std::string& value) {
  std::string out = "\"";
  for (unsigned char c : value) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

DeviceLine MakeDeviceLine(const DeviceRecord& record) {
  DeviceLine line;
  line.ip = FieldText(record.Lan.IPAddress);
  line.mac = FieldText(record.Lan.MacAddress);
  line.serial = FieldText(record.SerialNumber);
  line.type = FieldText(record.DeviceType);
  line.version = FieldText(record.Version);
  line.running_time = RunningTimeText(record.RunningTime);
  line.local_address = FieldText(record.LocalAddress);
  line.web_port = record.Stream.WEBPort;
  line.control_port = record.Stream.PTZPort;
  return line;
}

void PrintDevices(std::ostream& out, const std::vector<DeviceLine>& devices, OutputFormat format) {
  switch (format) {
    case OutputFormat::kCsv: {
      out << "ip,mac,serial,type,version,running_time,local_address,web_port,control_port\n";
      for (const auto& d : devices) {
        const auto cells = Cells(d);
        for (std::size_t i = 0; i < cells.size(); ++i)
          out << (i ? "," : "") << CsvField(cells[i]);
        out << "\n";
      }
      break;
    }
    case OutputFormat::kJson: {
      out << "[";
      for (std::size_t n = 0; n < devices.size(); ++n) {
        const auto& d = devices[n];
        out << (n ? ",\n " : "\n ") << "{\"ip\": " << JsonString(d.ip)
            << ", \"mac\": " << JsonString(d.mac) << ", \"serial\": " << JsonString(d.serial)
            << ", \"type\": " << JsonString(d.type) << ", \"version\": " << JsonString(d.version)
            << ", \"running_time\": " << JsonString(d.running_time)
            << ", \"local_address\": " << JsonString(d.local_address)
            << ", \"web_port\": " << d.web_port << ", \"control_port\": " << d.control_port << "}";
      }
      out << (devices.empty() ? "]\n" : "\n]\n");
      break;
    }
    case OutputFormat::kTable: {
      std::array<std::size_t, 9> widths{};
      for (std::size_t i = 0; i < kHeadings.size(); ++i)
        widths[i] = std::string(kHeadings[i]).size();
      for (const auto& d : devices) {
        const auto cells = Cells(d);
        for (std::size_t i = 0; i < cells.size(); ++i)
          widths[i] = std::max(widths[i], cells[i].size());
      }
      auto print_row = [&](const std::array<std::string, 9>& cells) {
        for (std::size_t i = 0; i < cells.size(); ++i) {
          out << cells[i];
          if (i + 1 < cells.size())
            out << std::string(widths[i] - cells[i].size() + 2, ' ');
        }
        out << "\n";
      };
      std::array<std::string, 9> heading;
      for (std::size_t i = 0; i < kHeadings.size(); ++i)
        heading[i] = kHeadings[i];
      print_row(heading);
      for (const auto& d : devices)
        print_row(Cells(d));
      out << devices.size() << " device(s)\n";
      break;
    }
  }
}

}  // namespace vdz::cli
