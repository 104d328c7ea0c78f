#include "devops/onvif_network_rows.h"

#include <utility>

#include "devops/batch_runner.h"
#include "shell/bounded_text.h"
#include "shell/language_keys.h"

namespace vdz {

ForeignRowsRunner OnvifNetworkRows(DeviceJobRunner& jobs, DeviceListPort& list,
                                   OnvifActions actions, ForeignRowReport report) {
  return [&jobs, &list, actions = std::move(actions), report = std::move(report)](
             ForeignRowCommand command, std::vector<int> positions, const IpSettingValues& values) {
    BatchOperation op;
    const bool reboot = command == ForeignRowCommand::kReboot;
    op.failure_key = reboot ? keys::MSGTIP35 : keys::IDS_STR_ZH_CN_SET_FAILED;
    op.success_key = reboot ? keys::RESTARTING : nullptr;
    op.foreign_call = [actions, reboot, values](int, const DeviceRow& row) {
      return reboot ? actions.Reboot(row) : actions.ChangeNetwork(row, values);
    };
    op.after = [&list, reboot, values, report](int position, DeviceRow& row, int result) {
      if (!reboot && result == 0) {
        CopyBounded(row.record.Lan.IPAddress, values.ip);
        CopyBounded(row.record.Lan.Netmask, values.netmask);
        CopyBounded(row.record.Lan.Gateway, values.gateway);
        row.record.Lan.DHCP = 0;
        list.SetAddressText(position, values.ip);
      }
      if (report)
        report(position, row, result);
    };
    StartBatchOnRows(jobs, list, reboot ? "ONVIF reboot" : "ONVIF address", positions,
                     std::move(op));
  };
}

}  // namespace vdz
