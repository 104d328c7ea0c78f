#include "app/terminal_commands.h"

#include "app/command_ids.h"
#include "app/command_table.h"
#include "devconfig/dialogs/dlg_rk_platform_setting.h"

namespace vdz {

namespace {

std::unique_ptr<TerminalService> OrSocketService(std::unique_ptr<TerminalService> service) {
  return service ? std::move(service) : std::make_unique<SocketTerminalService>();
}

}  // namespace

TerminalCommands::TerminalCommands(DeviceJobRunner& jobs, DeviceListPort& list, Prompter& prompter,
                                   SdkCallPool* pool, QWidget* parent,
                                   std::unique_ptr<TerminalService> service)
    : jobs_(jobs),
      list_(list),
      prompter_(prompter),
      service_(OrSocketService(std::move(service))),
      key_parameters_(*service_, list, pool),
      dialog_([parent](TerminalParameterSet* set, int mode) {
        DlgRkPlatformSetting dialog(parent);
        dialog.values = *set;
        dialog.Mode = mode;
        dialog.exec();
        if (dialog.cancelled)
          return false;
        *set = dialog.values;
        return true;
      }) {}

void TerminalCommands::Register(CommandTable& t) {
  t.Add(cmd::kBatchTerminal,
        [this] { BatchTerminalSetting(jobs_, *service_, list_, prompter_, dialog_); });
  t.Add(cmd::kRestartTerminalService,
        [this] { RestartTerminalServiceOfChecked(jobs_, *service_, list_, prompter_); });
}

}  // namespace vdz
