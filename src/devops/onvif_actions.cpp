#include "devops/onvif_actions.h"

#include <functional>

#include "onvif/onvif_side_search.h"
#include "shell/bounded_text.h"
#include "shell/diag_log.h"

namespace vdz {
namespace {

int Run(const std::shared_ptr<onvif::OnvifSideSearch>& side, const DeviceRow& row, const char* what,
        const std::function<onvif::OnvifResult(onvif::OnvifDeviceClient&)>& action) {
  const std::string ip(FieldText(row.record.Lan.IPAddress));
  const auto client = side ? side->ClientFor(ip) : std::nullopt;
  if (!client) {
    DiagLog("ONVIF %s %s: device not identified\n", what, ip.c_str());
    return -1;
  }
  onvif::OnvifDeviceClient c = *client;
  const onvif::OnvifResult result = action(c);
  DiagLog("ONVIF %s %s = %s\n", what, ip.c_str(), result.ok ? "ok" : result.error.c_str());
  return result.ok ? 0 : -1;
}

}  // namespace

int OnvifActions::SyncTime(const DeviceRow& row) const {
  return Run(side_, row, "SetSystemDateAndTime",
             [](onvif::OnvifDeviceClient& c) { return c.SetSystemDateAndTime(false); });
}

int OnvifActions::Reboot(const DeviceRow& row) const {
  return Run(side_, row, "SystemReboot",
             [](onvif::OnvifDeviceClient& c) { return c.SystemReboot(); });
}

}  // namespace vdz
