// The real window, offscreen, against the simulated site: first search, adapter list,
// adapter change, closing during a search, and a picture of the window for the artifacts.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <set>

#include "app/command_ids.h"
#include "app/command_table.h"
#include "app/list_export_commands.h"
#include "app/main_window.h"
#include "app/tooltip_style.h"
#include "lab/devsim_control.h"
#include "lab/open_main_window.h"
#include "protocol/protocol_numbers.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"
#include "support/recording_prompter.h"
#include "support/screenshot_dir.h"
#include "ui/report_ctrl.h"

#ifndef VDZ_TEST_LANGUAGE
#define VDZ_TEST_LANGUAGE "English"
#endif

namespace vdz {
namespace {

// The language comes from the settings file, read once per process on the first lookup.
class WindowEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    const std::string dir =
        QDir::temp()
            .filePath(QStringLiteral("vdz-window-%1").arg(QCoreApplication::applicationPid()))
            .toStdString();
    QDir().mkpath(QString::fromStdString(dir));
    std::ofstream(dir + "/QmDodEveva_cfg.ini") << "[SETTINGS]\nLanguage=" VDZ_TEST_LANGUAGE "\n";
    setenv("VDZ_CONFIG_DIR", dir.c_str(), 1);
    // The language files of this build sit beside its programs.
    setenv("VDZ_DATA_DIR", VDZ_LANGUAGE_DIR, 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "main_window_lab_test";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override { app_.reset(); }

 private:
  std::unique_ptr<QApplication> app_;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new WindowEnvironment);

template <typename Predicate>
bool WaitFor(Predicate done, int limit_ms) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > limit_ms)
      return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

class MainWindowLab : public ::testing::Test {
 protected:
  void SetUp() override {
    devices_ = static_cast<int>(control_.Devices().size());
    window_ = lab::OpenMainWindow(prompter_);
  }
  void TearDown() override {
    if (window_)
      window_->close();
    window_.reset();
  }

  bool WaitForFirstSearch() {
    bool finished = false;
    QObject::connect(window_.get(), &CQmDadIvidudEvuzDlg::FirstSearchFinished,
                     [&] { finished = true; });
    return WaitFor([&] { return finished; }, 20000);
  }

