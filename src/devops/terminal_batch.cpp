#include "devops/terminal_batch.h"

#include "shell/language_keys.h"
#include "shell/language_table.h"

namespace vdz {

namespace {

BatchOperation ModifyOperation(TerminalService& service, const TerminalParameterSet& set,
                               const std::set<std::string>* names) {
  return BatchOperation{keys::MSGTIP40, keys::MSGTIP43, keys::MSGSUCTIP43,
                        [&service, &set, names](int, DeviceRow& row) {
                          return service.ModifyPlatform(row.record, set, names);
                        }};
}

}  // namespace

TerminalBatchOutcome BatchTerminalSetting(TerminalService& service, DeviceListPort& list,
                                          Prompter& prompter, const PlatformDialogRunner& dialog) {
  TerminalBatchOutcome outcome;
  outcome.checked = CountCheckedRows(list, prompter);
  if (outcome.checked < 1)
    return outcome;
  TerminalParameterSet set;
  if (outcome.checked == 1) {
    for (int position = 0; position < list.RowCount(); ++position) {
      DeviceRow* row = list.RowAt(position);
      if (!list.IsChecked(position) || row == nullptr)
        continue;
      outcome.read = service.RequestPlatform(row->record, &set) == kTerminalOk;
      list.SetStatusText(position, LookupText(outcome.read ? keys::MSGSUCTIP43 : keys::MSGTIP43));
      break;
    }
  }
  if (!dialog || !dialog(&set, outcome.checked))
    return outcome;
  outcome.written = RunBatch(list, ModifyOperation(service, set, nullptr));
  return outcome;
}

BatchResult WriteTerminalAttributes(TerminalService& service, DeviceListPort& list,
                                    const TerminalParameterSet& set,
                                    const std::set<std::string>& names) {
  return RunBatch(list, ModifyOperation(service, set, &names));
}

bool RestartTerminalServiceOfChecked(TerminalService& service, DeviceListPort& list,
                                     Prompter& prompter, BatchResult* result) {
  if (CountCheckedRows(list, prompter) < 1)
    return false;
  if (!prompter.AskYesNo(LookupText(keys::REBOOT_TERM_SERVICE_CONFIRM),
                         LookupText(keys::REBOOT_TERM_SERVICE)))
    return false;
  const BatchResult done = RunBatch(
      list, BatchOperation{
                keys::MSGALMTIP2, keys::MSGALMTIP2, keys::MSGALMTIP3,
                [&service](int, DeviceRow& row) { return service.RebootAlarmApp(row.record); }});
  if (result != nullptr)
    *result = done;
  return true;
}

}  // namespace vdz
