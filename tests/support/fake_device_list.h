// An in-memory device list and SDK for command tests; the test chooses the row order (as after
// sorting).
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "devops/device_sdk.h"
#include "discovery/device_list_port.h"
#include "discovery/device_registry.h"
#include "shell/bounded_text.h"

namespace vdz::test {

class FakeDeviceList : public DeviceListPort {
 public:
  struct Entry {
    std::unique_ptr<DeviceRow> row = std::make_unique<DeviceRow>();
    bool checked = false;
    std::string status;
    std::string version;
    std::string address_cell;
    std::map<int, std::string> terminal_cells;
    int status_writes = 0;
  };

  DeviceRow& Add(int handle, bool online, bool checked, const char* ip = "192.168.1.10") {
    Entry entry;
    entry.row->login_handle = handle;
    entry.row->online = online ? 1 : 0;
    entry.checked = checked;
    CopyBounded(entry.row->record.Lan.IPAddress, ip);
    entries.push_back(std::move(entry));
    return *entries.back().row;
  }

  // A row for registry slot index, copied from the registry like the list refresh does.
  DeviceRow& Add(const DeviceRegistry& registry, int index, bool checked) {
    Entry entry;
    entry.row->registry_index = index;
    registry.CopyRecord(index, &entry.row->record, sizeof entry.row->record);
    entry.checked = checked;
    entries.push_back(std::move(entry));
    return *entries.back().row;
  }

  int RowCount() const override { return static_cast<int>(entries.size()); }
  DeviceRow* RowAt(int p) override {
    return p >= 0 && p < RowCount() ? entries[static_cast<std::size_t>(p)].row.get() : nullptr;
  }
  bool IsChecked(int p) const override {
    return p >= 0 && p < RowCount() && entries[static_cast<std::size_t>(p)].checked;
  }
  void SetStatusText(int p, const std::string& text) override {
    auto& e = entries[static_cast<std::size_t>(p)];
    if (e.status == text)
      return;
    e.status = text;
    ++e.status_writes;
  }
  std::string StatusText(int p) const override {
    return p >= 0 && p < RowCount() ? entries[static_cast<std::size_t>(p)].status : std::string();
  }
  void SetVersionText(int p, const std::string& text) override {
    entries[static_cast<std::size_t>(p)].version = text;
  }
  void SetAddressText(int p, const std::string& text) override {
    entries[static_cast<std::size_t>(p)].address_cell = text;
  }
  void SetTerminalText(int p, int column, const std::string& text) override {
    entries[static_cast<std::size_t>(p)].terminal_cells[column] = text;
  }

  std::vector<Entry> entries;
};

class FakeSdk : public DeviceSdk {
 public:
  int Login(const char* ip, uint16_t port, const char* user, const char* password) override {
    logins.push_back(std::string(ip) + ":" + std::to_string(port) + " " + user + "/" + password);
    if (!login_results.empty()) {
      const int result = login_results.front();
      login_results.pop_front();
      return result;
    }
    return next_login;
  }
  int SetAutoReconnect(int handle, int enable) override {
    reconnects.push_back({handle, enable});
    return 0;
  }
  int Logout(int handle) override {
    logouts.push_back(handle);
    return 0;
  }
  int SystemControl(int handle, int command, int, const char* parameter) override {
    controls.push_back(std::to_string(handle) + ":" + std::to_string(command) + ":" + parameter);
    return system_control_result;
  }
  int SetDVRConfig(int, int, int, const char*, int) override { return 0; }
  int GetDVRConfig(int, int, int) override { return 0; }
  int RebootDVR(int) override { return 0; }

  int next_login = 1;
  std::deque<int> login_results;  // taken first, one per login; then next_login
  int system_control_result = 0;
  std::vector<std::string> logins;
  std::vector<std::pair<int, int>> reconnects;
  std::vector<int> logouts;
  std::vector<std::string> controls;
};

}  // namespace vdz::test