  lab::DevsimControl control_ = lab::DevsimControl::FromEnvironment();
  test::RecordingPrompter prompter_;
  std::unique_ptr<CQmDadIvidudEvuzDlg> window_;
  int devices_ = 0;
};

TEST_F(MainWindowLab, FirstSearchListsEveryDeviceAndStopsByItself) {
  EXPECT_TRUE(window_->Session().searching());
  ASSERT_TRUE(WaitForFirstSearch());
  EXPECT_FALSE(window_->Session().searching());
  EXPECT_FALSE(window_->Engine().running());
  EXPECT_EQ(window_->DeviceList()->GetItemCount(), devices_);
  EXPECT_EQ(window_->StatusLine()->text().toStdString(),
            LookupText(keys::TEXT34) + " " + std::to_string(devices_));
  // Every device of the site accepts its account: rows come online with a version.
  ASSERT_TRUE(WaitFor(
      [&] {
        for (int r = 0; r < window_->DeviceList()->GetItemCount(); ++r) {
          if (window_->DeviceList()->GetItemText(r, 3).isEmpty())
            return false;
        }
        return true;
      },
      10000));
  EXPECT_EQ(window_->DeviceList()->GetItemText(0, 4).toStdString(), LookupText(keys::MSGTIP1));

  // Artifact: the window with its devices, and no caption that is empty or cut.
  const QString dir = test::ScreenshotDir(VDZ_ARTIFACT_DIR);
  const QString file = QDir(dir).filePath(
      QStringLiteral("window-%1.png").arg(QString::fromLatin1(CurrentLanguageCode())));
  EXPECT_TRUE(window_->grab().save(file)) << file.toStdString();
  std::printf("window picture: %s\n", qPrintable(file));
  for (QAbstractButton* button : window_->findChildren<QAbstractButton*>()) {
    if (!button->isVisible() || button->objectName() == QLatin1String("about"))
      continue;
    EXPECT_FALSE(button->text().isEmpty()) << button->metaObject()->className();
    EXPECT_LE(button->sizeHint().width(), button->width()) << button->text().toStdString();
  }
  for (QLabel* label : window_->findChildren<QLabel*>()) {
    if (!label->isVisible() || label->text().isEmpty())
      continue;
    EXPECT_LE(label->sizeHint().width(), label->width()) << label->text().toStdString();
  }
  // The same list narrowed by the filter box, for the guide.
  window_->FilterBox()->setText(QStringLiteral("192.168.1.1"));
  EXPECT_TRUE(window_->grab().save(QDir(dir).filePath(
      QStringLiteral("window-filter-%1.png").arg(QString::fromLatin1(CurrentLanguageCode())))));
  // Export of the narrowed list, as the button does it: a header and the shown rows only.
  const QString csv = QDir(dir).filePath(
      QStringLiteral("device-list-%1.csv").arg(QString::fromLatin1(CurrentLanguageCode())));
  window_->ListExport().SetFileChooser([&](const QString&, const QString&) { return csv; });
  ASSERT_TRUE(window_->RunCommand(cmd::kExportList));
  std::ifstream in(csv.toStdString());
  std::string line;
  ASSERT_TRUE(std::getline(in, line)) << "no header";
  int shown = 0;
  for (; std::getline(in, line); ++shown)
    EXPECT_EQ(line.rfind("192.168.1.1", 0), 0u) << line;
  EXPECT_GT(shown, 0);
  EXPECT_LT(shown, window_->DeviceList()->GetItemCount());
  window_->FilterBox()->clear();
}

TEST_F(MainWindowLab, AdapterListHasAllAdaptersFirstAndAChangeRestartsTheSearch) {
  ASSERT_TRUE(WaitForFirstSearch());
  QComboBox* adapters = window_->AdapterList();
  // All adapters, each adapter, then the ranges, add-by-address and ONVIF account commands.
  ASSERT_EQ(adapters->count(), 6);
  EXPECT_EQ(adapters->itemText(3).toStdString(), LookupText(keys::SEARCH_RANGES));
  EXPECT_EQ(adapters->itemText(4).toStdString(), LookupText(keys::ADD_BY_ADDRESS));
  EXPECT_EQ(adapters->itemText(5).toStdString(), LookupText(keys::ONVIF_ACCOUNTS));
  EXPECT_EQ(adapters->itemText(0).toStdString(), LookupText(keys::ALLNETCARDS));
  EXPECT_EQ(adapters->itemData(0).toUInt(), 0u);
  // Table order: the last address byte counts first, so 10.0.0.20 precedes 192.168.1.100.
  EXPECT_TRUE(adapters->itemText(1).startsWith(QStringLiteral("[10.0.0.20]\t[")));
  EXPECT_TRUE(adapters->itemText(2).startsWith(QStringLiteral("[192.168.1.100]\t[")));

  adapters->setCurrentIndex(1);
  EXPECT_TRUE(window_->Session().searching());
  EXPECT_TRUE(window_->Engine().running());
  EXPECT_EQ(window_->DeviceList()->GetItemCount(), 0);
  ASSERT_TRUE(WaitFor([&] { return !window_->Session().searching(); }, 15000));
  const int rows = window_->DeviceList()->GetItemCount();
  EXPECT_GT(rows, 0);
  EXPECT_LT(rows, devices_);
  for (int r = 0; r < rows; ++r) {
    EXPECT_TRUE(window_->DeviceList()->GetItemText(r, 0).startsWith(QStringLiteral("10.0.0.")));
  }
}

TEST_F(MainWindowLab, TheThreeUpgradeButtonsTipAlike) {
  for (int id : {cmd::kUpgradeFromFolder, cmd::kUpgradeFromFile, cmd::kUploadConfig}) {
    QPushButton* button = window_->Button(id);
    ASSERT_NE(button, nullptr) << id;
    EXPECT_FALSE(button->toolTip().isEmpty()) << id;
    EXPECT_EQ(button->style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay, nullptr, button),
              kTooltipDelayMs)
        << id;
  }
}

