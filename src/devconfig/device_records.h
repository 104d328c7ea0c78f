// The configuration blocks a device reports, as flat records that are copied whole and
// compared byte for byte: no pointers, zero-filled, text cut to one less than its array.
#pragma once

#include <cstdint>
#include <type_traits>

namespace vdz {

struct LanConfigRecord {
  char MacAddress[18];
  int16_t DHCP;
  int16_t ALLNET;
  char IPAddress[64];
  char Netmask[64];
  char Gateway[64];
  char DNS1[64];
  char DNS2[64];
};

struct StreamAccessRecord {
  int32_t Auth;
  int32_t RTPOverRTSP;
  int32_t VideoPort;
  int32_t PTZPort;
  int32_t WEBPort;
};

struct UserAccount {
  char Username[40];
  char Password[40];
  char Group[32];
  char Status[8];
};

struct UserConfigRecord {
  int32_t Count;
  UserAccount Accounts[10];
};

struct RkSystemRecord {
  char DEVICETYPE[32];
  char EXTNUMBER[32];
  char MAINNUMBER[32];
  char EXTNAME[32];
  char ADDRESSBOXIP[32];
  char NOTES[32];
  char MANAGECENTER[32];
};

struct DeviceIdentity {
  char SerialNumber[32];
  char OEM_SN[32];
  char PLATFORMID[32];
  char VERSION[128];
  char AF_VERSION[128];
  int32_t P2PTYPE;
  char P2PID[128];
  char UUID[32];
  int32_t runtime;
  int32_t P2PSTATUS;
  char DeviceType[32];
  char OSD[256];
};

struct MessageHeader {
  char Msg_type[256];
  char Msg_code[256];
  char Msg_flag[256];
};

template <typename T>
inline constexpr bool kIsPlainRecord =
    std::is_trivially_copyable_v<T>&& std::is_standard_layout_v<T>;

static_assert(kIsPlainRecord<LanConfigRecord>);
static_assert(kIsPlainRecord<StreamAccessRecord>);
static_assert(kIsPlainRecord<UserAccount>);
static_assert(kIsPlainRecord<UserConfigRecord>);
static_assert(kIsPlainRecord<RkSystemRecord>);
static_assert(kIsPlainRecord<DeviceIdentity>);
static_assert(kIsPlainRecord<MessageHeader>);

}  // namespace vdz
