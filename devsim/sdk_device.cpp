#include "sdk_device.h"

#include <array>
#include <cstdlib>
#include <utility>

namespace vdz::devsim {

namespace {

using devserver::Misbehaviour;

constexpr std::array<std::pair<const char*, Misbehaviour>, 9> kModes = {{
    {"none", Misbehaviour::kNone},
    {"refuse-logins", Misbehaviour::kRefuseLogins},
    {"silent", Misbehaviour::kSilent},
    {"drop-line", Misbehaviour::kDropLine},
    {"garbage", Misbehaviour::kGarbage},
    {"huge-length", Misbehaviour::kHugeLength},
    {"close-mid-frame", Misbehaviour::kCloseMidFrame},
    {"hold-logins", Misbehaviour::kHoldLogins},
    {"mute-after-login", Misbehaviour::kMuteAfterLogin},
}};

constexpr std::array<std::pair<const char*, devserver::TransferFault>, 7> kTransferFaults = {{
    {"none", devserver::TransferFault::kNone},
    {"refuse-image", devserver::TransferFault::kRefuseImage},
    {"drop-mid-transfer", devserver::TransferFault::kDropMidTransfer},
    {"no-end", devserver::TransferFault::kNoEnd},
    {"stall", devserver::TransferFault::kStall},
    {"garbage-acks", devserver::TransferFault::kGarbageAcks},
    {"huge-file", devserver::TransferFault::kHugeFile},
}};

}  // namespace

bool ParseTransferFault(const std::string& word, devserver::TransferFault* f) {
  for (const auto& [name, fault] : kTransferFaults) {
    if (word == name) {
      *f = fault;
      return true;
    }
  }
  return false;
}

devserver::DeviceConfig SdkDeviceConfig(const SimDevice& d) {
  devserver::DeviceConfig c;
  c.address = Ipv4Text(d.net.ip);
  c.port = static_cast<std::uint16_t>(d.ptz_port);
  c.accounts.clear();
  for (std::size_t i = 0; i < d.accounts.size(); ++i) {
    const Account& a = d.accounts[i];
    if (a.user.empty())
      continue;
    const bool real_differs = i == 0 && !d.sdk_password.empty();
    c.accounts.push_back({a.user, real_differs ? d.sdk_password : a.password});
  }
  c.device_type = d.type;
  c.serial_number = d.serial;
  c.firmware_version = d.version;
  c.device_name = d.osd;
  c.reboot_ms = kSdkRebootHoldMs;
  // Talk recordings: one WAV per device and talk, where the lab run says.
  if (const char* folder = std::getenv("VDZ_TALK_DIR"); folder != nullptr && folder[0] != '\0')
    c.talk_folder = folder;
  return c;
}

bool ParseSdkMisbehaviour(const std::string& word, devserver::Misbehaviour* m) {
  for (const auto& [name, mode] : kModes) {
    if (word == name) {
      *m = mode;
      return true;
    }
  }
  return false;
}

const char* SdkMisbehaviourText(devserver::Misbehaviour m) {
  for (const auto& [name, mode] : kModes) {
    if (mode == m)
      return name;
  }
  return "none";
}

}  // namespace vdz::devsim
