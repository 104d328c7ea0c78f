// One found device as last reported in a search answer: flat, pointer-free, copied whole.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "devconfig/device_records.h"

namespace vdz {

inline constexpr int kMaxAnswerText = 5119;

struct DeviceRecord {
  char SerialNumber[32];
  char PlatformId[32];
  int32_t P2pType;
  char P2pId[128];
  char DeviceType[32];
  UserConfigRecord Users;
  StreamAccessRecord Stream;
  LanConfigRecord Lan;
  RkSystemRecord RkSystem;
  int32_t RunningTime;
  int32_t P2pStatus;
  char LocalAddress[64];
  char Osd[256];
  char Version[128];
  char AfVersion[128];
  char Uuid[32];
  char OemSerialNumber[32];
  char AnswerText[kMaxAnswerText + 1];
};

static_assert(std::is_trivially_copyable_v<DeviceRecord>);
static_assert(std::is_standard_layout_v<DeviceRecord>);

// Every byte, padding included, starts as zero: records are compared as bytes.
inline DeviceRecord ZeroDeviceRecord() {
  DeviceRecord record;
  std::memset(&record, 0, sizeof record);
  return record;
}

}  // namespace vdz
