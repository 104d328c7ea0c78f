#include "cli/cli_device_list.h"

#include "shell/language_keys.h"
#include "shell/language_table.h"

namespace vdz::cli {

std::string DeviceResultText(const DeviceRow& row, const std::string& reached_text) {
  if (row.protocol != kProtocolOurs)
    return LookupText(keys::NOT_SUPPORTED_BY_DEVICE);
  return row.online != 0 ? reached_text : std::string("offline");
}

int CliDeviceList::Add(const DeviceRow& row, bool checked) {
  Entry entry;
  entry.row = std::make_unique<DeviceRow>(row);
  entry.checked = checked;
  rows_.push_back(std::move(entry));
  return static_cast<int>(rows_.size()) - 1;
}

void CliDeviceList::SetChecked(int position, bool checked) {
  if (Valid(position))
    rows_[static_cast<std::size_t>(position)].checked = checked;
}

DeviceRow* CliDeviceList::RowAt(int position) {
  return Valid(position) ? rows_[static_cast<std::size_t>(position)].row.get() : nullptr;
}

bool CliDeviceList::IsChecked(int position) const {
  return Valid(position) && rows_[static_cast<std::size_t>(position)].checked;
}

void CliDeviceList::SetStatusText(int position, const std::string& text) {
  if (!Valid(position))
    return;
  std::string& cell = rows_[static_cast<std::size_t>(position)].status;
  if (cell != text) {
    cell = text;
    ++cell_changes_;
  }
}

void CliDeviceList::SetVersionText(int position, const std::string& text) {
  if (!Valid(position))
    return;
  std::string& cell = rows_[static_cast<std::size_t>(position)].version;
  if (cell != text) {
    cell = text;
    ++cell_changes_;
  }
}

std::string CliDeviceList::StatusText(int position) const {
  return Valid(position) ? rows_[static_cast<std::size_t>(position)].status : std::string();
}

std::string CliDeviceList::VersionText(int position) const {
  return Valid(position) ? rows_[static_cast<std::size_t>(position)].version : std::string();
}

void CliDeviceList::SetAddressText(int position, const std::string& text) {
  if (!Valid(position))
    return;
  std::string& cell = rows_[static_cast<std::size_t>(position)].address;
  if (cell != text) {
    cell = text;
    ++cell_changes_;
  }
}

std::string CliDeviceList::AddressText(int position) const {
  return Valid(position) ? rows_[static_cast<std::size_t>(position)].address : std::string();
}

void CliDeviceList::SetTerminalText(int position, int column, const std::string& text) {
  if (!Valid(position))
    return;
  Entry& e = rows_[static_cast<std::size_t>(position)];
  std::string& cell = column == kModelColumn ? e.model : e.device_name;
  if (cell != text) {
    cell = text;
    ++cell_changes_;
  }
}

std::string CliDeviceList::TerminalText(int position, int column) const {
  if (!Valid(position))
    return {};
  const Entry& e = rows_[static_cast<std::size_t>(position)];
  return column == kModelColumn ? e.model : e.device_name;
}

}  // namespace vdz::cli
