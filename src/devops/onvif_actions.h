// The batch commands other makers' ONVIF devices have too, through the identity and account
// their search found: each runs on a pool thread like a call of our library and gives 0 for
// success.
#pragma once

#include <memory>
#include <string>

#include "devconfig/ip_setting_rules.h"
#include "discovery/device_row.h"

namespace vdz {
namespace onvif {
class OnvifSideSearch;
}

class OnvifActions {
 public:
  explicit OnvifActions(std::shared_ptr<onvif::OnvifSideSearch> side) : side_(std::move(side)) {}

  // Sets the device clock to the workstation's (UTC).
  int SyncTime(const DeviceRow& row) const;
  int Reboot(const DeviceRow& row) const;
  // The device's clock follows this NTP server from now on.
  int SetNtp(const DeviceRow& row, const std::string& server) const;
  // A new password for the account the device was identified with; the tool goes on using it
  // for this device.
  int SetPassword(const DeviceRow& row, const std::string& password) const;
  // A fixed address, mask and gateway. Succeeds once the device answers at its new address
  // with the same serial number; its row then follows it there.
  int ChangeNetwork(const DeviceRow& row, const IpSettingValues& values) const;
  // Fetches the camera's snapshot (its GetSnapshotUri address, HTTP Digest with the account
  // that identified it) and saves it under folder/<address>; *saved receives the file.
  int Snapshot(const DeviceRow& row, const std::string& folder, std::string* saved) const;

 private:
  std::shared_ptr<onvif::OnvifSideSearch> side_;
};

}  // namespace vdz
