#include "cli/login_check.h"

#include <algorithm>

#include "cli/record_printer.h"
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
  using Json = RecordColumn::Json;
  static const std::vector<RecordColumn> kColumns = {
      {"IP", "ip"},
      {"SERIAL", "serial"},
      {"ONLINE", "online", Json::kYesNo},
      {"VERSION/STATUS", "version_or_status"},
  };
  std::vector<RecordCells> records;
  records.reserve(lines.size());
  int online = 0;
  for (const LoginCheckLine& l : lines) {
    records.push_back({l.ip, l.serial, l.online ? "yes" : "no", l.text});
    online += l.online ? 1 : 0;
  }
  PrintRecords(
      out, kColumns, records, format,
      std::to_string(lines.size()) + " device(s), " + std::to_string(online) + " online\n");
}

}  // namespace vdz::cli
