#include "discovery/assigned_address_table.h"

#include <algorithm>

#include "devconfig/ipv4_text.h"

namespace vdz {

uint32_t AssignedAddressTable::Parse(const char* dotted) {
  return ParseIpv4NetworkOrder(dotted).value_or(0);
}

void AssignedAddressTable::Remove(uint32_t address) {
  std::lock_guard lock(mutex_);
  if (address == 0)
    return;
  auto it = std::find(slots_.begin(), slots_.end(), address);
  if (it != slots_.end())
    *it = 0;
}

bool AssignedAddressTable::Add(uint32_t address) {
  std::lock_guard lock(mutex_);
  if (address == 0 || address == 0xFFFFFFFFu)
    return false;
  auto it = std::find(slots_.begin(), slots_.end(), 0u);
  if (it == slots_.end())
    return false;
  *it = address;
  return true;
}

bool AssignedAddressTable::Contains(uint32_t address) const {
  std::lock_guard lock(mutex_);
  return address != 0 && std::find(slots_.begin(), slots_.end(), address) != slots_.end();
}

int AssignedAddressTable::Count() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(kSlots - std::count(slots_.begin(), slots_.end(), 0u));
}

uint32_t AssignedAddressTable::Slot(int index) const {
  std::lock_guard lock(mutex_);
  return index >= 0 && index < kSlots ? slots_[static_cast<std::size_t>(index)] : 0;
}

}  // namespace vdz
