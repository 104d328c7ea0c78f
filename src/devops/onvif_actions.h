// The batch commands other makers' ONVIF devices have too, through the identity and account
// their search found: each runs on a pool thread like a call of our library and gives 0 for
// success.
#pragma once

#include <memory>

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

 private:
  std::shared_ptr<onvif::OnvifSideSearch> side_;
};

}  // namespace vdz
