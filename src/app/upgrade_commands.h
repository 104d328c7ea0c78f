// The window's firmware and configuration commands: file and directory upgrade with the
// watch timer, the browse buttons of the file rows, configuration export, import, factory
// restore and the DANALE import.
#pragma once

#include <QString>
#include <functional>

#include "devops/device_job_runner.h"
#include "devops/device_sdk.h"
#include "devops/firmware_upgrade.h"
#include "discovery/device_list_port.h"
#include "shell/prompter.h"

class QLabel;
class QLineEdit;
class QTimer;
class QWidget;

namespace vdz {

class CommandTable;

struct UpgradeCommandWidgets {
  QWidget* parent = nullptr;
  QLineEdit* firmware_file = nullptr;    // 1048
  QLineEdit* config_file = nullptr;      // 1049
  QLineEdit* firmware_folder = nullptr;  // 1050
  QLabel* status_line = nullptr;
  QTimer* watch_timer = nullptr;  // 1002
};

class UpgradeCommands {
 public:
  // An open-file dialog: (default extension, filter in the "Text(*.x)|*.x|...||" form);
  // empty when cancelled. Tests bring their own.
  using FileChooser = std::function<QString(const QString& extension, const QString& filter)>;

  UpgradeCommands(DeviceJobRunner& jobs, DeviceSdk& sdk, DeviceListPort& list, Prompter& prompter,
                  UpgradeCommandWidgets widgets);

  void Register(CommandTable& table);
  // Status events 54 and 55 of a row.
  void OnProgress(int position, DeviceRow& row) { engine_.OnProgress(position, row); }
  void SetFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }
  // Where exports go; the per-user data folder unless a test says otherwise.
  void SetExportFolder(std::string folder) { export_folder_ = std::move(folder); }
  const std::string& export_folder() const { return export_folder_; }
  UpgradeEngine& engine() { return engine_; }

 private:
  QString Choose(const QString& extension, const QString& filter);
  void Export();

  DeviceJobRunner& jobs_;
  DeviceSdk& sdk_;
  DeviceListPort& list_;
  Prompter& prompter_;
  UpgradeCommandWidgets w_;
  UpgradeEngine engine_;
  FileChooser chooser_;
  std::string export_folder_;
};

}  // namespace vdz
