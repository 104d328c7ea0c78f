#include "app/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <sstream>

#include "app/batch_report_commands.h"
#include "app/batch_settings_commands.h"
#include "app/command_ids.h"
#include "app/device_list_presenter.h"
#include "app/job_panel.h"
#include "app/label_commands.h"
#include "app/list_export_commands.h"
#include "app/preview_commands.h"
#include "app/qr_web_commands.h"
#include "app/remote_config_commands.h"
#include "app/sdk_event_bridge.h"
#include "app/snapshot_commands.h"
#include "app/terminal_commands.h"
#include "app/tooltip_style.h"
#include "app/upgrade_commands.h"
#include "audio/console/audio_play_dlg.h"
#include "devconfig/dialogs/dialog_ip_setting.h"
#include "devconfig/ipv4_text.h"
#include "devops/batch_runner.h"
#include "devops/device_job_runner.h"
#include "devops/device_login.h"
#include "devops/device_sdk.h"
#include "devops/login_coordinator.h"
#include "devops/onvif_network_rows.h"
#include "devops/row_jobs.h"
#include "devops/sdk_call_pool.h"
#include "devops/sdk_event_handler.h"
#include "devops/sdk_runtime.h"
#include "discovery/search_ranges.h"
#include "onvif/account_store.h"
#include "onvif/onvif_side_search.h"
#include "shell/app_paths.h"
#include "shell/diag_log.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"
#include "shell/settings_file.h"
#include "ui/message_box_prompter.h"
#include "ui/report_ctrl.h"
#include "ui/report_filter.h"
#include "ui/window_thread_mailbox.h"
#include "ui/wnd_manager.h"

