// The window's batch report: every batch command opens a report around its run, its summary
// goes to the status line and the diagnostic log, and "Save report…" writes the last
// reports as CSV.
#pragma once

#include <QString>
#include <functional>
#include <map>
#include <string>

#include "app/command_table.h"
#include "devops/batch_report.h"
#include "devops/device_job_runner.h"
#include "discovery/device_list_port.h"
#include "shell/prompter.h"

class QLabel;
class QWidget;

namespace vdz {

class UpgradeEngine;

// Commands end when their jobs end: a report stays open until the last job the command (or
// one of its jobs' handlers) started has ended.
class BatchReportCommands final : public JobObserver {
 public:
  // A save-file dialog offering the suggested name; empty when cancelled. Tests bring
  // their own.
  using SaveChooser = std::function<QString(const QString& suggested)>;

  BatchReportCommands(DeviceJobRunner& jobs, DeviceListPort& list, Prompter& prompter,
                      QWidget* parent, QLabel* status_line);
  ~BatchReportCommands() override;
  BatchReportCommands(const BatchReportCommands&) = delete;
  BatchReportCommands& operator=(const BatchReportCommands&) = delete;

  // The save command, and the batch commands of the table wrapped in a report each.
  void Register(CommandTable& table);
  // Upgrades end device by device through events: the engine reports for itself.
  void Attach(UpgradeEngine& engine);
  void SetSaveChooser(SaveChooser chooser) { chooser_ = std::move(chooser); }

  BatchReportLog& log() { return log_; }
  const std::string& last_summary() const { return last_summary_; }

  void JobStarted(int job, const std::string& kind, int total) override;
  void JobFinishing(int job) override;
  void JobFinished(int job, const JobEnd& end) override;

 private:
  void Around(int id, const CommandTable::Handler& handler);
  void Show(const std::string& command, const std::string& summary, const QString& own = {});
  void Save();

  struct OpenCommand {
    std::string name;
    QString own;
    int jobs = 0;      // jobs of the command still running
    bool ran = false;  // its handler has returned
  };
  void EndIfDone(int batch);

  DeviceJobRunner& jobs_;
  DeviceListPort& list_;
  Prompter& prompter_;
  std::map<int, OpenCommand> open_;  // by batch number
  std::map<int, int> job_batch_;     // job -> batch
  int current_ = 0;                  // the batch whose code runs now
  QWidget* parent_;
  QLabel* status_line_;
  BatchReportLog log_;
  SaveChooser chooser_;
  std::string last_summary_;
};

}  // namespace vdz
