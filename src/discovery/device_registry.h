// The devices found by the current search, keyed by serial number, up to 1000 slots.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "discovery/device_record.h"
#include "discovery/foreign_device.h"

namespace vdz {

class DeviceDocument;

class DeviceRegistry {
 public:
  static constexpr int kCapacity = 1000;

  DeviceRegistry();
  ~DeviceRegistry();
  DeviceRegistry(const DeviceRegistry&) = delete;
  DeviceRegistry& operator=(const DeviceRegistry&) = delete;

  void ClearRegistry();

  // Called on the discovery worker. 0 when a new record was appended; -1 when it updated a
  // known device or was dropped or refused.
  int AddDeviceAnswer(const char* text, int length, const char* local_address);
  // The same for an answer the worker has already parsed to classify it.
  int AddDeviceAnswer(const DeviceDocument& document, const char* local_address);

  // A device found by another protocol's search, keyed by that protocol's own name for it
  // (an ONVIF EndpointReference): appended, or its slot replaced. The slot, or -1 when full.
  int PutForeignDevice(const std::string& key, const DeviceRecord& record,
                       const ForeignDetails& details);
  // Protocol kProtocolOurs for our own devices and for a bad index.
  ForeignDetails Foreign(int index) const;

  // -1 when the index is not below the count, -2 when the destination is too small.
  int CopyRecord(int index, void* destination, std::size_t size) const;

  // -1 bad index, -2 short source; replaces the slot's record whole.
  int ReplaceRecord(int index, const void* record, std::size_t size);

  int GetDeviceCount() const;

  // Bumped on every append or replacement; lets an idle refresh skip copying.
  unsigned long Generation() const;

 private:
  mutable std::mutex mutex_;
  std::array<std::unique_ptr<DeviceRecord>, kCapacity> slots_;
  std::unordered_map<std::string, int> index_by_serial_;
  std::unordered_map<std::string, int> index_by_foreign_key_;
  std::unordered_map<int, ForeignDetails> foreign_;
  int count_ = 0;
  unsigned long generation_ = 0;
};

}  // namespace vdz