namespace vdz {

namespace {

QString Text(const char* key) {
  return QString::fromStdString(LookupText(key));
}

struct BatchButton {
  int id;
  const char* key;
};

// The four rows of batch buttons, top row first.
const std::vector<std::vector<BatchButton>>& BatchButtonRows() {
  static const std::vector<std::vector<BatchButton>> rows = {
      {{cmd::kRestoreChecked, keys::BTNTEXT1},
       {cmd::kBatchIp, keys::ID_BATCH_IP},
       {cmd::kBatchMaintenance, keys::ID_BATCH_MAINTANCE},
       {cmd::kBatchPlatform, keys::BTNTEXT4},
       {cmd::kTalkConsole, keys::STRING_RA_DIALOG},
       {cmd::kBatchTerminal, keys::BATCH_TERMINAL_SET},
       {cmd::kRestartTerminalService, keys::BATCH_REBOOT_SERVICE}},
      {{cmd::kConfigDownload, keys::BTNTEXT5},
       {cmd::kRebootChecked, keys::BTNTEXT6},
       {cmd::kBatchTime, keys::BTNTEXT7},
       {cmd::kBatchTitle, keys::BTNTEXT8}},
      {{cmd::kBatchPassword, keys::BTNTEXT9},
       {cmd::kBatchLanguage, keys::BTNTEXT10},
       {cmd::kBatchMotion, keys::BTNTEXT12},
       {cmd::kBatchCcd, keys::BATCH_SET_CCD}},
      {{cmd::kBatchVideo, keys::ID_BATCH_SET_VIDEO},
       {cmd::kBatchImage, keys::BATCHIMAGEPARAM},
       {cmd::kBatchSnapshot, keys::BATCHSNAP},
       {cmd::kBatchIoOutput, keys::ID_BATCH_IO_OUTPUT}},
  };
  return rows;
}

struct FileRow {
  int button;
  const char* key;
  int browse;
};

// The three file rows, top first: firmware folder, firmware file, configuration file.
constexpr FileRow kFileRows[] = {
    {cmd::kUpgradeFromFolder, keys::BTNTEXT13, cmd::kBrowseFirmwareFolder},
    {cmd::kUpgradeFromFile, keys::BTNTEXT14, cmd::kBrowseFirmwareFile},
    {cmd::kUploadConfig, keys::BTNTEXT15, cmd::kBrowseConfigFile},
};

constexpr const char* kWindowCaption = "设备搜索/IP配置/升级工具";

}  // namespace

CQmDadIvidudEvuzDlg::CQmDadIvidudEvuzDlg(MainWindowOptions options, QWidget* parent)
    : QDialog(parent), options_(std::move(options)) {
  setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
  prompter_ = options_.prompter;
  if (prompter_ == nullptr) {
    own_prompter_ = std::make_unique<MessageBoxPrompter>(this);
    prompter_ = own_prompter_.get();
  }
  sdk_ = options_.sdk ? options_.sdk : std::shared_ptr<DeviceSdk>(MakeNetSdkDeviceSdk());
  network_ = options_.network ? options_.network
                              : std::shared_ptr<NetworkInfoSource>(MakeSystemNetworkInfoSource());
  registry_ = std::make_shared<DeviceRegistry>();
  engine_ = std::make_unique<DiscoveryEngine>(registry_, network_);
  {
    // Other makers' ONVIF devices are searched beside ours, tried with the kept accounts.
    onvif::OnvifSideOptions side;
    side.load_accounts = [] {
      auto secrets = onvif::MakeSecretStore();
      return onvif::AccountStore(SettingsFile(), *secrets).Accounts();
    };
    onvif_ = std::make_shared<onvif::OnvifSideSearch>(registry_, network_, std::move(side));
    engine_->SetSideSearch(onvif_);
  }
  params_ = std::make_unique<LocalParameterCache>(*network_);
  // The player's ports start afresh before the grid's cells make theirs.
  media_ = PreviewCommands::StartLibrary();

  BuildControls();
  BuildLayout();

  // Logins and the requests of a new session run here, never on this thread: a device that
  // accepts a connection and then stays silent would otherwise hold the window.
  sdk_call_results_ = std::make_unique<WindowThreadMailbox>(this);
  sdk_calls_ = std::make_unique<SdkCallPool>(
      [this](std::function<void()> work) { sdk_call_results_->Post(std::move(work)); },
      kLoginThreads);
  jobs_ = std::make_unique<DeviceJobRunner>(
      [this](std::function<void()> work) { sdk_call_results_->Post(std::move(work)); });
  presenter_ = std::make_unique<DeviceListPresenter>(
      *list_, *sdk_,
      DeviceListPresenter::WindowHooks{
          [this](int timer_id, bool active) {
            QTimer& timer = timer_id == kRefreshTimerId ? refresh_timer_ : request_timer_;
            if (active) {
              timer.start(1000);
            } else {
              timer.stop();
            }
          },
          [this](const QString& text) { buttons_[cmd::kSearch]->setText(text); },
          [this](const QString& text) { status_line_->setText(text); },
          [this] { select_all_->setChecked(false); }});
  logins_ = std::make_unique<LoginCoordinator>(*sdk_, *presenter_, sdk_calls_.get());
  presenter_->SetLogins(logins_.get());
  session_ = std::make_unique<SearchSession>(*engine_, *registry_, *params_, *presenter_);
  // The window's first search stops by itself.
  session_->SetAutoStopPending(true);
  SdkEventHooks hooks;
  hooks.upgrade_progress = [this](int position, DeviceRow& row, const SdkEventRecord&) {
    upgrades_->OnProgress(position, row);
  };
  hooks.upgrade_ended = [this](int position, DeviceRow& row, bool succeeded) {
    upgrades_->engine().OnUpgradeEnded(position, row, succeeded);
  };
  // Talk events and the settings and file-list answers go to the console.
  hooks.talk_console = [this](const SdkEventRecord& event) {
    if (console_ != nullptr)
      console_->OnSdkEvent(event);
  };
  hooks.version_known = [this](int position, DeviceRow& row) {
    if (preview_)
      preview_->OnVersionKnown(position, row);
  };
  hooks.snapshot_alarm = [this](int position, DeviceRow& row, const SdkEventRecord& event) {
    snapshots_->capture().OnSnapshotEvent(position, row, event);
  };
  logins_->UsePoolFor(&hooks);
  event_handler_ = std::make_unique<SdkEventHandler>(*sdk_, *presenter_, hooks);
  logins_->SetEventHandler(event_handler_.get());
  prober_ = options_.prober ? options_.prober : std::make_shared<IcmpAddressProber>();
  readdress_ = std::make_unique<ReaddressContext>(ReaddressContext{
      *registry_, assigned_, *engine_, *params_, *network_, *prober_, *prompter_,
      [this](int, DeviceRow& row) { logins_->Relogin(row, row.record); },
      [this](int position, DeviceRow&) { RunSdkReboot(*sdk_, *presenter_, position); },
      [this](const std::string& candidate) {
        // From the job's thread: each probe waits about half a second, the
        // status line shows which address it waits for.
        sdk_call_results_->Post(
            [this, candidate] { status_line_->setText(QString::fromStdString(candidate)); });
      },
      nullptr, MakeRowRunner(*jobs_, *presenter_, "free address"),
      OnvifNetworkRows(*jobs_, *presenter_, OnvifActions(onvif_))});
  commands_ = std::make_unique<CommandTable>(*prompter_);
  upgrades_ = std::make_unique<UpgradeCommands>(
      *jobs_, *sdk_, *presenter_, *prompter_,
      UpgradeCommandWidgets{this, firmware_file_, config_file_, firmware_folder_, status_line_,
                            &upgrade_timer_});
  talk_sdk_ = MakeNetSdkTalkSdk();
  console_ = new CAudioPlayDlg(this, *talk_sdk_, *presenter_, *prompter_);
  console_->hide();
  preview_ = std::make_unique<PreviewCommands>(
      *sdk_, *presenter_, *prompter_,
      PreviewWidgets{this, list_, grid_, preview_sound_, switch_stream_});
  preview_->SetStreamAddresses(OnvifStreamAddresses(onvif_));
  batch_settings_ = std::make_unique<BatchSettingsCommands>(
      *jobs_, *sdk_, *presenter_, *prompter_, this, [this](int id) { return Button(id); });
  batch_settings_->SetOnvifActions(OnvifActions(onvif_));
  terminal_ =
      std::make_unique<TerminalCommands>(*jobs_, *presenter_, *prompter_, sdk_calls_.get(), this);
  presenter_->SetKeyParameters(&terminal_->KeyParameters());
  snapshots_ = std::make_unique<SnapshotCommands>(
      *jobs_, *sdk_, *presenter_, *prompter_, &snapshot_timer_, [this] { return SelectedRow(); });
  snapshots_->SetOnvifActions(OnvifActions(onvif_));
  qr_web_ = std::make_unique<QrWebCommands>(*presenter_, *prompter_, qr_panel_,
                                            [this] { return SelectedRow(); });
  labels_ = std::make_unique<LabelCommands>(*presenter_, this, [this] { return SelectedRow(); });
  qr_web_->SetPointedListener([this](const DeviceRecord& device) { labels_->HandDevice(device); });
  remote_config_ = std::make_unique<RemoteConfigCommands>(*presenter_, *prompter_, this,
                                                          [this] { return SelectedRow(); });
  remote_config_->SetStillSource(sdk_.get(), media_.get());
  list_export_ = std::make_unique<ListExportCommands>(*list_, *prompter_, this, status_line_);
  batch_reports_ =
      std::make_unique<BatchReportCommands>(*jobs_, *presenter_, *prompter_, this, status_line_);
  job_panel_ =
      std::make_unique<JobPanel>(*jobs_, *prompter_, status_line_, Button(cmd::kCancelJobs));
  batch_reports_->Attach(upgrades_->engine());
  RegisterCommands();

  connect(&refresh_timer_, &QTimer::timeout, this, &CQmDadIvidudEvuzDlg::OnRefreshTimer);
  connect(&request_timer_, &QTimer::timeout, this, [this] { session_->OnRequestTick(); });
}

CQmDadIvidudEvuzDlg::~CQmDadIvidudEvuzDlg() {
  ShutDown();
  DiagnosticLog::Instance().Shutdown();
}

void CQmDadIvidudEvuzDlg::BuildControls() {
  list_ = new CReportCtrl(this);
  list_->setObjectName(QStringLiteral("deviceList"));
  grid_ = new CWndManager(this);
  grid_->SetKeyTarget(this);
  adapters_ = new QComboBox(this);
  adapters_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  adapters_->setMinimumContentsLength(28);
  adapter_label_ = new QLabel(QStringLiteral("网卡"), this);
  status_line_ = new QLabel(QStringLiteral("搜索设备未开始"), this);
  status_line_->setMinimumWidth(180);
  qr_panel_ = new QLabel(this);
  qr_panel_->setFixedSize(160, 160);
  qr_panel_->setFrameShape(QFrame::StyledPanel);
  qr_panel_->setAlignment(Qt::AlignCenter);
  select_all_ = new QCheckBox(QStringLiteral("全选"), this);
  filter_ = new QLineEdit(this);
  filter_->setObjectName(QStringLiteral("filter"));
  filter_->setClearButtonEnabled(true);
  counts_ = new QLabel(this);
  counts_->setObjectName(QStringLiteral("counts"));
  connect(filter_, &QLineEdit::textChanged, this, &CQmDadIvidudEvuzDlg::ApplyFilter);
  // Online and upgrading change with device events, not only with the search.
  connect(&counts_timer_, &QTimer::timeout, this, &CQmDadIvidudEvuzDlg::UpdateCounts);
  counts_timer_.start(1000);
  preview_sound_ = new QCheckBox(QStringLiteral("声音"), this);
  switch_stream_ = new QCheckBox(QStringLiteral("全屏切换码流"), this);

  auto add_button = [this](int id, const QString& caption) {
    auto* button = new QPushButton(caption, this);
    button->setAutoDefault(false);
    buttons_[id] = button;
    connect(button, &QPushButton::clicked, this, [this, id] { RunCommand(id); });
    return button;
  };
  add_button(cmd::kSearch, QStringLiteral("开始搜索"));
  add_button(cmd::kExportList, QString());
  for (const auto& row : BatchButtonRows()) {
    for (const BatchButton& button : row)
      add_button(button.id, QString());
  }
  for (const FileRow& row : kFileRows) {
    add_button(row.button, QString());
    add_button(row.browse, QString());
  }
  firmware_folder_ = new QLineEdit(this);
  firmware_folder_->setObjectName(QStringLiteral("firmwareFolder"));
  firmware_file_ = new QLineEdit(this);
  firmware_file_->setObjectName(QStringLiteral("firmwareFile"));
  config_file_ = new QLineEdit(this);
  config_file_->setObjectName(QStringLiteral("configFile"));
  // Present in the command table but not shown.
  add_button(cmd::kPrintLabel, QString())->hide();
  add_button(cmd::kClose, QStringLiteral("退出"))->hide();
  add_button(cmd::kConfigRestore, QStringLiteral("批量恢复出厂"))->hide();
  add_button(cmd::kSaveBatchReport, QString())->setObjectName(QStringLiteral("saveBatchReport"));
  add_button(cmd::kCancelJobs, QString())->setObjectName(QStringLiteral("cancelJobs"));

  connect(select_all_, &QCheckBox::clicked, this, &CQmDadIvidudEvuzDlg::OnSelectAll);
  connect(list_, &CReportCtrl::ContextMenuRequested, this, &CQmDadIvidudEvuzDlg::OnContextMenu);
  connect(list_, &CReportCtrl::ItemClicked, this, [this] { RunCommand(cmd::kListRowClick); });
  connect(list_, &CReportCtrl::ItemDoubleClicked, this,
          [this] { RunCommand(cmd::kListRowDoubleClick); });
}

void CQmDadIvidudEvuzDlg::BuildLayout() {
  auto* about = new QToolButton(this);
  about->setText(QStringLiteral("?"));
  about->setObjectName(QStringLiteral("about"));
  connect(about, &QToolButton::clicked, this, [this] { RunCommand(cmd::kSysAbout); });

  auto* top = new QHBoxLayout;
  top->addWidget(select_all_);
  top->addWidget(adapter_label_);
  top->addWidget(adapters_, 2);
  top->addWidget(buttons_[cmd::kSearch]);
  top->addWidget(preview_sound_);
  top->addWidget(switch_stream_);
  top->addWidget(status_line_, 3);
  top->addWidget(buttons_[cmd::kCancelJobs]);
  top->addWidget(buttons_[cmd::kSaveBatchReport]);
  top->addWidget(about);

  auto* video_side = new QWidget(this);
  auto* video_layout = new QVBoxLayout(video_side);
  video_layout->setContentsMargins(0, 0, 0, 0);
  video_layout->addWidget(grid_, 1);
  video_layout->addWidget(qr_panel_, 0, Qt::AlignHCenter);

  auto* splitter = new QSplitter(Qt::Horizontal, this);
  splitter->addWidget(list_);
  splitter->addWidget(video_side);
  splitter->setStretchFactor(0, 2);
  splitter->setStretchFactor(1, 1);
  splitter->setChildrenCollapsible(false);
  splitter->setSizes({880, 380});

  auto* batch = new QGridLayout;
  batch->setHorizontalSpacing(8);
  batch->setVerticalSpacing(8);
  int r = 0;
  for (const auto& row : BatchButtonRows()) {
    int c = 0;
    for (const BatchButton& button : row)
      batch->addWidget(buttons_[button.id], r, c++);
    ++r;
  }

  auto* files = new QGridLayout;
  QLineEdit* fields[] = {firmware_folder_, firmware_file_, config_file_};
  for (int i = 0; i < 3; ++i) {
    files->addWidget(buttons_[kFileRows[i].button], i, 0);
    files->addWidget(fields[i], i, 1);
    files->addWidget(buttons_[kFileRows[i].browse], i, 2);
  }
  files->setColumnStretch(1, 1);

  auto* bottom = new QHBoxLayout;
  bottom->addLayout(batch, 0);
  bottom->addSpacing(12);
  bottom->addLayout(files, 1);

  auto* main = new QVBoxLayout(this);
  main->setContentsMargins(10, 10, 10, 10);
  main->addLayout(top);
  auto* filter_row = new QHBoxLayout;
  filter_row->addWidget(filter_, 2);
  filter_row->addWidget(buttons_[cmd::kExportList]);
  filter_row->addWidget(counts_, 3);
  main->addLayout(filter_row);
  main->addWidget(splitter, 1);
  main->addLayout(bottom);
  resize(1280, 800);
}

void CQmDadIvidudEvuzDlg::Relabel() {
  adapter_label_->setText(Text(keys::NETCARD));
  // Wide enough for both captions, so the button does not change size as a search starts
  // and stops.
  QPushButton* search = buttons_[cmd::kSearch];
  search->setText(Text(keys::STOPSEARCH));
  const int stop_width = search->sizeHint().width();
  search->setText(Text(keys::STARTSEARCH));
  search->setMinimumWidth(std::max(stop_width, search->sizeHint().width()));
  select_all_->setText(Text(keys::CHECKALL));
  preview_sound_->setText(Text(keys::AUDIO));
  switch_stream_->setText(Text(keys::TEXT33));
  status_line_->setText(Text(keys::TEXT34));
  filter_->setPlaceholderText(Text(keys::FILTER_HINT));
  buttons_[cmd::kExportList]->setText(Text(keys::EXPORT_LIST));
  UpdateCounts();
  for (const auto& row : BatchButtonRows()) {
    for (const BatchButton& button : row)
      buttons_[button.id]->setText(Text(button.key));
  }
  for (const FileRow& row : kFileRows) {
    buttons_[row.button]->setText(Text(row.key));
    buttons_[row.browse]->setText(Text(keys::TOUR));
  }
  buttons_[cmd::kPrintLabel]->setText(Text(keys::STRING_PRINT_QR));
  buttons_[cmd::kSaveBatchReport]->setText(Text(keys::SAVE_BATCH_REPORT));
  buttons_[cmd::kCancelJobs]->setText(Text(keys::JOB_CANCEL));
  buttons_[cmd::kUpgradeFromFolder]->setToolTip(WrappedTooltip(Text(keys::STRING_TIPS_UPDATE_DIR)));
  buttons_[cmd::kUpgradeFromFile]->setToolTip(WrappedTooltip(Text(keys::STRING_TIPS_UPDATE_FILE)));
  buttons_[cmd::kUploadConfig]->setToolTip(WrappedTooltip(Text(keys::STRING_TIPS_UPDATE_CFG)));
  if (auto* about = findChild<QToolButton*>(QStringLiteral("about"))) {
    about->setToolTip(Text(keys::ABOUT_APP));
  }
}

void CQmDadIvidudEvuzDlg::Initialise() {
  DiagnosticLog::Instance().Initialise(DefaultDiagLogOptions());
  setWindowIcon(style()->standardIcon(QStyle::SP_ComputerIcon));
  // Tooltips of the upgrade buttons: blue on white, as installers know them.
  setStyleSheet(TooltipStyleSheet());
  tooltip_style_ = std::make_unique<TooltipStyle>();
  for (int id : {cmd::kUpgradeFromFolder, cmd::kUpgradeFromFile, cmd::kUploadConfig})
    buttons_[id]->setStyle(tooltip_style_.get());
  setWindowTitle(QString::fromUtf8(kWindowCaption));
  switch_stream_->setChecked(true);
  list_->SetColumnHeader(DeviceListPresenter::ColumnHeaderText());
  list_->SetCheckBoxMode(CReportCtrl::kCheckPlain);
  list_->SetSortable(true);
  Relabel();

  if (!options_.sdk)
    StartSdkRuntime();
  grid_->SetLayout(1, 1);

  std::string ranges_error;
  if (!ApplySearchRanges(&ranges_error))
    DiagLog("CQmDadIvidudEvuzDlg: search ranges left out: %s\n", ranges_error.c_str());
  session_->StartFromButton();
  FillAdapterList();
  snapshot_timer_.start(5000);
}

void CQmDadIvidudEvuzDlg::StartSdkRuntime() {
  int rc = 0;
  sdk_runtime_ = SdkRuntime::Start(&rc);
  if (!sdk_runtime_) {
    // The window still searches and re-addresses; every login will say it failed.
    DiagLog("CQmDadIvidudEvuzDlg: device SDK start-up failed, ret=%d\n", rc);
    prompter_->ShowError(
        QStringLiteral("%1 (%2)").arg(Text(keys::SDK_START_FAILED)).arg(rc).toStdString());
    return;
  }
  sdk_events_ = new SdkEventBridge(
      [this](const SdkEventRecord& event) { logins_->Dispatch(true, event); },
      [this](const SdkEventRecord& event) { logins_->Dispatch(false, event); }, this);
  sdk_runtime_->Subscribe(sdk_events_);
  remote_config_->Attach(sdk_runtime_.get());
}

void CQmDadIvidudEvuzDlg::FillAdapterList() {
  adapters_->clear();
  adapters_->addItem(Text(keys::ALLNETCARDS), QVariant::fromValue<quint32>(0));
  for (const auto& [key, info] : BuildAdapterTable(*network_)) {
    adapters_->addItem(QStringLiteral("[%1]\t[%2]")
                           .arg(QString::fromStdString(DottedFromKey(key)),
                                QString::fromStdString(info.description)),
                       QVariant::fromValue<quint32>(key));
  }
  // Commands at the end of the list, beside what they extend.
  adapters_->addItem(Text(keys::SEARCH_RANGES), QVariant::fromValue<quint32>(0));
  adapters_->setItemData(adapters_->count() - 1, cmd::kEditSearchRanges, Qt::UserRole + 1);
  adapters_->addItem(Text(keys::ADD_BY_ADDRESS), QVariant::fromValue<quint32>(0));
  adapters_->setItemData(adapters_->count() - 1, cmd::kAddByAddress, Qt::UserRole + 1);
  adapters_->addItem(Text(keys::ONVIF_ACCOUNTS), QVariant::fromValue<quint32>(0));
  adapters_->setItemData(adapters_->count() - 1, cmd::kEditOnvifAccounts, Qt::UserRole + 1);
  adapters_->setCurrentIndex(0);
  adapter_index_ = 0;
  // Connected after filling: only a change of the selection restarts the search.
  connect(adapters_, &QComboBox::currentIndexChanged, this, &CQmDadIvidudEvuzDlg::OnAdapterChanged,
          Qt::UniqueConnection);
}

void CQmDadIvidudEvuzDlg::OnAdapterChanged(int index) {
  if (index < 0)
    return;
  const QVariant command = adapters_->itemData(index, Qt::UserRole + 1);
  if (command.isValid()) {
    // A command entry is no adapter: the selection goes back before the command runs.
    const QSignalBlocker block(adapters_);
    adapters_->setCurrentIndex(adapter_index_);
    RunCommand(command.toInt());
    return;
  }
  adapter_index_ = index;
  session_->ChangeAdapterSelection(adapters_->itemData(index).value<quint32>());
}

bool CQmDadIvidudEvuzDlg::ApplySearchRanges(std::string* error) {
  std::vector<AddressRange> ranges;
  const bool ok = ParseAddressRanges(ReadSearchRanges(), &ranges, error);
  engine_->SetUnicastTargets(ExpandRanges(ranges), ReadUnicastRate(kDefaultUnicastRate));
  return ok;
}

// The accounts tried on ONVIF devices: names to the settings file, passwords to the secret
// store. A saved password is never shown; a line with the user name alone keeps it.
void CQmDadIvidudEvuzDlg::EditOnvifAccounts() {
  auto secrets = onvif::MakeSecretStore();
  onvif::AccountStore store(SettingsFile(), *secrets);
  const std::vector<onvif::OnvifAccount> kept = store.Accounts();
  std::string current;
  for (const onvif::OnvifAccount& a : kept)
    current += a.user + "\n";
  std::optional<std::string> edited;
  if (options_.accounts_dialog) {
    edited = options_.accounts_dialog(current);
  } else {
    bool accepted = false;
    const QString text = QInputDialog::getMultiLineText(this, Text(keys::ONVIF_ACCOUNTS),
                                                        Text(keys::ONVIF_ACCOUNTS_PROMPT),
                                                        QString::fromStdString(current), &accepted);
    if (accepted)
      edited = text.toStdString();
  }
  if (!edited)
    return;
  std::vector<onvif::OnvifAccount> accounts;
  std::istringstream lines(*edited);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    onvif::OnvifAccount account;
    if (!(words >> account.user))
      continue;
    std::getline(words >> std::ws, account.password);
    if (account.password.empty())
      for (const onvif::OnvifAccount& k : kept)
        if (k.user == account.user)
          account.password = k.password;
    accounts.push_back(std::move(account));
  }
  if (!store.SetAccounts(accounts)) {
    prompter_->ShowError(LookupText(keys::ONVIF_ACCOUNTS_NOT_SAVED));
    return;
  }
  onvif_->SetAccounts(std::move(accounts));
}

