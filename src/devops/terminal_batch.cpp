#include "devops/terminal_batch.h"

#include <memory>
#include <optional>

#include "shell/bounded_text.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"

namespace vdz {

namespace {

constexpr const char* kWriteJob = "terminal write";

BatchOperation ModifyOperation(TerminalService& service, const TerminalParameterSet& set,
                               std::optional<std::set<std::string>> names) {
  return BatchOperation{keys::MSGTIP40,
                        keys::MSGTIP43,
                        keys::MSGSUCTIP43,
                        [&service, set, names = std::move(names)](int, const DeviceRow& row) {
                          return service.ModifyPlatform(row.record, set, names ? &*names : nullptr);
                        },
                        {},
                        {}};
}

// The dialog over the set read (or the empty one), then the write to every checked row.
void AskAndWrite(DeviceJobRunner& jobs, TerminalService& service, DeviceListPort& list,
                 const PlatformDialogRunner& dialog, TerminalBatchOutcome outcome,
                 TerminalParameterSet set, const TerminalBatchDone& done) {
  if (!dialog || !dialog(&set, outcome.checked) ||
      StartBatch(jobs, list, kWriteJob, ModifyOperation(service, set, std::nullopt),
                 [outcome, done](const BatchResult& written) mutable {
                   outcome.written = written;
                   if (done)
                     done(outcome);
                 }) == 0) {
    if (done)
      done(outcome);
  }
}

}  // namespace

bool BatchTerminalSetting(DeviceJobRunner& jobs, TerminalService& service, DeviceListPort& list,
                          Prompter& prompter, PlatformDialogRunner dialog, TerminalBatchDone done) {
  TerminalBatchOutcome outcome;
  outcome.checked = CountCheckedRows(list, prompter);
  if (outcome.checked < 1 || !jobs.Admit(kWriteJob))
    return false;
  if (outcome.checked != 1) {
    AskAndWrite(jobs, service, list, dialog, outcome, {}, done);
    return true;
  }
  int position = 0;
  while (!list.IsChecked(position) || list.RowAt(position) == nullptr)
    ++position;
  const DeviceRow& row = *list.RowAt(position);
  // The read holds a silent terminal for its time-outs: a job, like every device call.
  auto read = std::make_shared<TerminalParameterSet>();
  auto ok = std::make_shared<bool>(false);
  DeviceTask task;
  task.device = std::string(FieldText(row.record.Lan.IPAddress));
  task.work = [&service, record = row.record, read] {
    return service.RequestPlatform(record, read.get());
  };
  task.done = [&list, ok, key = KeyOf(row)](int rc) {
    *ok = rc == kTerminalOk;
    const int at = Relocate(list, key);
    if (at >= 0)
      list.SetStatusText(at, LookupText(*ok ? keys::MSGSUCTIP43 : keys::MSGTIP43));
  };
  std::vector<DeviceTask> tasks;
  tasks.push_back(std::move(task));
  return jobs.Start("terminal read", std::move(tasks),
                    [&jobs, &service, &list, dialog = std::move(dialog), outcome, read, ok,
                     done = std::move(done)](const JobEnd& end) mutable {
                      if (end.cancelled && end.done == 0) {
                        if (done)
                          done(outcome);
                        return;
                      }
                      outcome.read = *ok;
                      AskAndWrite(jobs, service, list, dialog, outcome, *read, done);
                    }) != 0;
}

int WriteTerminalAttributes(DeviceJobRunner& jobs, TerminalService& service, DeviceListPort& list,
                            const TerminalParameterSet& set, const std::set<std::string>& names,
                            BatchDone done) {
  return StartBatch(jobs, list, kWriteJob, ModifyOperation(service, set, names), std::move(done));
}

bool RestartTerminalServiceOfChecked(DeviceJobRunner& jobs, TerminalService& service,
                                     DeviceListPort& list, Prompter& prompter, BatchDone done) {
  if (CountCheckedRows(list, prompter) < 1)
    return false;
  if (!prompter.AskYesNo(LookupText(keys::REBOOT_TERM_SERVICE_CONFIRM),
                         LookupText(keys::REBOOT_TERM_SERVICE)))
    return false;
  return StartBatch(jobs, list, "terminal restart",
                    BatchOperation{keys::MSGALMTIP2,
                                   keys::MSGALMTIP2,
                                   keys::MSGALMTIP3,
                                   [&service](int, const DeviceRow& row) {
                                     return service.RebootAlarmApp(row.record);
                                   },
                                   {},
                                   {}},
                    std::move(done)) != 0;
}

}  // namespace vdz
