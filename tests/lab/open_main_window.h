// The window as an installer starts it, with the test's prompter in place of message boxes.
#pragma once

#include <memory>

#include "app/main_window.h"
#include "devops/device_job_runner.h"
#include "lab/window_lab_support.h"
#include "ui/report_ctrl.h"

namespace vdz::lab {

inline std::unique_ptr<CQmDadIvidudEvuzDlg> OpenMainWindow(Prompter& prompter) {
  MainWindowOptions options;
  options.prompter = &prompter;
  auto window = std::make_unique<CQmDadIvidudEvuzDlg>(options);
  window->Initialise();
  window->show();
  return window;
}

// The first search listed n rows and every one of them knows its firmware version (is online).
inline bool WaitListedOnline(CQmDadIvidudEvuzDlg& window, int n, int limit_ms) {
  CReportCtrl* list = window.DeviceList();
  return WaitFor(
      [list, n] {
        if (list->GetItemCount() != n)
          return false;
        for (int r = 0; r < n; ++r) {
          if (list->GetItemText(r, kVersionColumn).isEmpty())
            return false;
        }
        return true;
      },
      limit_ms);
}

// A command as a click runs it, then the event loop until the device jobs it started ended.
inline bool RunToEnd(CQmDadIvidudEvuzDlg& window, int id, int limit_ms = 60000) {
  const bool known = window.RunCommand(id);
  EXPECT_TRUE(WaitFor([&window] { return !window.Jobs().Busy(); }, limit_ms)) << id;
  return known;
}

}  // namespace vdz::lab