void CQmDadIvidudEvuzDlg::EditSearchRanges() {
  const std::string current = ReadSearchRanges();
  std::optional<std::string> edited;
  if (options_.ranges_dialog) {
    edited = options_.ranges_dialog(current);
  } else {
    bool accepted = false;
    QString text = current.empty() ? QString() : QString::fromStdString(current);
    text.replace(QLatin1Char(','), QLatin1Char('\n'));
    text = QInputDialog::getMultiLineText(this, Text(keys::SEARCH_RANGES),
                                          Text(keys::SEARCH_RANGES_PROMPT), text, &accepted);
    if (accepted)
      edited = text.toStdString();
  }
  if (!edited)
    return;
  std::vector<AddressRange> ranges;
  std::string error;
  if (!ParseAddressRanges(*edited, &ranges, &error)) {
    prompter_->ShowError(error);
    return;
  }
  if (!WriteSearchRanges(RangesText(ranges))) {
    prompter_->ShowError(LookupText(keys::SEARCH_RANGES_NOT_SAVED));
    return;
  }
  const std::vector<std::string> notes = LocalSubnetNotes(ranges, BuildAdapterTable(*network_));
  if (!notes.empty()) {
    std::string text;
    for (const std::string& note : notes)
      text += (text.empty() ? "" : "\n") + note;
    prompter_->ShowInfo(text);
  }
  ApplySearchRanges(&error);
  // A new search with the new ranges, as a new adapter choice starts one.
  session_->ChangeAdapterSelection(adapters_->itemData(adapter_index_).value<quint32>());
}