TEST_F(MainWindowLab, ClosingDuringSearchStopsTheWorkerBeforeTheRowsGo) {
  ASSERT_TRUE(WaitForFirstSearch());
  window_->RunCommand(cmd::kSearch);
  ASSERT_TRUE(window_->Session().searching());
  ASSERT_TRUE(WaitFor([&] { return window_->DeviceList()->GetItemCount() > 0; }, 5000));
  bool worker_running_when_rows_went = true;
  int removals = 0;
  auto* model = window_->DeviceList()->model();
  auto note = [&] {
    ++removals;
    worker_running_when_rows_went = window_->Engine().running();
  };
  QObject::connect(model, &QAbstractItemModel::modelAboutToBeReset, note);
  QObject::connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, note);
  window_->close();
  EXPECT_GT(removals, 0);
  EXPECT_FALSE(worker_running_when_rows_went);
  EXPECT_EQ(window_->DeviceList()->GetItemCount(), 0);
  EXPECT_FALSE(window_->Engine().running());
}

TEST(MainWindowSilentDevicesLab, SilentDevicesNeitherHoldTheWindowNorTheOthers) {
  // Three devices accept the login connection and never answer: each login runs into its
  // time bound, in the background, while the window goes on ticking.
  lab::DevsimControl control = lab::DevsimControl::FromEnvironment();
  const auto devices = control.Devices();
  ASSERT_GE(devices.size(), 6u);
  std::string error;
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(control.Send("sdk-misbehave " + devices[i].serial + " silent", nullptr, &error))
        << error;
  }
  test::RecordingPrompter prompter;
  MainWindowOptions options;
  options.prompter = &prompter;
  CQmDadIvidudEvuzDlg window(options);
  window.Initialise();
  window.show();
  // The longest the event loop is ever away while logins are made.
  QElapsedTimer clock;
  clock.start();
  qint64 last = 0;
  qint64 longest_gap = 0;
  const bool settled = WaitFor(
      [&] {
        const qint64 now = clock.elapsed();
        longest_gap = std::max(longest_gap, now - last);
        last = now;
        int failed = 0;
        int online = 0;
        for (int r = 0; r < window.DeviceList()->GetItemCount(); ++r) {
          const QString state = window.DeviceList()->GetItemText(r, 4);
          failed += state == QLatin1String("QM_NETSDK_IPC_Login FAILED");
          online += state.toStdString() == LookupText(keys::MSGTIP1);
        }
        return !window.Session().searching() && failed == 3 &&
               online == static_cast<int>(devices.size()) - 3;
      },
      20000);
  EXPECT_TRUE(settled);
  EXPECT_LT(longest_gap, 1000) << "the window was held for " << longest_gap << " ms";
  window.close();
  ASSERT_TRUE(control.Send("sdk-misbehave all none", nullptr, &error)) << error;
}

// What the window offers today: every id of its command table is in exactly one list.
const std::set<int> kWorking = {cmd::kSearch,
                                cmd::kEditSearchRanges,
                                cmd::kAddByAddress,
                                cmd::kEditOnvifAccounts,
                                cmd::kExportList,
                                cmd::kPrintLabel,
                                cmd::kMenuRemoteZhCn,
                                cmd::kMenuRemoteZhTw,
                                cmd::kMenuRemoteEnglish,
                                cmd::kMenuRemoteKorean,
                                cmd::kMenuRemotePolish,
                                cmd::kTalkConsole,
                                cmd::kSelectAll,
                                cmd::kBatchIp,
                                cmd::kBrowseFirmwareFolder,
                                cmd::kSysAbout,
                                cmd::kClose,
                                cmd::kPreviewSound,
                                cmd::kSwitchStream,
                                cmd::kMenuPreviewSound,
                                cmd::kRestoreChecked,
                                cmd::kRebootChecked,
                                cmd::kMenuChangeAddress,
                                cmd::kMenuFreeAddress,
                                cmd::kMenuRestore,
                                cmd::kMenuReboot,
                                cmd::kMenuAssignFree,
                                cmd::kMenuAssignConsecutive,
                                cmd::kConfigDownload,
                                cmd::kConfigRestore,
                                cmd::kBrowseFirmwareFile,
                                cmd::kBrowseConfigFile,
                                cmd::kUpgradeFromFile,
                                cmd::kUploadConfig,
                                cmd::kUpgradeFromFolder,
                                cmd::kDanaleImport,
                                cmd::kMenuStopPreview,
                                cmd::kMenuStartPreview,
                                cmd::kListRowDoubleClick,
                                cmd::kBatchTitle,
                                cmd::kBatchPlatform,
                                cmd::kBatchMotion,
                                cmd::kBatchPassword,
                                cmd::kBatchLanguage,
                                cmd::kBatchImage,
                                cmd::kBatchCcd,
                                cmd::kBatchIoOutput,
                                cmd::kBatchMaintenance,
                                cmd::kBatchVideo,
                                cmd::kBatchTime,
                                cmd::kMenuLanguageEnglish,
                                cmd::kMenuLanguageSimplified,
                                cmd::kMenuLanguageTraditional,
                                cmd::kMenuScanBadPixels,
                                cmd::kMenuSaveBadPixels,
                                cmd::kMenuOutputLow,
                                cmd::kMenuOutputHigh,
                                cmd::kMenuEncodeH264,
                                cmd::kMenuEncodeH265,
                                cmd::kMenuEncodeDetails,
                                cmd::kMenuSyncTime,
                                cmd::kMenuConfigTime,
                                cmd::kBatchTerminal,
                                cmd::kRestartTerminalService,
                                cmd::kBatchSnapshot,
                                cmd::kMenuOpenWeb,
                                cmd::kMenuSnapshot,
                                cmd::kMenuOpenSnapshotFolder,
                                cmd::kListRowClick,
                                cmd::kSaveBatchReport,
                                cmd::kCancelJobs};
