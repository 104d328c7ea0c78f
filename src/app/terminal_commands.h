// The window's terminal-service commands: batch terminal setting (16) with the intercom
// platform dialog, the service restart (1298), and the name and model of newly listed devices.
#pragma once

#include <memory>

#include "devops/key_parameter_requester.h"
#include "devops/terminal_batch.h"

class QWidget;

namespace vdz {

class CommandTable;
class SdkCallPool;

class TerminalCommands {
 public:
  TerminalCommands(DeviceJobRunner& jobs, DeviceListPort& list, Prompter& prompter,
                   SdkCallPool* pool, QWidget* parent,
                   std::unique_ptr<TerminalService> service = nullptr);

  void Register(CommandTable& table);
  KeyParameterRequester& KeyParameters() { return key_parameters_; }
  // Tests answer the dialog themselves.
  void SetDialogRunner(PlatformDialogRunner runner) { dialog_ = std::move(runner); }

 private:
  DeviceJobRunner& jobs_;
  DeviceListPort& list_;
  Prompter& prompter_;
  std::unique_ptr<TerminalService> service_;
  KeyParameterRequester key_parameters_;
  PlatformDialogRunner dialog_;
};

}  // namespace vdz