void CQmDadIvidudEvuzDlg::AddByAddress() {
  std::optional<std::string> typed;
  if (options_.address_dialog) {
    typed = options_.address_dialog();
  } else {
    bool accepted = false;
    const QString text =
        QInputDialog::getText(this, Text(keys::ADD_BY_ADDRESS), Text(keys::ADD_BY_ADDRESS_PROMPT),
                              QLineEdit::Normal, QString(), &accepted);
    if (accepted)
      typed = text.trimmed().toStdString();
  }
  if (!typed)
    return;
  const std::optional<uint32_t> address = ParseDottedQuad(*typed);
  if (!address || *address == 0 || *address == 0xFFFFFFFFu) {
    prompter_->ShowError(LookupText(keys::ADD_BY_ADDRESS_BAD) + " " + *typed);
    return;
  }
  // Asked from now on in every search; a running search asks it at once.
  engine_->AddUnicastTarget(*address);
  if (!session_->searching()) {
    session_->SetAutoStopPending(true);
    session_->StartFromButton();
  }
}

void CQmDadIvidudEvuzDlg::RegisterSearchTargetCommands() {
  commands_->Add(cmd::kEditSearchRanges, [this] { EditSearchRanges(); });
  commands_->Add(cmd::kAddByAddress, [this] { AddByAddress(); });
  commands_->Add(cmd::kEditOnvifAccounts, [this] { EditOnvifAccounts(); });
}