const std::set<int> kNotAvailable = {};

TEST_F(MainWindowLab, EveryCommandIsWiredOrSaysItIsNotAvailable) {
  ASSERT_TRUE(WaitForFirstSearch());
  const CommandTable& table = window_->Commands();
  EXPECT_TRUE(table.Duplicates().empty());
  for (int id : table.Ids()) {
    EXPECT_NE(kWorking.count(id), kNotAvailable.count(id)) << id << " is in neither or both";
    EXPECT_EQ(table.Available(id), kWorking.count(id) == 1) << id;
  }
  for (int id : kNotAvailable) {
    prompter_.boxes.clear();
    EXPECT_TRUE(window_->RunCommand(id)) << id;
    ASSERT_EQ(prompter_.boxes.size(), 1u) << id;
    EXPECT_EQ(prompter_.boxes[0].text, LookupText(keys::NOT_AVAILABLE_IN_BUILD)) << id;
  }
  for (int id : kWorking)
    EXPECT_TRUE(table.Contains(id)) << id;
  EXPECT_FALSE(window_->RunCommand(99999));

  // About, the "?" button's command, is not button 16 and shows its box.
  QString about_text;
  QTimer::singleShot(0, [&about_text] {
    WaitFor([] { return QApplication::activeModalWidget() != nullptr; }, 3000);
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      about_text = box->text();
      box->accept();
    }
  });
  prompter_.boxes.clear();
  window_->findChild<QAbstractButton*>(QStringLiteral("about"))->click();
  EXPECT_TRUE(about_text.contains(QStringLiteral("ViDuZaver"))) << about_text.toStdString();
  EXPECT_TRUE(prompter_.boxes.empty());

  // No selection: no context menu; the Korean remote pages are not offered.
  window_->DeviceList()->clearSelection();
  EXPECT_EQ(window_->BuildContextMenu(), nullptr);
  window_->DeviceList()->selectRow(0);
  auto menu = window_->BuildContextMenu();
  ASSERT_NE(menu, nullptr);
  int korean = 0;
  for (QAction* action : menu->actions()) {
    if (action->menu()) {
      for (QAction* sub : action->menu()->actions())
        korean += sub->data().toInt() == cmd::kMenuRemoteKorean;
    }
  }
  EXPECT_EQ(korean, 0);
}

