// Remote configuration through the window's menu commands against simulated devices: one
// host window at a time, pages read from and written back to the device, the messages of a
// refused login and an unreachable device, the screen-size rule; pictures of the host and
// the label window go to the artifacts.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "app/command_ids.h"
#include "app/label_commands.h"
#include "app/main_window.h"
#include "app/remote_config_commands.h"
#include "config_page.h"
#include "devconfig/media_setting_tables.h"
#include "devconfig/settings_documents.h"
#include "devconfig/time_zone_table.h"
#include "lab/devsim_control.h"
#include "lab/open_main_window.h"
#include "motion_grid_widget.h"
#include "protocol/protocol_numbers.h"
#include "qm_netsdk.h"
#include "remote_config.h"
#include "schedule_timeline.h"
#include "shell/bounded_text.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"
#include "support/foreign_captions.h"
#include "support/recording_prompter.h"
#include "support/screenshot_dir.h"
#include "ui/report_ctrl.h"

#ifndef VDZ_TEST_LANGUAGE
#define VDZ_TEST_LANGUAGE "English"
#endif

namespace vdz {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSite =
    "device sn=RC-NVS ip=192.168.1.10 type=NVS-IPCAM-RK3516_V2 p2p-id=QMP2P-LAB-0001\n"
    "device sn=RC-PASS ip=192.168.1.11 type=NVS-IPCAM-RK3588 sdk-password=other\n"
    "device sn=RC-SILENT ip=192.168.1.12 type=NVS-IPCAM-RK3588\n"
    "device sn=RC-IPC ip=192.168.1.13 type=IPC_NVS_RK3516\n";

class Env : public ::testing::Environment {
 public:
  void SetUp() override {
    const std::string dir = (fs::temp_directory_path() / "vdz-remote-cfg").string();
    fs::create_directories(dir);
    std::ofstream(dir + "/QmDodEveva_cfg.ini") << "[SETTINGS]\nLanguage=" VDZ_TEST_LANGUAGE "\n";
    setenv("VDZ_CONFIG_DIR", dir.c_str(), 1);
    setenv("VDZ_DATA_DIR", VDZ_LANGUAGE_DIR, 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    std::ofstream(dir + "/remote.site") << kSite;
    std::string error;
    ASSERT_TRUE(
        lab::DevsimControl::FromEnvironment().Send("load " + dir + "/remote.site", nullptr, &error))
        << error;
    static int argc = 1;
    static char name[] = "remote_config_lab_test";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override {
    app_.reset();
    lab::DevsimControl::FromEnvironment().Send("site initial");
  }

 private:
  std::unique_ptr<QApplication> app_;
};
const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new Env);

template <typename P>
bool WaitFor(P done, int limit_ms) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > limit_ms)
      return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

QString Text(const char* key) {
  return QString::fromStdString(LookupText(key));
}

std::string Unhex(const std::string& hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

// The pages in the language of the window, so that their texts compare with the window's.
int PageLanguage() {
  return std::string(CurrentLanguageCode()) == "zh-cn" ? cmd::kMenuRemoteZhCn
                                                       : cmd::kMenuRemoteEnglish;
}

class RemoteConfigLab : public ::testing::Test {
 protected:
  void SetUp() override {
    control_.Send("sdk-misbehave all none");
    control_.Send("sdk-refuse-value all none");
    window_ = lab::OpenMainWindow(prompter_);
    ASSERT_TRUE(WaitFor([&] { return Row("RC-NVS") >= 0 && Row("RC-IPC") >= 0; }, 20000));
  }
  void TearDown() override {
    window_->close();
    window_.reset();
  }
  int Row(const std::string& serial) {
    const auto device = control_.Device(serial);
    for (int r = 0; device && r < window_->DeviceList()->GetItemCount(); ++r)
      if (window_->DeviceList()->GetItemText(r, 0).toStdString() == device->ip)
        return r;
    return -1;
  }
  void Select(const std::string& serial) {
    window_->DeviceList()->SetAllItemStates(CReportCtrl::kItemAll, CReportCtrl::kItemUnselected);
    window_->DeviceList()->SetItemStates(Row(serial), CReportCtrl::kItemSelected);
  }
  CRemoteCfgDlg* Open(const std::string& serial, int command) {
    Select(serial);
    EXPECT_TRUE(window_->RunCommand(command));
    return window_->RemoteConfig().window();
  }
  QLabel* Status(CRemoteCfgDlg* host) { return host->findChild<QLabel*>(QStringLiteral("status")); }
  QWidget* Page(CRemoteCfgDlg* host, const char* key) {
    return host->findChild<QWidget*>(QString::fromLatin1(key));
  }
  // Opens the pages and waits until every page has been read (Apply is offered then).
  CRemoteCfgDlg* OpenReady(const std::string& serial, int command) {
    CRemoteCfgDlg* host = Open(serial, command);
    if (host == nullptr)
      return nullptr;
    auto* apply = host->findChild<QPushButton*>(QStringLiteral("apply"));
    return WaitFor([&] { return apply->isEnabled(); }, 20000) ? host : nullptr;
  }
  bool SetDocument(const std::string& serial, int command, const std::string& xml) {
    auto dev = control_.Device(serial);
    if (!dev)
      return false;
    const int handle = QM_NETSDK_IPC_Login(
        dev->ip.c_str(), static_cast<unsigned short>(dev->sdk_port), "admin", "admin", 0);
    if (handle <= 0)
      return false;
    const int rc =
        QM_NETSDK_IPC_SetDVRConfig(handle, command, 0, xml.c_str(), static_cast<int>(xml.size()));
    QM_NETSDK_IPC_Logout(handle);
    return rc == 0;
  }
  std::string StoredDocument(const std::string& serial, int command) {
    std::vector<std::string> lines;
    if (!control_.Send("sdk-document " + serial + " " + std::to_string(command), &lines) ||
        lines.size() != 1)
      return {};
    return Unhex(lab::ParseReplyLine(lines[0])["hex"]);
  }
  void Picture(QWidget* w, const QString& name) {
    const QString dir = test::ScreenshotDir(VDZ_ARTIFACT_DIR);
    const QString file = QDir(dir).filePath(
        QStringLiteral("%1-%2.png").arg(name, QString::fromLatin1(CurrentLanguageCode())));
    EXPECT_TRUE(w->grab().save(file)) << file.toStdString();
  }

  lab::DevsimControl control_ = lab::DevsimControl::FromEnvironment();
  test::RecordingPrompter prompter_;
  std::unique_ptr<CQmDadIvidudEvuzDlg> window_;
};

TEST_F(RemoteConfigLab, OpeningTwiceGivesOneWindowAndOneHandle) {
  CRemoteCfgDlg* first = Open("RC-NVS", cmd::kMenuRemoteEnglish);
  ASSERT_NE(first, nullptr);
  const int first_handle = first->handle();
  EXPECT_GT(first_handle, 0);
  EXPECT_EQ(first->windowTitle(), Text(keys::TEXT37));
  CRemoteCfgDlg* second = Open("RC-NVS", cmd::kMenuRemoteZhCn);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->language_code(), "zh-cn");
  EXPECT_EQ(window_->findChildren<QWidget*>(QStringLiteral("CRemoteCfgDlg")).size(), 1);
  EXPECT_NE(second->handle(), first_handle);
  EXPECT_EQ(CFG_UC_ShowModelessDlg(first_handle, 0, 0, 0, 0), -1);  // released
  const int handle = second->handle();
  second->close();
  EXPECT_EQ(CFG_UC_ShowModelessDlg(handle, 0, 0, 0, 0), -1);
}

// Every page in the window's language, read from the device: no text on a page but the
// language's own, the tables' names and the device's values; pictures of each.
TEST_F(RemoteConfigLab, EveryPageSpeaksTheChosenLanguage) {
  CRemoteCfgDlg* host = OpenReady("RC-NVS", PageLanguage());
  ASSERT_NE(host, nullptr);
  QSet<QString> literals = {QStringLiteral("H264"), QStringLiteral("H265"), QStringLiteral("CBR"),
                            QStringLiteral("VBR"), QStringLiteral("P2P")};
  for (const TimeZoneEntry& z : TimeZoneList(CurrentLanguageCode()))
    if (z.value >= 0)
      literals.insert(QString::fromUtf8(z.name));
  for (const MotionGridEntry& g : MotionGridTable())
    literals.insert(QString::fromLatin1(g.name));
  for (int stream : {0, 1})
    for (const std::string& r : StreamResolutions(EncodeCapabilities(), stream))
      literals.insert(QString::fromStdString(r));
  auto* tabs = host->findChild<QTabWidget*>();
  for (int i = 0; i < tabs->count(); ++i) {
    tabs->setCurrentIndex(i);
    QApplication::processEvents();
    const QWidget* page = tabs->widget(i);
    EXPECT_EQ(page->findChild<QLabel*>(QStringLiteral("message"))->text(), QString())
        << page->objectName().toStdString();
    const QStringList foreign =
        test::ForeignCaptions(*host, [&](const QString& t) { return literals.contains(t); });
    EXPECT_TRUE(foreign.isEmpty()) << page->objectName().toStdString() << ": "
                                   << foreign.join(QStringLiteral(" | ")).toStdString();
    Picture(host, QStringLiteral("remote-config-") + page->objectName().toLower());
  }
}

// The motion page: a rectangle drawn over the camera's picture, a sensitivity and a schedule
// span reach the device; a value no page knows goes back as it came.
TEST_F(RemoteConfigLab, MotionGridScheduleAndUnknownValuesReachTheDevice) {
  std::string motion = BuildMotionDocument(1, 50, 30, 18, 22);
  const std::string unknown = " SmartFilter=\"x&amp;1\"";
  motion.insert(motion.find(" \t\t\tSensitivity"), unknown);
  ASSERT_TRUE(SetDocument("RC-NVS", proto::kCfgMotionDetection, motion));
  CRemoteCfgDlg* host = OpenReady("RC-NVS", PageLanguage());
  ASSERT_NE(host, nullptr);
  auto* page = static_cast<remoteconfig::ConfigPage*>(Page(host, "RC_PAGE_MOTION"));
  host->findChild<QTabWidget*>()->setCurrentWidget(page);
  QApplication::processEvents();
  remoteconfig::MotionGridWidget* grid = page->motion_grid();
  ASSERT_NE(grid, nullptr);
  ASSERT_EQ(grid->columns(), 22);
  ASSERT_EQ(grid->rows(), 18);
  // The grid lies over a still of the camera's sub stream.
  EXPECT_TRUE(WaitFor([&] { return grid->has_picture(); }, 15000));

  QTest::mousePress(grid, Qt::LeftButton, {}, grid->BlockRect(2, 3).center());
  QTest::mouseMove(grid, grid->BlockRect(4, 4).center());
  QTest::mouseRelease(grid, Qt::LeftButton, {}, grid->BlockRect(5, 6).center());
  std::string blocks(22 * 18, '1');
  for (int r = 3; r <= 6; ++r)
    for (int c = 2; c <= 5; ++c)
      blocks[r * 22 + c] = '0';
  EXPECT_EQ(grid->blocks(), blocks);
  page->findChild<QSlider*>(QStringLiteral("MotionDetectAlarm @Sensitivity"))->setValue(65);
  // A drag along the schedule's bar from 08:00 to 18:00.
  remoteconfig::ScheduleTimeline* schedule = page->schedule();
  ASSERT_NE(schedule, nullptr);
  const QRect bar = schedule->BarRect(0);
  const auto at = [&](int minutes) {
    return QPoint(bar.left() + bar.width() * minutes / 1440 + 1, bar.center().y());
  };
  QTest::mousePress(schedule, Qt::LeftButton, {}, at(8 * 60));
  QTest::mouseMove(schedule, at(12 * 60));
  QTest::mouseRelease(schedule, Qt::LeftButton, {}, at(18 * 60));
  Picture(host, QStringLiteral("remote-config-motion-drawn"));

  host->findChild<QPushButton*>(QStringLiteral("apply"))->click();
  auto* message = page->findChild<QLabel*>(QStringLiteral("message"));
  ASSERT_TRUE(WaitFor([&] { return message->text() == Text(keys::RC_APPLY_OK); }, 10000))
      << message->text().toStdString();
  // Exactly the edited values changed; every other byte is the device's own.
  std::string expected = motion;
  const auto replace = [&](const std::string& from, const std::string& to) {
    const auto p = expected.find(from);
    ASSERT_NE(p, std::string::npos) << from;
    expected.replace(p, from.size(), to);
  };
  replace("BlockConfig=\"" + std::string(22 * 18, '1') + "\"", "BlockConfig=\"" + blocks + "\"");
  replace("Sensitivity=\"50\"", "Sensitivity=\"65\"");
  replace("\tStartTime=\" 0: 0: 0\"", "\tStartTime=\" 8: 0: 0\"");
  replace("\tEndTime=\"24: 0: 0\"", "\tEndTime=\"18: 0: 0\"");
  EXPECT_EQ(StoredDocument("RC-NVS", proto::kCfgMotionDetection), expected);
}

// A value the device refuses is shown at its field; the page's other edits and the other
// pages are written all the same.
TEST_F(RemoteConfigLab, RefusedValueShowsAtItsFieldAndTheRestApplies) {
  ASSERT_TRUE(control_.Send("sdk-refuse-value RC-NVS FrameRate 20"));
  CRemoteCfgDlg* host = OpenReady("RC-NVS", PageLanguage());
  ASSERT_NE(host, nullptr);
  QWidget* encode = Page(host, "RC_PAGE_ENCODE");
  auto* rate = encode->findChild<QSpinBox*>(QStringLiteral("Encode/EncodeConfig @FrameRate"));
  auto* bitrate = encode->findChild<QSpinBox*>(QStringLiteral("Encode/EncodeConfig @BitRate"));
  ASSERT_TRUE(rate && bitrate);
  rate->setValue(20);
  bitrate->setValue(3000);
  QWidget* maintain = Page(host, "RC_PAGE_MAINTAIN");
  maintain->findChild<QCheckBox*>(QStringLiteral("MaintainConfig @Enable"))->setChecked(true);
  host->findChild<QPushButton*>(QStringLiteral("apply"))->click();
  auto* encode_message = encode->findChild<QLabel*>(QStringLiteral("message"));
  auto* maintain_message = maintain->findChild<QLabel*>(QStringLiteral("message"));
  ASSERT_TRUE(WaitFor(
      [&] {
        return encode_message->text() == Text(keys::RC_APPLY_FAILED) &&
               maintain_message->text() == Text(keys::RC_APPLY_OK);
      },
      15000))
      << encode_message->text().toStdString();
  auto* error = encode->findChild<QLabel*>(QStringLiteral("Encode/EncodeConfig @FrameRate error"));
  EXPECT_EQ(error->text(), Text(keys::RC_REFUSED));
  EXPECT_TRUE(error->isVisibleTo(encode));
  const std::string stored = StoredDocument("RC-NVS", proto::kCfgEncoding);
  EXPECT_NE(stored.find("BitRate=\"3000\""), std::string::npos) << stored;
  EXPECT_EQ(stored.find("FrameRate=\"20\""), std::string::npos) << stored;
  EXPECT_NE(StoredDocument("RC-NVS", proto::kCfgMaintenance).find("Enable=\"1\""),
            std::string::npos);
  host->findChild<QTabWidget*>()->setCurrentWidget(encode);
  Picture(host, QStringLiteral("remote-config-refused"));
  control_.Send("sdk-refuse-value RC-NVS none");
}

TEST_F(RemoteConfigLab, RefusedLoginAndUnreachableDeviceSayWhy) {
  CRemoteCfgDlg* host = Open("RC-PASS", PageLanguage());
  ASSERT_NE(host, nullptr);
  EXPECT_TRUE(WaitFor([&] { return Status(host)->text() != Text(keys::RC_CONNECTING); }, 10000));
  EXPECT_EQ(Status(host)->text(), Text(keys::RC_LOGIN_REFUSED));

  ASSERT_TRUE(control_.Send("sdk-misbehave RC-SILENT silent"));
  host = Open("RC-SILENT", PageLanguage());
  ASSERT_NE(host, nullptr);
  EXPECT_TRUE(WaitFor([&] { return Status(host)->text() != Text(keys::RC_CONNECTING); }, 15000));
  EXPECT_EQ(Status(host)->text(), Text(keys::RC_UNREACHABLE));
}

TEST_F(RemoteConfigLab, ReopeningOrClosingDoesNotWaitForTheDevice) {
  auto sessions = [&](const char* key) {
    std::vector<std::string> lines;
    control_.Send("sdk-sessions RC-NVS", &lines);
    return lines.empty() ? -1 : std::stoi(lab::ParseReplyLine(lines[0])[key]);
  };
  // The list's own login of the device is in place; the pages' logins are held unanswered.
  ASSERT_TRUE(WaitFor([&] { return sessions("sessions") == 1; }, 10000));
  ASSERT_TRUE(control_.Send("sdk-misbehave RC-NVS hold-logins"));
  ASSERT_NE(Open("RC-NVS", cmd::kMenuRemoteEnglish), nullptr);
  ASSERT_TRUE(WaitFor([&] { return sessions("connections") == 2; }, 3000));
  QElapsedTimer clock;
  clock.start();
  CRemoteCfgDlg* second = Open("RC-NVS", PageLanguage());
  const qint64 reopen_ms = clock.elapsed();
  ASSERT_NE(second, nullptr);
  ASSERT_TRUE(WaitFor([&] { return sessions("connections") == 3; }, 3000));
  clock.restart();
  second->close();
  const qint64 close_ms = clock.elapsed();
  // A held login lasts the library's 3 s bound.
  EXPECT_LT(reopen_ms, 1000);
  EXPECT_LT(close_ms, 1000);

  // The held logins succeed now, after their windows have gone: both are logged out again.
  ASSERT_TRUE(control_.Send("sdk-misbehave RC-NVS none"));
  EXPECT_TRUE(
      WaitFor([&] { return sessions("sessions") == 1 && sessions("connections") == 1; }, 8000))
      << "sessions " << sessions("sessions");
}

TEST_F(RemoteConfigLab, DeviceTypeWithoutNvsIsRefused) {
  prompter_.boxes.clear();
  EXPECT_EQ(Open("RC-IPC", cmd::kMenuRemoteEnglish), nullptr);
  ASSERT_EQ(prompter_.boxes.size(), 1u);
  EXPECT_EQ(prompter_.boxes[0].text, "不支持设备类型为IPC_NVS_RK3516的远程配置");
  EXPECT_EQ(prompter_.boxes[0].caption, "ERROR");
}

TEST_F(RemoteConfigLab, WindowFitsTheScreenAndIsCentred) {
  struct Case {
    QRect screen;
    QRect window;
  };
  const Case cases[] = {{QRect(0, 0, 1920, 1080), QRect(560, 120, 800, 840)},
                        {QRect(0, 0, 640, 480), QRect(0, 0, 640, 480)},
                        {QRect(100, 0, 800, 600), QRect(100, 0, 800, 600)}};
  for (const Case& c : cases) {
    window_->RemoteConfig().SetScreenArea([&c] { return c.screen; });
    CRemoteCfgDlg* host = Open("RC-NVS", cmd::kMenuRemoteEnglish);
    ASSERT_NE(host, nullptr);
    EXPECT_EQ(host->size(), c.window.size());
    // The platform's window frame may shift the client area by a pixel or two.
    EXPECT_LE((host->geometry().center() - c.window.center()).manhattanLength(), 4)
        << host->geometry().x() << "," << host->geometry().y();
  }
}

TEST_F(RemoteConfigLab, LabelWindowFromTheList) {
  Select("RC-NVS");
  ASSERT_TRUE(window_->RunCommand(cmd::kPrintLabel));
  CPrintDlg* label = window_->Labels().window();
  ASSERT_NE(label, nullptr);
  for (int id : {1068, 1078, 1072, 1066, 1067})
    label->findChild<QCheckBox*>(QString::number(id))->setChecked(true);
  label->grab();
  EXPECT_EQ(label->preview_layout().lines, 5);
  EXPECT_FALSE(label->preview_layout().qr.isEmpty());
  EXPECT_EQ(label->windowTitle(), Text(keys::STRING_PRINT_QR));
  Picture(label, QStringLiteral("label"));

  // A click in the list hands the open window the device clicked.
  Select("RC-IPC");
  ASSERT_TRUE(window_->RunCommand(cmd::kListRowClick));
  ASSERT_TRUE(label->device().has_value());
  EXPECT_EQ(FieldText(label->device()->SerialNumber), "RC-IPC");
}

}  // namespace
}  // namespace vdz
