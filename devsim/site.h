// Building a site of simulated devices: generated from a few options, or read from a site
// file of `generate`, `device`, `host`, `misbehave`, `sdk-misbehave` and `config` lines, and
// the ONVIF cameras' `onvif`, `generate-onvif` and `onvif-misbehave` lines.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "kv_line.h"
#include "onvif_camera.h"
#include "sim_device.h"

namespace vdz::devsim {

struct AddressGroup {
  uint32_t first_ip = 0;
  std::string iface;  // empty: the interface whose subnet holds first_ip, else the default one
};

struct GenerateOptions {
  int devices = 10;
  std::vector<AddressGroup> groups;  // devices are split evenly, the first groups get the rest
  std::string serial_prefix = "SIM";
  int start_index = 1;
  bool mixed_types = false;  // every fifth device has a type the registry must drop
  bool with_rk = false;
  int lumeriant_every = 3;  // every k-th device roots its answers in XML_LUMERIANT; 0: none
  std::string password = "admin";
  uint32_t mask = 0xffffff00u;
};

// Reads generate keys (devices, first-ip, serial-prefix, start-index, mixed-types, with-rk,
// lumeriant-every, password, mask). Keys not given keep their value in *opts.
bool ReadGenerateOptions(const KvLine& line, GenerateOptions* opts, std::string* error);

// The device with the given index as a generated site would have it at address ip.
SimDevice MakeDevice(int index, uint32_t ip, const GenerateOptions& opts, int64_t now_ms);

// Appends opts.devices devices. Addresses count up from each group's first address and
// skip host numbers 0, 1 and 255, reserved addresses and addresses already in *out.
bool GenerateDevices(const GenerateOptions& opts, const std::set<uint32_t>& reserved,
                     int64_t now_ms, std::vector<SimDevice>* out, std::string* error);

// Applies device keys (sn, ip, mask, gateway, dns1, dns2, dhcp, mac, type, osd, version,
// af-version, uuid, oem-sn, platform-id, p2p-id, p2p-type, p2p-status, runtime, user,
// password, sdk-password, video-port, ptz-port, web-port, auth, root, if, allnet, rk, rk-<field>).
// The result becomes the device's factory state as well.
bool ApplyDeviceKeys(const KvLine& line, int64_t now_ms, SimDevice* device, std::string* error);

// Misbehaviour words: none, twice, wrong-addr, malformed, noroot, oversize, omit-lan,
// omit-stream, omit-users, wrong-code[=TEXT],
// drop=SHARE, delay=MS; a word=0 form turns a switch off.
bool ApplyMisbehaviour(const KvLine& line, Misbehaviour* m, std::string* error);
std::string MisbehaviourText(const Misbehaviour& m);

struct SiteHost {
  uint32_t ip = 0;
  std::string iface;
};

struct SiteMisbehaviour {
  std::string target;  // a serial number or "all"
  KvLine modes;
};

struct SiteSdkMisbehaviour {
  std::string target;  // a serial number or "all"
  devserver::Misbehaviour mode = devserver::Misbehaviour::kNone;
};

struct Site {
  std::vector<SimDevice> devices;
  std::vector<SiteHost> hosts;
  std::vector<SiteMisbehaviour> misbehaviour;
  std::vector<SiteSdkMisbehaviour> sdk_misbehaviour;
  std::vector<KvLine> config;
  OnvifSiteLines onvif;
};

// Reads a whole site file; *error names the line of the first fault.
bool ReadSiteText(const std::string& text, const std::set<uint32_t>& reserved, int64_t now_ms,
                  Site* site, std::string* error);

}  // namespace vdz::devsim
