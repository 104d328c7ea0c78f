// The window's batch report: every batch command opens a report around its run, its summary
// goes to the status line and the diagnostic log, and "Save report…" writes the last
// reports as CSV.
#pragma once

#include <QString>
#include <functional>
#include <string>

#include "app/command_table.h"
#include "devops/batch_report.h"
#include "discovery/device_list_port.h"
#include "shell/prompter.h"

class QLabel;
class QWidget;

namespace vdz {

class UpgradeEngine;

class BatchReportCommands {
 public:
  // A save-file dialog offering the suggested name; empty when cancelled. Tests bring
  // their own.
  using SaveChooser = std::function<QString(const QString& suggested)>;

  BatchReportCommands(DeviceListPort& list, Prompter& prompter, QWidget* parent,
                      QLabel* status_line);
  ~BatchReportCommands();
  BatchReportCommands(const BatchReportCommands&) = delete;
  BatchReportCommands& operator=(const BatchReportCommands&) = delete;

  // The save command, and the batch commands of the table wrapped in a report each.
  void Register(CommandTable& table);
  // Upgrades end device by device through events: the engine reports for itself.
  void Attach(UpgradeEngine& engine);
  void SetSaveChooser(SaveChooser chooser) { chooser_ = std::move(chooser); }

  BatchReportLog& log() { return log_; }
  const std::string& last_summary() const { return last_summary_; }

 private:
  void Around(int id, const CommandTable::Handler& handler);
  void Show(const std::string& command, const std::string& summary, const QString& own = {});
  void Save();

  DeviceListPort& list_;
  Prompter& prompter_;
  QWidget* parent_;
  QLabel* status_line_;
  BatchReportLog log_;
  SaveChooser chooser_;
  std::string last_summary_;
};

}  // namespace vdz
