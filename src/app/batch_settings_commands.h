// The window's batch settings: the buttons, their pop-up menus, the dialogs and confirmations
// that come first, and the catalogue entry each one runs over the checked devices.
#pragma once

#include <QPoint>
#include <functional>
#include <memory>
#include <optional>

#include "devops/device_job_runner.h"
#include "devops/device_sdk.h"
#include "devops/onvif_actions.h"
#include "discovery/device_list_port.h"
#include "shell/prompter.h"

class QDialog;
class QMenu;
class QPushButton;
class QWidget;

namespace vdz {

class CommandTable;

class BatchSettingsCommands {
 public:
  // Runs a settings dialog modally; tests fill it and press its buttons instead.
  using DialogRunner = std::function<void(QDialog&)>;
  // Opens a pop-up menu at a screen position; tests look at it instead.
  using MenuRunner = std::function<void(QMenu&, const QPoint&)>;

  BatchSettingsCommands(DeviceJobRunner& jobs, DeviceSdk& sdk, DeviceListPort& list,
                        Prompter& prompter, QWidget* parent,
                        std::function<QPushButton*(int)> button);

  void Register(CommandTable& table);
  // Other makers' ONVIF devices take the commands their protocol has.
  void SetOnvifActions(std::optional<OnvifActions> actions) { onvif_ = std::move(actions); }
  void SetDialogRunner(DialogRunner runner) { dialog_runner_ = std::move(runner); }
  void SetMenuRunner(MenuRunner runner) { menu_runner_ = std::move(runner); }

  // The pop-up menu of a batch button (15, 1028, 1029, 1034 or 1035); null for another id.
  std::unique_ptr<QMenu> BuildMenu(int button_id);

 private:
  void ShowMenuAtButton(int button_id);
  void Run(QDialog& dialog);
  bool Checked();
  bool Confirmed(const char* key);
  void Title();
  void Password();
  void Platform();
  void EncodingDetails();
  void Image();
  void Motion();
  void Maintenance();
  void TimeConfig();

  DeviceJobRunner& jobs_;
  DeviceSdk& sdk_;
  DeviceListPort& list_;
  Prompter& prompter_;
  QWidget* parent_;
  std::function<QPushButton*(int)> button_;
  DialogRunner dialog_runner_;
  MenuRunner menu_runner_;
  CommandTable* table_ = nullptr;
  std::optional<OnvifActions> onvif_;
};

}  // namespace vdz
