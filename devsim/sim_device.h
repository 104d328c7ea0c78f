// One simulated device: what it reports in a search answer, what it was shipped with,
// and how it misbehaves on request.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "device_config.h"

namespace vdz::devsim {

struct NetSettings {
  uint32_t ip = 0;  // host byte order throughout the simulator
  uint32_t mask = 0xffffff00u;
  uint32_t gateway = 0;
  uint32_t dns1 = 0;
  uint32_t dns2 = 0;
  bool dhcp = false;
};

// Seven SYSTEM fields in wire order; a device keeps each to 31 bytes like its own firmware.
inline constexpr std::array<const char*, 7> kRkFieldNames = {
    "DEVICETYPE", "EXTNUMBER", "MAINNUMBER", "EXTNAME", "ADDRESSBOXIP", "NOTES", "MANAGECENTER"};
inline constexpr std::size_t kRkFieldMax = 31;

struct RkSettings {
  bool present = false;
  std::array<std::string, 7> fields;
};

struct Account {
  std::string user;
  std::string password;
  std::string group = "Administrator";
  std::string status = "Enable";
};

// What a device does wrong when answering a search; all off by default.
struct Misbehaviour {
  double drop = 0.0;         // share of requests ignored, 0..1
  bool twice = false;        // every answer sent two times
  bool wrong_addr = false;   // answer sent from the segment's lab host address
  bool malformed = false;    // answer cut in the middle of an element
  bool noroot = false;       // body blocks without the root element around them
  bool oversize = false;     // a valid answer padded to kOversizeBytes
  std::string wrong_code;    // non-empty: Msg_code text used instead of "3"
  int delay_ms = 0;          // answer held back this long
  bool omit_lan = false;     // answer without its LANConfig block
  bool omit_stream = false;  // answer without MediaStreamConfig
  bool omit_users = false;   // answer without UserConfig

  bool Any() const {
    return drop > 0 || twice || wrong_addr || malformed || noroot || oversize ||
           !wrong_code.empty() || delay_ms > 0;
  }
};

inline constexpr std::size_t kOversizeBytes = 6000;

struct SimDevice {
  std::string serial;
  std::string mac;
  std::string type;  // DEVICE_TYPE DeviceType
  std::string osd;
  std::string version;
  std::string af_version;
  std::string uuid;
  std::string oem_sn;
  std::string platform_id;
  std::string p2p_id;
  std::string p2p_type;  // written only when non-empty, so readers infer it otherwise
  int p2p_status = -1;   // written only when >= 0
  int allnet = 1;
  bool lumeriant = false;  // answers rooted in XML_LUMERIANT instead of XML_VORTAN
  std::string iface;       // segment (interface in the device namespace) it is wired to
  int ifindex = 0;

  NetSettings net;
  NetSettings factory_net;
  RkSettings rk;
  RkSettings factory_rk;
  std::array<Account, 2> accounts;  // [0] admin, [1] a viewer account
  int auth = 1;
  int rtp_over_rtsp = 0;
  int video_port = 554;
  int ptz_port = 5000;
  int web_port = 80;

  // Running time: seconds at boot_ms, advancing with the monotonic clock.
  int64_t boot_ms = 0;          // monotonic ms at which runtime was 0
  int64_t silent_until_ms = 0;  // rebooting: ignores everything until then

  Misbehaviour misbehave;

  // The device's SDK server (control port): the admin password it really checks when that
  // differs from the one its answer reports, what it does wrong, its id in the host, and
  // whether its listener is closed for a reboot.
  std::string sdk_password;
  devserver::Misbehaviour sdk_misbehave = devserver::Misbehaviour::kNone;
  int sdk_id = 0;
  bool sdk_down = false;
  int sdk_reboots = 0;  // restarts through the SDK (reboot command or upgrade)

  int64_t RuntimeSeconds(int64_t now_ms) const {
    return now_ms > boot_ms ? (now_ms - boot_ms) / 1000 : 0;
  }
  bool Rebooting(int64_t now_ms) const { return now_ms < silent_until_ms; }
};

std::string Ipv4Text(uint32_t host_order);
bool ParseIpv4(const std::string& text, uint32_t* host_order);
// A unicast address a device may hold under its mask: not 0/8, 127/8, multicast, class E,
// and not the network or broadcast address of its own subnet.
bool UsableDeviceAddress(uint32_t ip, uint32_t mask);
// Mask with contiguous leading ones (0.0.0.0 is not a mask for a device).
bool ValidMask(uint32_t host_order);

}  // namespace vdz::devsim
