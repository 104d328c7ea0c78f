#include "cli/login_check.h"

#include <algorithm>

#include "cli/record_printer.h"
#include "devops/device_login.h"
#include "shell/bounded_text.h"
#include "shell/text_codec.h"

namespace vdz::cli {

namespace {

SdkEventHooks PooledHooks(LoginCoordinator& logins) {
  SdkEventHooks hooks;
  logins.UsePoolFor(&hooks);
  return hooks;
}

}  // namespace

LoginChecker::LoginChecker(DeviceSdk& sdk, SdkEventQueue& queue, CliDeviceList& list)
    : queue_(queue),
      list_(list),
      pool_(
          [this](std::function<void()> done) {
            std::lock_guard lock(finished_mutex_);
            finished_.push_back(std::move(done));
          },
          kLoginThreads),
      logins_(sdk, list, &pool_),
      handler_(sdk, list, PooledHooks(logins_)) {
  logins_.SetEventHandler(&handler_);
}

void LoginChecker::Handle(const QueuedSdkEvent& event) {
  if (observer_)
    observer_(event);
  if (event.record)
    logins_.Dispatch(event.kind == SdkEventKind::kStatus, *event.record);
}

void LoginChecker::RunFinishedCalls() {
  for (;;) {
    std::function<void()> done;
    {
      std::lock_guard lock(finished_mutex_);
      if (finished_.empty())
        return;
      done = std::move(finished_.front());
      finished_.pop_front();
    }
    done();
  }
}

void LoginChecker::Drain() {
  RunFinishedCalls();
  while (auto event = queue_.Pop(std::chrono::milliseconds(0))) {
    Handle(*event);
    RunFinishedCalls();
  }
}

void LoginChecker::LoginAll() {
  for (int position = 0; position < list_.RowCount(); ++position) {
    DeviceRow* row = list_.RowAt(position);
    // Another maker's device answered its own protocol; our library has no login for it.
    if (row != nullptr && row->protocol == kProtocolOurs)
      logins_.StartLogin(*row, row->record);
  }
  Drain();
}

bool LoginChecker::Settled() {
  if (logins_.InFlight() > 0 || pool_.pending() > 0)
    return false;
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
    // Login results come through the pool, events through the queue: look at both often.
    if (auto event = queue_.Pop(std::min(left, std::chrono::milliseconds(2))))
      Handle(*event);
    Drain();
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
    line.serial = AnsiToUtf8(FieldText(row->record.SerialNumber));
    line.name = list_.TerminalText(position, kDeviceNameColumn);
    line.model = list_.TerminalText(position, kModelColumn);
    line.online = row->online != 0;
    // The cells hold UTF-8 already; the version cell is set once the device told it.
    const std::string version = list_.VersionText(position);
    line.text = !version.empty() ? version : list_.StatusText(position);
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
      {"NAME", "name"},
      {"MODEL", "model"},
  };
  std::vector<RecordCells> records;
  records.reserve(lines.size());
  int online = 0;
  for (const LoginCheckLine& l : lines) {
    records.push_back({l.ip, l.serial, l.online ? "yes" : "no", l.text, l.name, l.model});
    online += l.online ? 1 : 0;
  }
  PrintRecords(
      out, kColumns, records, format,
      std::to_string(lines.size()) + " device(s), " + std::to_string(online) + " online\n");
}

}  // namespace vdz::cli
