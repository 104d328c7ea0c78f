// Other makers' ONVIF cameras beside our devices: their snapshots through the window's batch
// and the command line, saved as JPEG files by address, and their web page, fetched by curl.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "app/batch_report_commands.h"
#include "app/command_ids.h"
#include "app/qr_web_commands.h"
#include "app/snapshot_commands.h"
#include "lab/cli_process.h"
#include "lab/devsim_control.h"
#include "lab/onvif_lab_support.h"
#include "lab/onvif_window_support.h"
#include "lab/open_main_window.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"
#include "support/recording_prompter.h"

namespace vdz {
namespace {

namespace fs = std::filesystem;

// --onvif-spread: camera 1 speaks SOAP 1.1, 7 takes only HTTP Digest, 8 runs an hour off,
// 9 keeps another password than the site's.
constexpr char kSoap11[] = "ONV00000001";
constexpr char kDigestOnly[] = "ONV00000007";
constexpr char kClockSkew[] = "ONV00000008";
constexpr char kWrongPassword[] = "ONV00000009";
const std::string kAccountEnv = "VDZ_ONVIF_USER=admin VDZ_ONVIF_PASSWORD=admin ";

const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new lab::OnvifAccountEnvironment);

class OnvifPicturesLab : public ::testing::Test {
 protected:
  void SetUp() override { fs::remove_all(dir_); }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Ip(const char* serial) {
    for (auto& c : lab::OnvifCameras(control_))
      if (c["serial"] == serial)
        return c["ip"];
    ADD_FAILURE() << "no camera " << serial;
    return "0.0.0.0";
  }
  std::vector<fs::path> Pictures(const std::string& ip) {
    std::vector<fs::path> files;
    if (fs::exists(dir_ / ip))
      for (const auto& e : fs::directory_iterator(dir_ / ip))
        files.push_back(e.path());
    return files;
  }

  lab::DevsimControl control_ = lab::DevsimControl::FromEnvironment();
  const fs::path dir_ = fs::temp_directory_path() / ("vdz-onvif-snap-" + std::to_string(getpid()));
};

// The picture the simulator takes: a 320x240 JPEG.
void ExpectSimulatorJpeg(const fs::path& file) {
  QImage image;
  ASSERT_TRUE(image.load(QString::fromStdString(file.string()), "JPG")) << file;
  EXPECT_EQ(image.size(), QSize(320, 240)) << file;
  std::cout << file << ": " << fs::file_size(file) << " bytes, " << image.width() << "x"
            << image.height() << "\n";
}

TEST_F(OnvifPicturesLab, WindowSnapshotsCamerasBesideOursAndOpensACamerasWebPage) {
  test::RecordingPrompter prompter;
  const lab::ClosingWindow window = lab::Closing(lab::OpenMainWindow(prompter));
  window->Snapshots().SetFolder(dir_.string());
  std::vector<std::string> opened;
  window->QrWeb().SetOpener([&opened](const QUrl& url) {
    opened.push_back(url.toString().toStdString());
    return true;
  });
  CReportCtrl* list = window->DeviceList();
  const auto row_of = [list](const std::string& ip) { return lab::RowOfAddress(*list, ip); };
  const auto status = [&](const std::string& ip) {
    return list->GetItemText(row_of(ip), kStatusColumn).toStdString();
  };
  const std::string ours = control_.Devices().front().ip;
  const std::string digest = Ip(kDigestOnly), skew = Ip(kClockSkew), refused = Ip(kWrongPassword);
  const std::string online = LookupText(keys::ONVIF_ONLINE);
  ASSERT_TRUE(lab::WaitFor(
      [&] {
        const int at = row_of(ours);
        const auto* row =
            at >= 0 ? reinterpret_cast<const DeviceRow*>(list->GetItemData(at)) : nullptr;
        return row != nullptr && row->online && row->login_handle > 0 && status(digest) == online &&
               status(skew) == online &&
               status(refused).rfind(LookupText(keys::ONVIF_LOGIN_FAILED), 0) == 0;
      },
      20000));
  for (int r = 0; r < list->GetItemCount(); ++r)
    list->SetCheck(r, false);
  for (const std::string& ip : {ours, digest, skew, refused})
    list->SetCheck(row_of(ip), true);
  lab::RunToEnd(*window, cmd::kBatchSnapshot);
  EXPECT_EQ(window->BatchReports().last_summary(), "3 succeeded, 1 failed, 0 skipped");
  std::cout << "batch report: " << window->BatchReports().last_summary() << "\n";
  EXPECT_EQ(status(refused), LookupText(keys::SNAPPIC_REQFAIL));
  EXPECT_TRUE(Pictures(refused).empty());
  for (const std::string& ip : {digest, skew}) {
    EXPECT_EQ(status(ip), LookupText(keys::SNAPPIC_SAVED)) << ip;
    const auto files = Pictures(ip);
    ASSERT_EQ(files.size(), 1u) << ip;
    EXPECT_TRUE(std::regex_match(files[0].filename().string(), std::regex(R"(\d{14}\.jpg)")))
        << files[0];
    ExpectSimulatorJpeg(files[0]);
  }
  EXPECT_TRUE(lab::WaitFor([&] { return Pictures(ours).size() == 1; }, 8000)) << "ours too";

  // Once more from the menu: a second file, the first one kept.
  list->SetAllItemStates(CReportCtrl::kItemAll, CReportCtrl::kItemUnselected);
  list->SetItemStates(row_of(digest), CReportCtrl::kItemSelected);
  lab::RunToEnd(*window, cmd::kMenuSnapshot);
  EXPECT_EQ(Pictures(digest).size(), 2u);

  // The web page of a camera: at its device service's port, and a page a browser can show.
  const std::string web = Ip(kSoap11);
  list->SetAllItemStates(CReportCtrl::kItemAll, CReportCtrl::kItemUnselected);
  list->SetItemStates(row_of(web), CReportCtrl::kItemSelected);
  window->RunCommand(cmd::kMenuOpenWeb);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], "http://" + web + ":80");
  const lab::CliRun page = lab::RunShell(
      "curl -s -m 5 -o /dev/null -w '%{http_code} "
      "%{content_type}' " +
      opened[0]);
  EXPECT_EQ(page.out.rfind("200 text/html", 0), 0u) << page.out;
}

TEST_F(OnvifPicturesLab, CommandLineSavesACamerasSnapshotAndCurlFetchesItWithDigest) {
  const std::string ip = Ip(kDigestOnly);
  const lab::CliRun r = lab::RunShell(kAccountEnv + VDZ_CLI + " snapshot " + ip + " --dir " +
                                      dir_.string() + " --format json --seconds 3");
  ASSERT_EQ(r.status, 0) << r.out;
  const QJsonArray rows = QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).array();
  ASSERT_EQ(rows.size(), 1) << r.out;
  const QJsonObject row = rows[0].toObject();
  EXPECT_TRUE(row["ok"].toBool());
  const fs::path file = row["result"].toString().toStdString();
  EXPECT_EQ(file.parent_path(), dir_ / ip);
  ExpectSimulatorJpeg(file);

  // An independent Digest client gets the picture from the address the camera names.
  const fs::path fetched = dir_ / "curl.jpg";
  const lab::CliRun curl =
      lab::RunShell("curl -s -m 5 --digest -u admin:admin -o " + fetched.string() +
                    " -w '%{http_code}' http://" + ip + ":80/onvif/snapshot/0.jpg");
  EXPECT_EQ(curl.out, "200");
  ExpectSimulatorJpeg(fetched);
}

}  // namespace
}  // namespace vdz