void CQmDadIvidudEvuzDlg::OnSelectAll(bool checked) {
  // With a filter typed, "All" means the rows the installer sees.
  CheckShownRows(*list_, checked);
}

void CQmDadIvidudEvuzDlg::ApplyFilter() {
  ApplyRowFilter(*list_, filter_->text());
  UpdateCounts();
}

void CQmDadIvidudEvuzDlg::UpdateCounts() {
  int online = 0;
  int upgrading = 0;
  const int rows = presenter_->RowCount();
  for (int p = 0; p < rows; ++p) {
    const DeviceRow* row = presenter_->RowAt(p);
    online += row != nullptr && row->online ? 1 : 0;
    upgrading += row != nullptr && row->upgrading ? 1 : 0;
  }
  counts_->setText(QStringLiteral("%1 %2   %3 %4   %5 %6   %7 %8")
                       .arg(Text(keys::COUNT_LISTED))
                       .arg(rows)
                       .arg(Text(keys::COUNT_ONLINE))
                       .arg(online)
                       .arg(Text(keys::COUNT_OFFLINE))
                       .arg(rows - online)
                       .arg(Text(keys::COUNT_UPGRADING))
                       .arg(upgrading));
}

void CQmDadIvidudEvuzDlg::OnRefreshTimer() {
  session_->OnRefreshTick();
  // New rows of this tick are filtered like the others.
  if (!filter_->text().trimmed().isEmpty())
    ApplyRowFilter(*list_, filter_->text());
  if (!first_search_reported_ && !session_->searching()) {
    first_search_reported_ = true;
    Q_EMIT FirstSearchFinished();
  }
}

