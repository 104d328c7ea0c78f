// A mixed site: 30 of our devices and 30 other makers' ONVIF cameras, nine of them misbehaving
// as real cameras do, and a PC's WS-Discovery (Debian's wsdd). Every device is listed once
// within three seconds of the search start, by the command line and by the window, the PC
// is not, and the cameras' rows say who they are, or why they could not be asked.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QElapsedTimer>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/batch_report_commands.h"
#include "app/command_ids.h"
#include "app/preview_commands.h"
#include "discovery/device_list_port.h"
#include "lab/cli_process.h"
#include "lab/devsim_control.h"
#include "lab/onvif_lab_support.h"
#include "lab/onvif_window_support.h"
#include "lab/open_main_window.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"
#include "support/recording_prompter.h"
#include "ui/wnd_ctrl.h"
#include "ui/wnd_manager.h"

namespace vdz {
namespace {

constexpr int kOurs = 30, kCameras = 30;
// --onvif-spread: camera 7 takes only HTTP Digest, camera 8 runs an hour off, camera 9 keeps
// another password than the site's.
constexpr char kDigestOnly[] = "ONV00000007";
constexpr char kClockSkew[] = "ONV00000008";
constexpr char kWrongPassword[] = "ONV00000009";
constexpr char kPcAddress[] = "192.168.1.240";

const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new lab::OnvifAccountEnvironment);
using lab::Closing;

class MixedSiteLab : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // A PC announcing itself by WS-Discovery on an address of its own.
    lab::DevsimControl::FromEnvironment().Send(std::string("host add ") + kPcAddress);
    const std::string ns = std::getenv("VDZ_LAB_DEV_NS") ? std::getenv("VDZ_LAB_DEV_NS") : "";
    wsdd_ = lab::RunShell("ip netns exec " + ns + " sh -c 'wsdd -4 -i br0 -n LAB-PC " +
                          ">/dev/null 2>&1 & echo $!'")
                .out;
  }
  static void TearDownTestSuite() {
    if (!wsdd_.empty())
      std::system(("kill " + wsdd_).c_str());
  }
  static bool WsddRunning() {
    return !wsdd_.empty() && lab::RunShell("kill -0 " + wsdd_).status == 0;
  }
  std::map<std::string, std::string> Camera(const char* serial) {
    for (auto& c : lab::OnvifCameras(control_))
      if (c["serial"] == serial)
        return c;
    ADD_FAILURE() << "no camera " << serial;
    return {{"ip", ""}, {"maker", ""}, {"model", ""}, {"firmware", ""}, {"mac", ""}};
  }

  lab::DevsimControl control_ = lab::DevsimControl::FromEnvironment();
  static inline std::string wsdd_;
};

