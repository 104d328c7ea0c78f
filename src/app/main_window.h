// The main window: device list, adapter selection, search, batch buttons, file rows and the
// video area.
#pragma once

#include <QDialog>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "app/command_table.h"
#include "devops/sdk_event.h"
#include "discovery/address_probe.h"
#include "discovery/assigned_address_table.h"
#include "discovery/device_registry.h"
#include "discovery/discovery_engine.h"
#include "discovery/local_interfaces.h"
#include "discovery/readdress_commands.h"
#include "discovery/search_session.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QStyle;

namespace vdz {
class CAudioPlayDlg;
class TalkSdk;

class CReportCtrl;
class CWndManager;
class DeviceListPresenter;
class DeviceSdk;
class Prompter;
class SdkEventBridge;
class SdkRuntime;
class LoginCoordinator;
class MediaRuntime;
namespace onvif {
class OnvifSideSearch;
}
class SdkCallPool;
class WindowThreadMailbox;
class SdkEventHandler;
class QrWebCommands;
class SnapshotCommands;
class TerminalCommands;
class UpgradeCommands;
class PreviewCommands;
class LabelCommands;
class ListExportCommands;
class RemoteConfigCommands;
class BatchSettingsCommands;
class BatchReportCommands;
class DeviceJobRunner;
class JobPanel;

struct MainWindowOptions {
  // Tests bring their own message boxes and SDK; the application uses the real ones.
  Prompter* prompter = nullptr;
  std::shared_ptr<DeviceSdk> sdk;
  std::shared_ptr<NetworkInfoSource> network;
  std::shared_ptr<AddressProber> prober;
  // Empty: the IP settings dialog itself.
  IpSettingDialog ip_dialog;
  // Empty: an input box. The ranges text as edited (from the settings file's), or nothing
  // when cancelled; the address typed, or nothing.
  std::function<std::optional<std::string>(const std::string& current)> ranges_dialog;
  // The ONVIF accounts editor's text (one "user password" or "user" per line); tests answer.
  std::function<std::optional<std::string>(const std::string& current)> accounts_dialog;
  std::function<std::optional<std::string>()> address_dialog;
};

class CQmDadIvidudEvuzDlg final : public QDialog {
  Q_OBJECT

 public:
  explicit CQmDadIvidudEvuzDlg(MainWindowOptions options = {}, QWidget* parent = nullptr);
  ~CQmDadIvidudEvuzDlg() override;

  // Runs the window's initialisation: captions, SDK, layout, the first search, adapters.
  void Initialise();

  // A command by its number, as a button or menu entry would run it.
  bool RunCommand(int id);

  // The context menu of the device list as it would open now (null without a selection).
  std::unique_ptr<QMenu> BuildContextMenu();

  // For tests and the screenshot mode.
  CReportCtrl* DeviceList() const { return list_; }
  QComboBox* AdapterList() const { return adapters_; }
  QLabel* StatusLine() const { return status_line_; }
  QLineEdit* FilterBox() const { return filter_; }
  QLabel* CountsLine() const { return counts_; }
  QPushButton* Button(int id) const;
  SearchSession& Session() { return *session_; }
  const CommandTable& Commands() const { return *commands_; }
  LabelCommands& Labels() { return *labels_; }
  RemoteConfigCommands& RemoteConfig() { return *remote_config_; }
  const DiscoveryEngine& Engine() const { return *engine_; }
  DeviceRegistry& Registry() { return *registry_; }
  UpgradeCommands& Upgrades() { return *upgrades_; }
  PreviewCommands& Preview() { return *preview_; }
  CWndManager* VideoGrid() const { return grid_; }
  QCheckBox* SoundBox() const { return preview_sound_; }
  QCheckBox* SwitchStreamBox() const { return switch_stream_; }
  BatchSettingsCommands& BatchSettings() { return *batch_settings_; }
  TerminalCommands& Terminal() { return *terminal_; }
  SnapshotCommands& Snapshots() { return *snapshots_; }
  QrWebCommands& QrWeb() { return *qr_web_; }
  BatchReportCommands& BatchReports() { return *batch_reports_; }
  QLabel* QrPanel() const { return qr_panel_; }
  ListExportCommands& ListExport() { return *list_export_; }
  DeviceJobRunner& Jobs() { return *jobs_; }