QPushButton* CQmDadIvidudEvuzDlg::Button(int id) const {
  auto it = buttons_.find(id);
  return it == buttons_.end() ? nullptr : it->second;
}

bool CQmDadIvidudEvuzDlg::RunCommand(int id) {
  return commands_->Dispatch(id);
}

void CQmDadIvidudEvuzDlg::RegisterCommands() {
  CommandTable& t = *commands_;
  t.Add(cmd::kSearch, [this] { session_->ToggleFromButton(); });
  t.Add(cmd::kSelectAll, [this] {
    select_all_->toggle();
    OnSelectAll(select_all_->isChecked());
  });
  t.Add(cmd::kBatchIp, [this] { ShowBatchIpMenu(); });
  t.Add(cmd::kBrowseFirmwareFolder, [this] { BrowseFirmwareFolder(); });
  t.Add(cmd::kSysAbout, [this] { ShowAbout(); });
  t.Add(cmd::kClose, [this] { close(); });

  RegisterNetworkCommands();
  // Each of these says "not available in this build" until its feature is built.
  // Every command of the window is built: none answers "not available" any more, but the
  // table still knows how, for a command added before its feature.
  upgrades_->Register(t);
  t.Add(cmd::kTalkConsole, [this] {
    if (console_ == nullptr)
      return;  // the window is closing
    console_->show();
    console_->raise();
  });
  preview_->Register(t);
  batch_settings_->Register(t);
  terminal_->Register(t);
  snapshots_->Register(t);
  qr_web_->Register(t);
  labels_->Register(t);
  remote_config_->Register(t);
  list_export_->Register(t);
  batch_reports_->Register(t);
  job_panel_->Register(t);
  if (!t.Duplicates().empty()) {
    DiagLog("CQmDadIvidudEvuzDlg: command %d is in the command table twice\n", t.Duplicates()[0]);
    Q_ASSERT_X(false, "RegisterCommands", "a command id is in the table twice");
  }
}

