// The addresses handed to devices since the program started, so that a free-address search
// never offers one twice. Survives new searches; lives as long as the window.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>

namespace vdz {

// Written by re-addressing on the window's thread and by a free-address job on a pool thread.
class AssignedAddressTable {
 public:
  static constexpr int kSlots = 255;

  // Network-order address of strict dotted text; 0 for text that does not parse.
  static uint32_t Parse(const char* dotted);

  // Frees the first slot holding address; 0 is never looked for.
  void Remove(uint32_t address);
  // Stores into the first free slot. False when the table is full (nothing stored) or the
  // address is 0 or 255.255.255.255, which no device is handed.
  bool Add(uint32_t address);
  bool Contains(uint32_t address) const;
  int Count() const;
  uint32_t Slot(int index) const;  // 0 for a free slot or a bad index

 private:
  mutable std::mutex mutex_;
  std::array<uint32_t, kSlots> slots_{};
};

}  // namespace vdz
