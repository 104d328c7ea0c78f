// The window's two terminal-service commands over the checked rows: the platform setting
// (read one device, edit, write to all) and the restart of the service.
#pragma once

#include <functional>
#include <set>
#include <string>

#include "devops/batch_runner.h"
#include "devops/terminal_service.h"
#include "shell/prompter.h"

namespace vdz {

// Runs the platform dialog on the set with the mode (the number of checked rows); true when
// the operator accepted, the set then holds the values to write.
using PlatformDialogRunner = std::function<bool(TerminalParameterSet* set, int mode)>;

struct TerminalBatchOutcome {
  int checked = 0;
  bool read = false;  // the one checked device's set was read
  BatchResult written;
};

using TerminalBatchDone = std::function<void(const TerminalBatchOutcome&)>;

// With one device checked its set is read first (a job of its own); the dialog then opens on
// the owner's thread and the accepted set is written to every checked device as a job. done
// runs once all of it ended (also when the dialog was cancelled). False when nothing started.
bool BatchTerminalSetting(DeviceJobRunner& jobs, TerminalService& service, DeviceListPort& list,
                          Prompter& prompter, PlatformDialogRunner dialog,
                          TerminalBatchDone done = {});

// Only the named attributes of set go to every checked device (no dialog, no read).
int WriteTerminalAttributes(DeviceJobRunner& jobs, TerminalService& service, DeviceListPort& list,
                            const TerminalParameterSet& set, const std::set<std::string>& names,
                            BatchDone done = {});

// Asks first; false when nothing was checked or the operator said no.
bool RestartTerminalServiceOfChecked(DeviceJobRunner& jobs, TerminalService& service,
                                     DeviceListPort& list, Prompter& prompter, BatchDone done = {});

}  // namespace vdz
