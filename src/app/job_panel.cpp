#include "app/job_panel.h"

#include <QLabel>
#include <QPushButton>

#include "app/command_ids.h"
#include "app/command_table.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"

namespace vdz {

JobPanel::JobPanel(DeviceJobRunner& jobs, Prompter& prompter, QLabel* status_line,
                   QPushButton* cancel)
    : jobs_(jobs), status_line_(status_line), cancel_(cancel) {
  jobs_.AddObserver(this);
  jobs_.SetRefusedHandler(
      [&prompter](const std::string&) { prompter.ShowError(LookupText(keys::JOB_BUSY)); });
  if (cancel_ != nullptr)
    cancel_->hide();
}

JobPanel::~JobPanel() {
  jobs_.RemoveObserver(this);
  jobs_.SetRefusedHandler({});
}

void JobPanel::Register(CommandTable& table) {
  table.Add(cmd::kCancelJobs, [this] { CancelAll(); });
}

void JobPanel::CancelAll() {
  for (const int job : jobs_.Jobs())
    jobs_.Cancel(job);
}

void JobPanel::ShowCancel() {
  if (cancel_ != nullptr)
    cancel_->setVisible(jobs_.Busy());
}

void JobPanel::JobStarted(int, const std::string&, int) {
  ShowCancel();
}

void JobPanel::JobProgressed(int, const JobProgress& progress) {
  if (status_line_ == nullptr)
    return;
  status_line_->setText(QString::fromStdString(LookupText(keys::JOB_PROGRESS))
                            .arg(progress.processed)
                            .arg(progress.total)
                            .arg(QString::fromStdString(progress.device)));
}

void JobPanel::JobFinished(int, const JobEnd&) {
  ShowCancel();
}

}  // namespace vdz
