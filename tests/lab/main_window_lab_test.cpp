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
#include <QMenu>
#include <QPushButton>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "app/command_ids.h"
#include "app/main_window.h"
#include "lab/devsim_control.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"
#include "support/recording_prompter.h"
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
    MainWindowOptions options;
    options.prompter = &prompter_;
    window_ = std::make_unique<CQmDadIvidudEvuzDlg>(options);
    window_->Initialise();
    window_->show();
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
  const QString dir = QString::fromUtf8(
      std::getenv("VDZ_ARTIFACT_DIR") ? std::getenv("VDZ_ARTIFACT_DIR") : VDZ_ARTIFACT_DIR);
  QDir().mkpath(dir);
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
}

TEST_F(MainWindowLab, AdapterListHasAllAdaptersFirstAndAChangeRestartsTheSearch) {
  ASSERT_TRUE(WaitForFirstSearch());
  QComboBox* adapters = window_->AdapterList();
  ASSERT_EQ(adapters->count(), 3);
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

TEST_F(MainWindowLab, EveryCommandIsWiredAndUnbuiltOnesSaySo) {
  ASSERT_TRUE(WaitForFirstSearch());
  for (int id : {cmd::kBatchTitle, cmd::kTalkConsole}) {
    prompter_.boxes.clear();
    EXPECT_TRUE(window_->RunCommand(id)) << id;
    ASSERT_EQ(prompter_.boxes.size(), 1u) << id;
    EXPECT_EQ(prompter_.boxes[0].text, LookupText(keys::NOT_AVAILABLE_IN_BUILD));
  }
  EXPECT_FALSE(window_->RunCommand(99999));
  // No selection: no context menu.
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

}  // namespace
}  // namespace vdz
