// The device list of the command-line tool: rows in the order they were found, every one
// checked unless a caller unticks it, and the cells the commands write.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "discovery/device_list_port.h"

namespace vdz::cli {

// The result cell of a device the command reached: reached_text. Of one it did not: "not
// supported by this device" for another maker's device (skipped, not failed), "offline" for
// one that never came online.
std::string DeviceResultText(const DeviceRow& row, const std::string& reached_text);

class CliDeviceList final : public DeviceListPort {
 public:
  // Returns the new row's position.
  int Add(const DeviceRow& row, bool checked = true);
  void SetChecked(int position, bool checked);

  int RowCount() const override { return static_cast<int>(rows_.size()); }
  DeviceRow* RowAt(int position) override;
  bool IsChecked(int position) const override;
  void SetStatusText(int position, const std::string& text) override;
  void SetVersionText(int position, const std::string& text) override;
  void SetAddressText(int position, const std::string& text) override;
  void SetTerminalText(int position, int column, const std::string& text) override;

  // Empty for a position outside the list.
  std::string StatusText(int position) const override;
  std::string VersionText(int position) const;
  std::string AddressText(int position) const;
  // The device name (column 1) and model (column 6) the terminal service reported.
  std::string TerminalText(int position, int column) const;
  // Cell writes that changed a text.
  int cell_changes() const { return cell_changes_; }

 private:
  struct Entry {
    std::unique_ptr<DeviceRow> row;
    bool checked = true;
    std::string status;
    std::string version;
    std::string address;
    std::string device_name;
    std::string model;
  };
  bool Valid(int position) const {
    return position >= 0 && position < static_cast<int>(rows_.size());
  }

  std::vector<Entry> rows_;
  int cell_changes_ = 0;
};

}  // namespace vdz::cli
