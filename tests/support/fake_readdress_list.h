// The device list as the network commands see it, in memory, for unit and lab tests.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "discovery/device_registry.h"
#include "discovery/device_row.h"
#include "discovery/readdress_commands.h"

namespace vdz::test {

// A device list whose row order is chosen by the test (as after sorting).
class FakeReaddressList : public ReaddressListPort {
 public:
  struct Entry {
    std::unique_ptr<DeviceRow> row = std::make_unique<DeviceRow>();
    bool checked = false;
    std::string address_cell;
  };
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
  void SetAddressText(int p, const std::string& text) override {
    entries[static_cast<std::size_t>(p)].address_cell = text;
  }
  std::vector<Entry> entries;
};

}  // namespace vdz::test
