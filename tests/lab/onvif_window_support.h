// The window on a site with other makers' ONVIF cameras: the account kept where an installer
// keeps it (the name in the settings, the password in a file only the user can read), a
// window closed before it goes, and the cameras' rows once they are identified.
#pragma once

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "discovery/device_row.h"
#include "lab/window_lab_support.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"
#include "ui/report_ctrl.h"

namespace vdz::lab {

class OnvifAccountEnvironment : public OffscreenWindowEnvironment {
 public:
  void SetUp() override {
    OffscreenWindowEnvironment::SetUp();
    const std::string dir = std::getenv("VDZ_CONFIG_DIR");
    std::ofstream(dir + "/QmDodEveva_cfg.ini")
        << "[SETTINGS]\nLanguage=English\n[ONVIF]\nUsers=admin\n";
    const std::string secrets = dir + "/onvif-secrets";
    std::ofstream(secrets) << "admin\tadmin\n";
    chmod(secrets.c_str(), 0600);
  }
};

// Whatever fails in a test, the window is closed before it goes, as an installer closes it.
struct CloseFirst {
  void operator()(CQmDadIvidudEvuzDlg* w) const {
    w->close();
    delete w;
  }
};
using ClosingWindow = std::unique_ptr<CQmDadIvidudEvuzDlg, CloseFirst>;
inline ClosingWindow Closing(std::unique_ptr<CQmDadIvidudEvuzDlg> w) {
  return ClosingWindow(w.release());
}

// The list's row showing this address, or -1.
inline int RowOfAddress(CReportCtrl& list, const std::string& ip) {
  for (int r = 0; r < list.GetItemCount(); ++r)
    if (list.GetItemText(r, kAddressColumn).toStdString() == ip)
      return r;
  return -1;
}

// Waits until at least ours of our devices are logged in and these cameras' rows are online.
inline bool WaitOursAndCameras(CReportCtrl& list, std::size_t ours,
                               const std::vector<std::string>& cameras, int limit_ms) {
  const QString online = QString::fromStdString(LookupText(keys::ONVIF_ONLINE));
  return WaitFor(
      [&] {
        std::size_t o = 0;
        for (int r = 0; r < list.GetItemCount(); ++r) {
          const auto* row = reinterpret_cast<const DeviceRow*>(list.GetItemData(r));
          o += row->protocol == kProtocolOurs && row->online && row->login_handle > 0 ? 1 : 0;
        }
        for (const std::string& ip : cameras) {
          const int r = RowOfAddress(list, ip);
          if (r < 0 || list.GetItemText(r, kStatusColumn) != online)
            return false;
        }
        return o >= ours;
      },
      limit_ms);
}

}  // namespace vdz::lab