int CQmDadIvidudEvuzDlg::SelectedRow() const {
  return list_->GetFirstSelectedItem();
}

void CQmDadIvidudEvuzDlg::RegisterNetworkCommands() {
  RegisterSearchTargetCommands();
  CommandTable& t = *commands_;
  const IpSettingDialog dialog =
      options_.ip_dialog ? options_.ip_dialog : MakeIpSettingDialog(*prompter_, this);
  // Single-device commands do nothing without a selected row.
  auto on_selected = [this](auto action) {
    return [this, action] {
      const int position = SelectedRow();
      if (position >= 0)
        action(position);
    };
  };
  t.Add(cmd::kMenuChangeAddress, on_selected([this, dialog](int position) {
          ChangeNetworkOfRow(*readdress_, *presenter_, position, dialog);
        }));
  t.Add(cmd::kMenuFreeAddress, on_selected([this](int position) {
          AssignFreeToRow(*readdress_, *presenter_, position);
          status_line_->setText(QStringLiteral("%1 %2")
                                    .arg(Text(session_->searching() ? keys::TEXT35 : keys::TEXT34))
                                    .arg(registry_->GetDeviceCount()));
        }));
  t.Add(cmd::kMenuRestore,
        on_selected([this](int position) { RestoreRow(*readdress_, *presenter_, position); }));
  t.Add(cmd::kMenuReboot,
        on_selected([this](int position) { RebootRow(*readdress_, *presenter_, position); }));
  t.Add(cmd::kRestoreChecked, [this] { RestoreChecked(*readdress_, *presenter_); });
  t.Add(cmd::kRebootChecked, [this] { RebootChecked(*readdress_, *presenter_); });
  t.Add(cmd::kMenuAssignFree, [this] {
    AssignFreeToChecked(*readdress_, *presenter_);
    status_line_->setText(QStringLiteral("%1 %2")
                              .arg(Text(session_->searching() ? keys::TEXT35 : keys::TEXT34))
                              .arg(registry_->GetDeviceCount()));
  });
  t.Add(cmd::kMenuAssignConsecutive,
        [this, dialog] { AssignConsecutiveToChecked(*readdress_, *presenter_, dialog); });
}

