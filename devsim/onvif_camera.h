// One simulated ONVIF camera of another maker: its identity, network state, account and
// clock, how it misbehaves, and the site keys that describe it.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "kv_line.h"
#include "sim_device.h"

namespace vdz::devsim {

// The faults real cameras show, each one a site-file word.
struct OnvifMisbehaviour {
  bool soap11 = false;          // SOAP 1.1 envelopes only (text/xml), discovery included
  bool two_xaddrs = false;      // an IPv6 link-local XAddr without scope before the IPv4 one
  bool delay = false;           // a random 0-500 ms before each ProbeMatch
  bool duplicate = false;       // every ProbeMatch sent twice
  bool no_typeless = false;     // silent to a Probe without Types
  bool big_match = false;       // ProbeMatch over 1500 bytes (long Scopes)
  bool digest_only = false;     // refuses WS-UsernameToken, wants HTTP Digest
  int64_t clock_skew_s = 0;     // the camera's clock runs this far from true time
  bool wrong_password = false;  // its account password is not the site's

  bool operator==(const OnvifMisbehaviour&) const = default;
};

// The misbehaviour words, in the order a generated site spreads them over its cameras.
inline constexpr const char* kOnvifMisbehaviourWords[] = {
    "soap11",    "two-xaddrs",  "delay",           "duplicate",     "no-typeless",
    "big-match", "digest-only", "clock-skew=3600", "wrong-password"};

struct OnvifUser {
  std::string name;
  std::string password;
  std::string level = "Administrator";  // Administrator, Operator, User
};

struct OnvifCamera {
  std::string uuid;  // EndpointReference address is urn:uuid:<uuid>
  std::string maker, model, firmware, serial, mac, hardware_id;
  bool display = false;  // a NetworkVideoDisplay (decoder) rather than a transmitter
  std::string iface;
  int ifindex = 0;
  NetSettings net;
  uint32_t factory_ip = 0;
  int http_port = 80;
  int rtsp_port = 554;
  int main_width = 1920, main_height = 1080;
  int sub_width = 640, sub_height = 360;
  std::vector<OnvifUser> users;  // users[0] is the account the site knows
  OnvifMisbehaviour misbehave;

  // State the ONVIF calls change, shown by the control command.
  int64_t clock_adjust_ms = 0;       // added by SetSystemDateAndTime on top of the skew
  std::string time_mode = "Manual";  // Manual or NTP
  std::string time_zone = "UTC0";
  std::string last_time_set = "-";  // the UTC time last set, as the request gave it
  std::string ntp = "-";            // "dhcp" or the servers, comma separated
  int reboots = 0;
  int64_t down_until_ms = 0;  // rebooting: silent until then (monotonic)
  uint64_t metadata_version = 1;

  // The camera's own clock, UTC milliseconds, for a true wall clock of wall_ms.
  int64_t ClockMs(int64_t wall_ms) const {
    return wall_ms + misbehave.clock_skew_s * 1000 + clock_adjust_ms;
  }
  bool Rebooting(int64_t now_ms) const { return now_ms < down_until_ms; }
  std::string Address() const { return "urn:uuid:" + uuid; }
  std::string Ip() const { return Ipv4Text(net.ip); }
};

struct OnvifGenerateOptions {
  int cameras = 0;
  uint32_t first_ip = 0xC0A80196u;  // 192.168.1.150
  std::string iface;
  std::string serial_prefix = "ONV";
  std::string maker = "Nordlicht";
  std::string user = "admin";
  std::string password = "admin";
  // Cameras 1..9 each get one of kOnvifMisbehaviourWords, so one site shows every fault.
  bool spread = false;
  std::string misbehave;  // words every generated camera gets
};

// Reads generate-onvif keys (cameras, first-ip, serial-prefix, maker, user, password, spread,
// misbehave). Keys not given keep their value in *opts.
bool ReadOnvifGenerateOptions(const KvLine& line, OnvifGenerateOptions* opts, std::string* error);

// Camera k of a generated site at address ip.
OnvifCamera MakeOnvifCamera(int k, uint32_t ip, const OnvifGenerateOptions& opts);

// Appends opts.cameras cameras on free addresses counting up from opts.first_ip (host numbers
// 0, 1 and 255 and addresses in *taken skipped); their addresses are added to *taken.
bool GenerateOnvifCameras(const OnvifGenerateOptions& opts, std::set<uint32_t>* taken,
                          std::vector<OnvifCamera>* out, std::string* error);

// Applies the keys of an `onvif` line (ip, if, uuid, maker, model, firmware, serial, mac,
// hardware-id, kind, user, password, http-port, rtsp-port, main, sub, gateway, mask, misbehave).
// The site's default password is the one wrong-password departs from.
bool ApplyOnvifKeys(const KvLine& line, OnvifCamera* camera, std::string* error);

// Misbehaviour words (comma lists too): none, the words above, and word=0 to turn one off.
bool ApplyOnvifMisbehaviour(const std::vector<std::string>& words, OnvifMisbehaviour* m,
                            std::string* error);
std::string OnvifMisbehaviourText(const OnvifMisbehaviour& m);

// The ONVIF lines of a site file: `onvif KEYS`, `generate-onvif KEYS` and
// `onvif-misbehave SERIAL|all WORDS`.
struct OnvifSiteLines {
  std::vector<OnvifCamera> cameras;
  std::vector<std::pair<std::string, std::string>> misbehaviour;  // target, words
};
// `SERIAL|all WORDS...` of onvif-misbehave (a word may be key=value); checks the words.
bool OnvifMisbehaviourArgs(const KvLine& args, std::string* target, std::string* words,
                           std::string* error);
bool IsOnvifSiteVerb(const std::string& verb);
// Reads one such line; *taken holds the addresses already given (devices, reserved).
bool ReadOnvifSiteLine(const std::string& verb, const KvLine& rest, std::set<uint32_t>* taken,
                       OnvifSiteLines* out, std::string* error);

// The password a wrong-password camera really holds instead of the one the site gave.
std::string WrongPassword(const std::string& site_password);

}  // namespace vdz::devsim