TEST_F(MixedSiteLab, CommandLineListsEveryDeviceOnceAndIdentifiesTheCameras) {
  ASSERT_TRUE(WsddRunning());
  // --seconds 3: what is listed was found within three seconds.
  // The password comes from the environment, out of the process list.
  const lab::CliRun r = lab::RunShell(std::string("VDZ_ONVIF_PASSWORD=admin ") + VDZ_CLI +
                                      " search --seconds 3 --format json --user admin");
  ASSERT_EQ(r.status, 0) << r.out;
  const QJsonArray rows = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).array();
  std::map<std::string, QJsonObject> by_ip;
  int ours = 0, onvif = 0;
  for (const auto& value : rows) {
    const QJsonObject row = value.toObject();
    const std::string ip = row["ip"].toString().toStdString();
    EXPECT_TRUE(by_ip.emplace(ip, row).second) << ip << " listed twice";
    (row["protocol"].toString() == "onvif" ? onvif : ours)++;
  }
  EXPECT_EQ(ours, kOurs);
  EXPECT_EQ(onvif, kCameras);
  EXPECT_EQ(by_ip.count(kPcAddress), 0u);
  for (const char* serial : {kDigestOnly, kClockSkew}) {
    const auto camera = Camera(serial);
    ASSERT_TRUE(by_ip.count(camera.at("ip"))) << serial;
    const QJsonObject& row = by_ip[camera.at("ip")];
    EXPECT_EQ(row["serial"].toString().toStdString(), serial);
    EXPECT_EQ(row["maker"].toString().toStdString(), camera.at("maker"));
    EXPECT_EQ(row["type"].toString().toStdString(), camera.at("model"));
    EXPECT_EQ(row["version"].toString().toStdString(), camera.at("firmware"));
    EXPECT_EQ(row["mac"].toString().toStdString(), camera.at("mac"));
  }
  const auto refused = Camera(kWrongPassword);
  EXPECT_EQ(by_ip[refused.at("ip")]["serial"].toString(), QString());

  // --protocol onvif lists the cameras alone; the password may come from standard input.
  const lab::CliRun only = lab::RunShell(
      std::string("sh -c 'echo admin | ") + VDZ_CLI +
      " search --seconds 3 --format json --protocol onvif --user admin --password-stdin'");
  ASSERT_EQ(only.status, 0) << only.out;
  const QJsonArray cameras = QJsonDocument::fromJson(QByteArray::fromStdString(only.out)).array();
  EXPECT_EQ(cameras.size(), kCameras);
  for (const auto& value : cameras)
    EXPECT_EQ(value.toObject()["protocol"].toString(), QStringLiteral("onvif"));
  EXPECT_NE(only.out.find(std::string("\"serial\": \"") + kClockSkew + "\""), std::string::npos)
      << "the password from standard input logged in";
}

TEST_F(MixedSiteLab, WindowListsEveryDeviceOnceAndShowsEachCamerasState) {
  test::RecordingPrompter prompter;
  QElapsedTimer clock;
  clock.start();
  auto window = Closing(lab::OpenMainWindow(prompter));
  CReportCtrl* list = window->DeviceList();
  ASSERT_TRUE(lab::WaitFor([&] { return list->GetItemCount() >= kOurs + kCameras; }, 10000))
      << list->GetItemCount();
  const qint64 listed_ms = clock.elapsed();
  EXPECT_LE(listed_ms, 3000);
  std::cout << "all " << kOurs + kCameras << " rows listed " << listed_ms
            << " ms after the window opened\n";
  const auto row_of = [list](const std::string& ip) { return lab::RowOfAddress(*list, ip); };
  const std::string online = LookupText(keys::ONVIF_ONLINE);
  const auto skew = Camera(kClockSkew);
  const auto digest = Camera(kDigestOnly);
  ASSERT_TRUE(lab::WaitFor(
      [&] {
        for (const auto* c : {&skew, &digest})
          if (list->GetItemText(row_of(c->at("ip")), kStatusColumn).toStdString() != online)
            return false;
        return true;
      },
      15000));
  for (const auto* c : {&skew, &digest}) {
    const int r = row_of(c->at("ip"));
    EXPECT_EQ(list->GetItemText(r, kDeviceNameColumn).toStdString(), c->at("maker"));
    EXPECT_EQ(list->GetItemText(r, kModelColumn).toStdString(), c->at("model"));
    EXPECT_EQ(list->GetItemText(r, kVersionColumn).toStdString(), c->at("firmware"));
    EXPECT_EQ(list->GetItemText(r, kMacColumn).toStdString(), c->at("mac"));
  }
  const int refused = row_of(Camera(kWrongPassword).at("ip"));
  EXPECT_TRUE(lab::WaitFor(
      [&] {
        return list->GetItemText(refused, kStatusColumn)
            .startsWith(QString::fromStdString(LookupText(keys::ONVIF_LOGIN_FAILED)));
      },
      15000))
      << list->GetItemText(refused, kStatusColumn).toStdString();
  std::set<std::string> addresses;
  for (int r = 0; r < list->GetItemCount(); ++r)
    EXPECT_TRUE(addresses.insert(list->GetItemText(r, kAddressColumn).toStdString()).second);
  EXPECT_EQ(addresses.size(), static_cast<std::size_t>(kOurs + kCameras));
  EXPECT_EQ(addresses.count(kPcAddress), 0u);
  EXPECT_TRUE(WsddRunning());
}