std::unique_ptr<QMenu> CQmDadIvidudEvuzDlg::BuildContextMenu() {
  if (list_->GetFirstSelectedItem() < 0)
    return nullptr;
  auto menu = std::make_unique<QMenu>(this);
  auto add = [this](QMenu* m, int id, const char* key) {
    QAction* action = m->addAction(Text(key));
    action->setData(id);
    connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
    return action;
  };
  add(menu.get(), cmd::kMenuOpenWeb, keys::TEXT23);
  QMenu* remote = menu->addMenu(Text(keys::TEXT37));
  add(remote, cmd::kMenuRemoteZhCn, keys::LANGAGE_ZH_CN);
  add(remote, cmd::kMenuRemoteZhTw, keys::LANGAGE_ZH_TW);
  add(remote, cmd::kMenuRemoteEnglish, keys::LANGAGE_ENGLISH);
  // Korean pages are not offered by the remote configuration.
  remote->removeAction(add(remote, cmd::kMenuRemoteKorean, keys::LANGAGE_KO_KO));
  add(remote, cmd::kMenuRemotePolish, keys::LANGAGE_PL_PL);
  add(menu.get(), cmd::kMenuStopPreview, keys::TEXT27)->setEnabled(preview_->Playing());
  QAction* sound = add(menu.get(), cmd::kMenuPreviewSound, keys::TEXT28);
  sound->setCheckable(true);
  sound->setChecked(preview_sound_->isChecked());
  add(menu.get(), cmd::kMenuReboot, keys::TEXT29);
  add(menu.get(), cmd::kMenuChangeAddress, keys::TEXT30);
  add(menu.get(), cmd::kMenuFreeAddress, keys::TEXT31);
  add(menu.get(), cmd::kMenuRestore, keys::TEXT32);
  add(menu.get(), cmd::kMenuSnapshot, keys::SNAPPIC);
  add(menu.get(), cmd::kMenuOpenSnapshotFolder, keys::OPEN_SNAPPIC_PATH);
  return menu;
}

void CQmDadIvidudEvuzDlg::OnContextMenu(int, const QPoint& global) {
  auto menu = BuildContextMenu();
  if (menu)
    menu->exec(global);
}

void CQmDadIvidudEvuzDlg::ShowBatchIpMenu() {
  QMenu menu(this);
  for (auto [id, key] : {std::pair{cmd::kMenuAssignFree, keys::BTNTEXT2},
                         std::pair{cmd::kMenuAssignConsecutive, keys::BTNTEXT3}}) {
    QAction* action = menu.addAction(Text(key));
    connect(action, &QAction::triggered, this, [this, id = id] { RunCommand(id); });
  }
  menu.exec(QCursor::pos());
}

void CQmDadIvidudEvuzDlg::BrowseFirmwareFolder() {
  const QString start = QString::fromStdString(ReadLastUpgradeFolder());
  const QString folder = QFileDialog::getExistingDirectory(this, Text(keys::TEXT22), start);
  if (folder.isEmpty())
    return;
  firmware_folder_->setText(folder);
  WriteLastUpgradeFolder(firmware_folder_->text().toStdString());
}

void CQmDadIvidudEvuzDlg::ShowAbout() {
  QMessageBox::about(this, Text(keys::ABOUT_APP),
                     QStringLiteral("<b>ViDuZaver</b><p>%1</p><p>Qt %2</p>")
                         .arg(QString::fromUtf8(kWindowCaption), QString::fromLatin1(qVersion())));
}

void CQmDadIvidudEvuzDlg::keyPressEvent(QKeyEvent* event) {
  // Escape leaves a full-screen video grid; the window itself stays open.
  if (event->key() == Qt::Key_Escape) {
    if (grid_->IsFullScreen())
      grid_->LeaveFullScreen();
    event->accept();
    return;
  }
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void CQmDadIvidudEvuzDlg::ShutDown() {
  if (shut_down_)
    return;
  shut_down_ = true;
  refresh_timer_.stop();
  session_->Shutdown();
  request_timer_.stop();
  snapshot_timer_.stop();
  upgrade_timer_.stop();
  // No event reaches the bridge once this returns.
  if (sdk_runtime_ && sdk_events_ != nullptr)
    sdk_runtime_->Unsubscribe(sdk_events_);
  // The pages log out before the library goes.
  remote_config_->CloseWindow();
  remote_config_->Detach();
  // Running logins and device jobs end within their time bound; their results are not wanted
  // any more.
  sdk_calls_->Stop();
  jobs_->Stop();
  // The preview's stream ends before the player and the RTSP library are released.
  preview_->ShutDown();
  // The console's talk and pacing end while the talk SDK and the library are still there.
  delete console_;
  console_ = nullptr;
  media_.reset();
  sdk_runtime_.reset();
  // The worker has ended above, so no refresh can touch the rows while they go.
  session_->ClearRows();
}

void CQmDadIvidudEvuzDlg::closeEvent(QCloseEvent* event) {
  ShutDown();
  QDialog::closeEvent(event);
}

}  // namespace vdz