class MainWindowNetworkLab : public MainWindowLab {
 protected:
  void SetUp() override {
    ASSERT_TRUE(control_.ClearRequestLog());
    devices_ = static_cast<int>(control_.Devices().size());
    MainWindowOptions options;
    options.prompter = &prompter_;
    options.ip_dialog = [this](const IpSettingValues& initial, bool) {
      dialog_initial_ = initial;
      return dialog_answer_;
    };
    window_ = std::make_unique<CQmDadIvidudEvuzDlg>(options);
    window_->Initialise();
    window_->show();
  }
  // The list shows no serial until the terminal service fills it: the MAC column tells.
  std::string Serial(int row) const {
    const std::string mac = window_->DeviceList()->GetItemText(row, 2).toStdString();
    for (const lab::DevsimDevice& device : control_.Devices()) {
      if (device.mac == mac)
        return device.serial;
    }
    return {};
  }
  int RowOf(const std::string& serial) const {
    for (int r = 0; r < window_->DeviceList()->GetItemCount(); ++r) {
      if (Serial(r) == serial)
        return r;
    }
    return -1;
  }
  // Serials the simulator logged requests of this code for, waiting (bounded) for all.
  std::set<std::string> Requested(int code, const std::set<std::string>& want) {
    std::set<std::string> seen;
    WaitFor(
        [&] {
          seen.clear();
          for (const lab::DevsimRequest& r : control_.RequestLog()) {
            if (r.code == code && want.count(r.serial))
              seen.insert(r.serial);
          }
          return seen == want;
        },
        5000);
    return seen;
  }

  IpSettingValues dialog_initial_;
  std::optional<IpSettingValues> dialog_answer_;
};

TEST_F(MainWindowNetworkLab, RestoreRebootAndChangeAddressReachTheDevicesThroughTheWindow) {
  ASSERT_TRUE(WaitForFirstSearch());
  CReportCtrl& list = *window_->DeviceList();
  ASSERT_GE(list.GetItemCount(), 4);
  ASSERT_TRUE(WaitFor([&] { return !list.GetItemText(2, 3).isEmpty(); }, 10000));

  // Factory reset of two checked rows: asked first, then one code-5 request each.
  const std::set<std::string> restored = {Serial(0), Serial(1)};
  list.SetCheck(0, true);
  list.SetCheck(1, true);
  prompter_.boxes.clear();
  ASSERT_TRUE(window_->RunCommand(cmd::kRestoreChecked));
  ASSERT_FALSE(prompter_.boxes.empty());
  EXPECT_EQ(prompter_.boxes[0].kind, "YESNO");
  EXPECT_EQ(prompter_.boxes[0].text, LookupText(keys::MSGTIP11));
  EXPECT_EQ(Requested(proto::kDiscoveryRestore, restored), restored);

  // Reboot of the same rows: asked, then code 7, and the devices go down and come back.
  prompter_.boxes.clear();
  ASSERT_TRUE(window_->RunCommand(cmd::kRebootChecked));
  ASSERT_FALSE(prompter_.boxes.empty());
  EXPECT_EQ(prompter_.boxes[0].text, LookupText(keys::MSGTIP38));
  EXPECT_EQ(Requested(proto::kDiscoveryReboot, restored), restored);
  list.SetCheck(0, false);
  list.SetCheck(1, false);

  // Change address from the context menu: the dialog opens with the row's values, the
  // device moves, the row shows the new address and logs in there.
  const std::string serial = Serial(2);
  const std::string old_ip = list.GetItemText(2, 0).toStdString();
  const std::string new_ip = old_ip.rfind("10.0.0.", 0) == 0 ? "10.0.0.231" : "192.168.1.231";
  IpSettingValues values;
  values.ip = new_ip;
  values.netmask = "255.255.255.0";
  values.gateway = old_ip.rfind("10.0.0.", 0) == 0 ? "10.0.0.1" : "192.168.1.1";
  values.dns1 = values.gateway;
  dialog_answer_ = values;
  list.selectRow(2);
  ASSERT_TRUE(window_->RunCommand(cmd::kMenuChangeAddress));
  EXPECT_EQ(dialog_initial_.ip, old_ip);
  EXPECT_EQ(Requested(proto::kDiscoverySetParameters, {serial}), std::set<std::string>{serial});
  ASSERT_TRUE(WaitFor([&] { return control_.Device(serial)->ip == new_ip; }, 5000));
  const int row = RowOf(serial);
  ASSERT_GE(row, 0);
  EXPECT_EQ(list.GetItemText(row, 0).toStdString(), new_ip);
  EXPECT_TRUE(WaitFor(
      [&] {
        const auto device = control_.Device(serial);
        return device && device->sdk_sessions > 0 &&
               list.GetItemText(row, 4).toStdString() == LookupText(keys::MSGTIP1);
      },
      10000))
      << "no login at " << new_ip << ": sessions " << control_.Device(serial)->sdk_sessions
      << ", status '" << list.GetItemText(row, 4).toStdString() << "'";
}

}  // namespace
}  // namespace vdz
