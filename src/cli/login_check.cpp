#include "cli/login_check.h"

#include <algorithm>
#include <array>

#include "cli/device_table_printer.h"
#include "devops/device_login.h"
#include "shell/bounded_text.h"

namespace vdz::cli {

LoginChecker::LoginChecker(DeviceSdk& sdk, SdkEventQueue& queue, CliDeviceList& list)
    : sdk_(sdk), queue_(queue), list_(list), handler_(sdk, list) {}

void LoginChecker::Handle(const QueuedSdkEvent& event) {
  if (observer_)
    observer_(event);
  DispatchSdkEvent(handler_, event);
}

void LoginChecker::Drain() {
  while (auto event = queue_.Pop(std::chrono::milliseconds(0)))
    Handle(*event);
}

void LoginChecker::LoginAll() {
  for (int position = 0; position < list_.RowCount(); ++position) {
    DeviceRow* row = list_.RowAt(position);
    if (row == nullptr)
      continue;
    ApplyLoginResult(list_, position, LoginDevice(sdk_, row->record));
    Drain();
  }
}

bool LoginChecker::Settled() {
  for (int position = 0; position < list_.RowCount(); ++position) {
    const DeviceRow* row = list_.RowAt(position);
    if (row != nullptr && row->login_handle > 0 &&
        (!row->online || row->firmware_version[0] == '\0')) {
      return false;
    }
  }
  return true;
}

bool LoginChecker::WaitSettled(std::chrono::milliseconds limit) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + limit;
  Drain();
  while (!Settled()) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0)
      return false;
    if (auto event = queue_.Pop(std::min(left, std::chrono::milliseconds(100))))
      Handle(*event);
  }
  return true;
}

std::vector<LoginCheckLine> LoginChecker::Lines() {
  std::vector<LoginCheckLine> lines;
  for (int position = 0; position < list_.RowCount(); ++position) {
    const DeviceRow* row = list_.RowAt(position);
    if (row == nullptr)
      continue;
    LoginCheckLine line;
    line.ip = FieldText(row->record.Lan.IPAddress);
    line.serial = FieldText(row->record.SerialNumber);
    line.online = row->online != 0;
    line.text = row->firmware_version[0] != '\0' ? std::string(FieldText(row->firmware_version))
                                                 : list_.StatusText(position);
    lines.push_back(std::move(line));
  }
  return lines;
}

void PrintLoginCheck(std::ostream& out, const std::vector<LoginCheckLine>& lines,
                     OutputFormat format) {
  auto cells = [](const LoginCheckLine& l) -> std::array<std::string, 4> {
    return {l.ip, l.serial, l.online ? "yes" : "no", l.text};
  };
  int online = 0;
  for (const auto& l : lines)
    online += l.online ? 1 : 0;
  switch (format) {
    case OutputFormat::kCsv:
      out << "ip,serial,online,version_or_status\n";
      for (const auto& l : lines) {
        const auto c = cells(l);
        out << CsvField(c[0]) << "," << CsvField(c[1]) << "," << c[2] << "," << CsvField(c[3])
            << "\n";
      }
      break;
    case OutputFormat::kJson:
      out << "[";
      for (std::size_t n = 0; n < lines.size(); ++n) {
        const auto& l = lines[n];
        out << (n ? ",\n " : "\n ") << "{\"ip\": " << JsonString(l.ip)
            << ", \"serial\": " << JsonString(l.serial)
            << ", \"online\": " << (l.online ? "true" : "false")
            << ", \"version_or_status\": " << JsonString(l.text) << "}";
      }
      out << (lines.empty() ? "]\n" : "\n]\n");
      break;
    case OutputFormat::kTable: {
      const std::array<std::string, 4> heading = {"IP", "SERIAL", "ONLINE", "VERSION/STATUS"};
      std::array<std::size_t, 4> widths{};
      for (std::size_t i = 0; i < heading.size(); ++i)
        widths[i] = heading[i].size();
      for (const auto& l : lines) {
        const auto c = cells(l);
        for (std::size_t i = 0; i < c.size(); ++i)
          widths[i] = std::max(widths[i], c[i].size());
      }
      auto print_row = [&](const std::array<std::string, 4>& c) {
        for (std::size_t i = 0; i < c.size(); ++i) {
          out << c[i];
          if (i + 1 < c.size())
            out << std::string(widths[i] - c[i].size() + 2, ' ');
        }
        out << "\n";
      };
      print_row(heading);
      for (const auto& l : lines)
        print_row(cells(l));
      out << lines.size() << " device(s), " << online << " online\n";
      break;
    }
  }
}

}  // namespace vdz::cli
