#include "discovery/device_registry.h"

#include <cstring>
#include <string_view>

#include "devconfig/config_block_readers.h"
#include "devconfig/device_document.h"
#include "devconfig/device_identity_reader.h"
#include "shell/bounded_text.h"
#include "shell/diag_log.h"

namespace vdz {

namespace {

// Device classes and families the tool manages; anything else on the segment is ignored.
constexpr const char* kDeviceClasses[] = {"NVS", "DVS", "DEC", "NVR"};
constexpr const char* kDeviceFamilies[] = {"RK", "_SIP", "AIO", "MCK2"};

template <std::size_t N>
bool ContainsAny(std::string_view text, const char* const (&needles)[N]) {
  for (const char* needle : needles) {
    if (text.find(needle) != std::string_view::npos)
      return true;
  }
  return false;
}

void CopyIdentity(const DeviceIdentity& id, DeviceRecord* record) {
  CopyBounded(record->SerialNumber, FieldText(id.SerialNumber));
  CopyBounded(record->PlatformId, FieldText(id.PLATFORMID));
  record->P2pType = id.P2PTYPE;
  CopyBounded(record->P2pId, FieldText(id.P2PID));
  CopyBounded(record->DeviceType, FieldText(id.DeviceType));
  CopyBounded(record->Osd, FieldText(id.OSD));
  CopyBounded(record->Version, FieldText(id.VERSION));
  CopyBounded(record->AfVersion, FieldText(id.AF_VERSION));
  CopyBounded(record->Uuid, FieldText(id.UUID));
  CopyBounded(record->OemSerialNumber, FieldText(id.OEM_SN));
  record->RunningTime = id.runtime;
  record->P2pStatus = id.P2PSTATUS;
}

}  // namespace

DeviceRegistry::DeviceRegistry() = default;
DeviceRegistry::~DeviceRegistry() = default;

void DeviceRegistry::ClearRegistry() {
  std::lock_guard lock(mutex_);
  for (int i = 0; i < count_; ++i)
    slots_[static_cast<std::size_t>(i)].reset();
  index_by_serial_.clear();
  index_by_foreign_key_.clear();
  foreign_.clear();
  count_ = 0;
  ++generation_;
}

int DeviceRegistry::AddDeviceAnswer(const char* text, int length, const char* local_address) {
  if (text == nullptr || length < 0)
    return 0;
  const std::size_t text_length =
      std::min<std::size_t>(static_cast<std::size_t>(length), std::strlen(text));
  const std::string cut(text, std::min<std::size_t>(text_length, kMaxAnswerText));
  const DeviceDocument document(cut.c_str());
  return AddDeviceAnswer(document, local_address);
}

int DeviceRegistry::AddDeviceAnswer(const DeviceDocument& document, const char* local_address) {
  const char* text = document.text();
  auto record = std::make_unique<DeviceRecord>(ZeroDeviceRecord());
  record->P2pStatus = -1;
  CopyBounded(record->AnswerText, document.text_view());

  DeviceIdentity identity{};
  identity.P2PSTATUS = -1;
  if (ReadDeviceIdentity(document, &identity) != 0) {
    DiagLog("serial number not found\n, msg=%s\n", text);
    return -1;
  }
  CopyIdentity(identity, record.get());

  const std::string_view type = FieldText(record->DeviceType);
  if (!ContainsAny(type, kDeviceClasses)) {
    DiagLog("Found one device not NVS or DVS, type=%s, sn=%s\n", record->DeviceType,
            record->SerialNumber);
    return -1;
  }
  if (!ContainsAny(type, kDeviceFamilies))
    return -1;

  ReadRkSystem(document, &record->RkSystem);  // optional block: stays zero when absent
  if (ReadLanConfig(document, &record->Lan) != 0) {
    DiagLog("lan config not found.\n");
    return -1;
  }
  if (ReadStreamAccess(document, &record->Stream) != 0) {
    DiagLog("stream config not found.\n");
    return -1;
  }
  if (ReadUserConfig(document, &record->Users) != 0) {
    DiagLog("user config not found.\n");
    return -1;
  }
  CopyBounded(record->LocalAddress, local_address ? local_address : "");

  std::string serial(FieldText(record->SerialNumber));
  std::lock_guard lock(mutex_);
  if (auto known = index_by_serial_.find(serial); known != index_by_serial_.end()) {
    slots_[static_cast<std::size_t>(known->second)] = std::move(record);
    ++generation_;
    return -1;
  }
  if (count_ < kCapacity) {
    DiagLog("found new entry, mac=[%s]\n", record->Lan.MacAddress);
    slots_[static_cast<std::size_t>(count_)] = std::move(record);
    index_by_serial_.emplace(std::move(serial), count_);
    ++count_;
    ++generation_;
    return 0;
  }
  DiagLog("found new entry, but ipc count exceed %d\n", kCapacity);
  return -1;
}

int DeviceRegistry::PutForeignDevice(const std::string& key, const DeviceRecord& record,
                                     const ForeignDetails& details) {
  std::lock_guard lock(mutex_);
  int index = -1;
  if (auto known = index_by_foreign_key_.find(key); known != index_by_foreign_key_.end()) {
    index = known->second;
  } else {
    if (count_ >= kCapacity)
      return -1;
    index = count_++;
    index_by_foreign_key_.emplace(key, index);
  }
  slots_[static_cast<std::size_t>(index)] = std::make_unique<DeviceRecord>(record);
  foreign_[index] = details;
  ++generation_;
  return index;
}

ForeignDetails DeviceRegistry::Foreign(int index) const {
  std::lock_guard lock(mutex_);
  auto it = foreign_.find(index);
  return it == foreign_.end() ? ForeignDetails{} : it->second;
}

int DeviceRegistry::CopyRecord(int index, void* destination, std::size_t size) const {
  std::lock_guard lock(mutex_);
  if (index < 0 || index >= count_)
    return -1;
  if (destination == nullptr || size < sizeof(DeviceRecord))
    return -2;
  std::memcpy(destination, slots_[static_cast<std::size_t>(index)].get(), sizeof(DeviceRecord));
  return 0;
}

int DeviceRegistry::ReplaceRecord(int index, const void* record, std::size_t size) {
  std::lock_guard lock(mutex_);
  if (index < 0 || index >= count_)
    return -1;
  if (record == nullptr || size < sizeof(DeviceRecord))
    return -2;
  auto& slot = slots_[static_cast<std::size_t>(index)];
  const std::string old_serial(FieldText(slot->SerialNumber));
  std::memcpy(slot.get(), record, sizeof(DeviceRecord));
  // The serial normally stays; if the caller changed it the lookup must follow.
  const std::string new_serial(FieldText(slot->SerialNumber));
  if (new_serial != old_serial) {
    if (auto it = index_by_serial_.find(old_serial);
        it != index_by_serial_.end() && it->second == index)
      index_by_serial_.erase(it);
    index_by_serial_.try_emplace(new_serial, index);
  }
  ++generation_;
  return 0;
}

int DeviceRegistry::GetDeviceCount() const {
  std::lock_guard lock(mutex_);
  return count_;
}

unsigned long DeviceRegistry::Generation() const {
  std::lock_guard lock(mutex_);
  return generation_;
}

}  // namespace vdz