// The command line: time sync reaches a camera by its protocol, an output command skips it.
TEST_F(MixedSiteLab, CommandLineSyncsACamerasClockAndSkipsWhatItLacks) {
  const auto camera = Camera(kDigestOnly);
  const std::string ours = control_.Devices().front().ip;
  const std::string env = "VDZ_ONVIF_USER=admin VDZ_ONVIF_PASSWORD=admin ";
  lab::CliRun r = lab::RunShell(env + VDZ_CLI + " set time-sync --seconds 3 --format json " + ours +
                                " " + camera.at("ip"));
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("\"ip\": \"" + camera.at("ip") + "\", \"ok\": true"), std::string::npos)
      << r.out;
  EXPECT_NE(Camera(kDigestOnly).at("last-time-set"), "-");
  r = lab::RunShell(env + VDZ_CLI + " set output 1 --seconds 3 " + ours + " " + camera.at("ip"));
  EXPECT_NE(r.out.find(camera.at("ip") + "  no   not supported by this device"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("1 succeeded, 0 failed, 1 skipped"), std::string::npos) << r.out;
}

// The window's account editor: names go to the settings file, passwords to a file only the
// user can read; a name alone keeps its saved password.
TEST_F(MixedSiteLab, WindowKeepsAccountPasswordsOutOfTheSettingsFile) {
  test::RecordingPrompter prompter;
  MainWindowOptions options;
  options.prompter = &prompter;
  std::string shown;
  options.accounts_dialog = [&shown](const std::string& current) {
    shown = current;
    return std::optional<std::string>("admin\nviewer s3cret word\n");
  };
  auto window = Closing(std::make_unique<CQmDadIvidudEvuzDlg>(options));
  window->Initialise();
  ASSERT_TRUE(window->RunCommand(cmd::kEditOnvifAccounts));
  EXPECT_EQ(shown, "admin\n");  // names only, never a password
  const std::string dir = std::getenv("VDZ_CONFIG_DIR");
  std::stringstream settings, secrets;
  settings << std::ifstream(dir + "/QmDodEveva_cfg.ini").rdbuf();
  secrets << std::ifstream(dir + "/onvif-secrets").rdbuf();
  EXPECT_NE(settings.str().find("viewer"), std::string::npos) << settings.str();
  EXPECT_EQ(settings.str().find("s3cret"), std::string::npos);
  EXPECT_NE(secrets.str().find("s3cret"), std::string::npos);
  EXPECT_NE(secrets.str().find("admin\tadmin"), std::string::npos) << "the kept password";
  struct stat st {};
  ASSERT_EQ(stat((dir + "/onvif-secrets").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_TRUE(prompter.boxes.empty());
}

double MeanLuma(const QImage& image) {
  double sum = 0;
  int n = 0;
  for (int y = 0; y < image.height(); y += 4)
    for (int x = 0; x < image.width(); x += 4, ++n)
      sum += qGray(image.pixel(x, y));
  return n > 0 ? sum / n : 0.0;
}

// A camera of another maker is previewed from the stream address its profile names: by a
// double click in the window, and into a picture by the command line.
TEST_F(MixedSiteLab, OnvifCameraIsPreviewedAndItsPictureSaved) {
  const auto camera = Camera(kClockSkew);
  test::RecordingPrompter prompter;
  auto window = Closing(lab::OpenMainWindow(prompter));
  CReportCtrl* list = window->DeviceList();
  int row = -1;
  ASSERT_TRUE(lab::WaitFor(
      [&] {
        for (int r = 0; r < list->GetItemCount(); ++r)
          if (list->GetItemText(r, kAddressColumn).toStdString() == camera.at("ip") &&
              list->GetItemText(r, kStatusColumn).toStdString() == LookupText(keys::ONVIF_ONLINE))
            row = r;
        return row >= 0;
      },
      15000));
  list->SetAllItemStates(CReportCtrl::kItemAll, CReportCtrl::kItemUnselected);
  list->SetItemStates(row, CReportCtrl::kItemSelected);
  Q_EMIT list->ItemDoubleClicked(row);
  ASSERT_TRUE(window->Preview().Playing());
  const auto frames = [&]() -> int { return window->Preview().Controller().State().frame_count; };
  ASSERT_TRUE(lab::WaitFor([&] { return frames() >= 50; }, 20000)) << frames();
  lab::WaitFor([] { return false; }, 300);
  const QImage shown = window->VideoGrid()->Cell(0)->RenderSurface()->grab().toImage();
  EXPECT_GT(MeanLuma(shown), 40.0) << "the cell is black";
  std::cout << "ONVIF preview: " << frames() << " frames, mean luma " << MeanLuma(shown) << "\n";
  window->RunCommand(cmd::kMenuStopPreview);

  const std::string out = "/tmp/vdz-mixed-snapshot.png";
  std::remove(out.c_str());
  const lab::CliRun r =
      lab::RunShell(std::string("VDZ_ONVIF_USER=admin VDZ_ONVIF_PASSWORD=admin ") + VDZ_CLI +
                    " snapshot-stream " + camera.at("ip") + " --out " + out + " --timeout 10");
  EXPECT_EQ(r.status, 0) << r.out;
  const QImage picture(QString::fromStdString(out));
  ASSERT_FALSE(picture.isNull());
  EXPECT_EQ(picture.width(), 1920);  // stream 0: the first profile, the main stream
  EXPECT_GT(MeanLuma(picture), 40.0);
}

// A batch time sync over ten of our devices and ten cameras sets every clock, the cameras' by
// their own protocol; a command the cameras lack skips them and says why.
TEST_F(MixedSiteLab, BatchTimeSyncReachesBothKindsAndOtherCommandsSkipTheCameras) {
  test::RecordingPrompter prompter;
  auto window = Closing(lab::OpenMainWindow(prompter));
  CReportCtrl* list = window->DeviceList();
  const QString online = QString::fromStdString(LookupText(keys::ONVIF_ONLINE));
  std::vector<int> ours, cameras;
  ASSERT_TRUE(lab::WaitFor(
      [&] {
        ours.clear();
        cameras.clear();
        for (int r = 0; r < list->GetItemCount(); ++r) {
          const auto* row = reinterpret_cast<const DeviceRow*>(list->GetItemData(r));
          if (row->protocol == kProtocolOurs && row->online && row->login_handle > 0)
            ours.push_back(r);
          else if (list->GetItemText(r, kStatusColumn) == online)
            cameras.push_back(r);
        }
        return ours.size() >= 10 && cameras.size() >= 10;
      },
      20000))
      << ours.size() << " of ours, " << cameras.size() << " cameras";
  for (int r = 0; r < list->GetItemCount(); ++r)
    list->SetCheck(r, false);
  std::vector<std::string> camera_ips;
  for (int i = 0; i < 10; ++i) {
    list->SetCheck(ours[static_cast<std::size_t>(i)], true);
    list->SetCheck(cameras[static_cast<std::size_t>(i)], true);
    camera_ips.push_back(
        list->GetItemText(cameras[static_cast<std::size_t>(i)], kAddressColumn).toStdString());
  }
  lab::RunToEnd(*window, cmd::kMenuSyncTime);
  EXPECT_EQ(window->BatchReports().last_summary(), "20 succeeded, 0 failed, 0 skipped");
  for (const std::string& ip : camera_ips) {
    std::map<std::string, std::string> camera;
    for (auto& c : lab::OnvifCameras(control_))
      if (c["ip"] == ip)
        camera = c;
    EXPECT_NE(camera["last-time-set"], "-") << ip;
  }

  // The bad-pixel save is ours alone: the cameras are skipped as not supported.
  prompter.boxes.clear();
  lab::RunToEnd(*window, cmd::kMenuSaveBadPixels);
  EXPECT_EQ(window->BatchReports().last_summary(), "10 succeeded, 0 failed, 10 skipped");
  EXPECT_EQ(list->GetItemText(cameras[0], kStatusColumn).toStdString(),
            LookupText(keys::NOT_SUPPORTED_BY_DEVICE));
}

}  // namespace
}  // namespace vdz