 Q_SIGNALS:
  // The auto-stop search that starts with the window has ended.
  void FirstSearchFinished();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void BuildControls();
  void BuildLayout();
  void Relabel();
  void RegisterCommands();
  void FillAdapterList();
  void OnAdapterChanged(int index);
  void OnSelectAll(bool checked);
  void ApplyFilter();
  void UpdateCounts();
  void OnRefreshTimer();
  void OnContextMenu(int row, const QPoint& global);
  void ShowBatchIpMenu();
  void BrowseFirmwareFolder();
  void ShowAbout();
  // The device-list row the single-device commands act on: the first selected one.
  int SelectedRow() const;
  void RegisterNetworkCommands();
  void RegisterSearchTargetCommands();
  // The settings file's ranges to the engine; false (and the error) when they do not parse.
  bool ApplySearchRanges(std::string* error);
  void EditSearchRanges();
  void AddByAddress();
  void EditOnvifAccounts();
  void StartSdkRuntime();
  void ShutDown();

  MainWindowOptions options_;
  std::unique_ptr<Prompter> own_prompter_;
  Prompter* prompter_ = nullptr;
  std::shared_ptr<DeviceSdk> sdk_;
  std::shared_ptr<NetworkInfoSource> network_;
  std::shared_ptr<DeviceRegistry> registry_;
  std::unique_ptr<DiscoveryEngine> engine_;
  std::unique_ptr<LocalParameterCache> params_;
  std::unique_ptr<DeviceListPresenter> presenter_;
  std::unique_ptr<SearchSession> session_;
  std::unique_ptr<SdkEventHandler> event_handler_;
  std::unique_ptr<WindowThreadMailbox> sdk_call_results_;  // outlives the pool's threads
  std::unique_ptr<SdkCallPool> sdk_calls_;
  // Every batch command's device work; stopped before the SDK and the rows go.
  std::unique_ptr<DeviceJobRunner> jobs_;
  std::unique_ptr<LoginCoordinator> logins_;
  std::unique_ptr<CommandTable> commands_;
  std::unique_ptr<SdkRuntime> sdk_runtime_;
  std::unique_ptr<MediaRuntime> media_;
  std::shared_ptr<onvif::OnvifSideSearch> onvif_;
  std::unique_ptr<LabelCommands> labels_;
  std::unique_ptr<RemoteConfigCommands> remote_config_;
  std::unique_ptr<UpgradeCommands> upgrades_;
  std::unique_ptr<TalkSdk> talk_sdk_;
  CAudioPlayDlg* console_ = nullptr;  // child window, hidden until button 1296
  std::unique_ptr<PreviewCommands> preview_;
  std::unique_ptr<BatchSettingsCommands> batch_settings_;
  std::unique_ptr<TerminalCommands> terminal_;
  std::unique_ptr<SnapshotCommands> snapshots_;
  std::unique_ptr<QrWebCommands> qr_web_;
  std::unique_ptr<ListExportCommands> list_export_;
  std::unique_ptr<BatchReportCommands> batch_reports_;
  std::unique_ptr<JobPanel> job_panel_;
  SdkEventBridge* sdk_events_ = nullptr;
  AssignedAddressTable assigned_;
  std::shared_ptr<AddressProber> prober_;
  std::unique_ptr<ReaddressContext> readdress_;

  CReportCtrl* list_ = nullptr;
  CWndManager* grid_ = nullptr;
  QComboBox* adapters_ = nullptr;
  QLabel* adapter_label_ = nullptr;
  QLabel* status_line_ = nullptr;
  QLabel* qr_panel_ = nullptr;
  QLineEdit* filter_ = nullptr;
  QLabel* counts_ = nullptr;
  QTimer counts_timer_;
  QCheckBox* select_all_ = nullptr;
  QCheckBox* preview_sound_ = nullptr;
  QCheckBox* switch_stream_ = nullptr;
  QLineEdit* firmware_file_ = nullptr;
  QLineEdit* config_file_ = nullptr;
  QLineEdit* firmware_folder_ = nullptr;
  std::map<int, QPushButton*> buttons_;
  std::unique_ptr<QStyle> tooltip_style_;

  QTimer refresh_timer_;
  QTimer request_timer_;
  QTimer upgrade_timer_;
  QTimer snapshot_timer_;
  // The adapter list's entry chosen last: the two command entries at its end go back to it.
  int adapter_index_ = 0;
  bool first_search_reported_ = false;
  bool shut_down_ = false;
};

}  // namespace vdz
