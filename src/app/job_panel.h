// How the window shows device jobs without knowing what they do: "n of N" and the device being
// worked on in the status line, a Cancel button while any job runs, and the message when a
// command is refused because the same command still runs.
#pragma once

#include "devops/device_job_runner.h"
#include "shell/prompter.h"

class QLabel;
class QPushButton;

namespace vdz {

class CommandTable;

class JobPanel final : public JobObserver {
 public:
  JobPanel(DeviceJobRunner& jobs, Prompter& prompter, QLabel* status_line, QPushButton* cancel);
  ~JobPanel() override;
  JobPanel(const JobPanel&) = delete;
  JobPanel& operator=(const JobPanel&) = delete;

  void Register(CommandTable& table);
  // Cancels every job that runs.
  void CancelAll();

  void JobStarted(int job, const std::string& kind, int total) override;
  void JobProgressed(int job, const JobProgress& progress) override;
  void JobFinished(int job, const JobEnd& end) override;

 private:
  void ShowCancel();

  DeviceJobRunner& jobs_;
  QLabel* status_line_;
  QPushButton* cancel_;
};

}  // namespace vdz
