// Snapshots, the QR panel and the web page through the window against the simulated site.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPixmap>
#include <QProcess>
#include <QUrl>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "app/command_ids.h"
#include "app/main_window.h"
#include "app/qr_web_commands.h"
#include "app/snapshot_commands.h"
#include "lab/devsim_control.h"
#include "lab/open_main_window.h"
#include "lab/window_lab_support.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"
#include "support/recording_prompter.h"
#include "ui/report_ctrl.h"

namespace vdz {
namespace {

namespace fs = std::filesystem;

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new lab::OffscreenWindowEnvironment);
using lab::WaitFor;

std::string Text(const char* key) {
  return LookupText(key);
}

// zbarimg from Debian reads the symbol back.
std::string Decode(const QImage& image, const fs::path& file) {
  image.save(QString::fromStdString(file.string()));
  QProcess zbar;
  zbar.start(QStringLiteral("zbarimg"), {QStringLiteral("-q"), QStringLiteral("--raw"),
                                         QString::fromStdString(file.string())});
  if (!zbar.waitForFinished(10000))
    return "(zbarimg did not finish)";
  return QString::fromUtf8(zbar.readAllStandardOutput()).trimmed().toStdString();
}

class PictureWindowLab : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(control_.Send("snapshot-fault all none"));
    devices_ = control_.Devices();
    dir_ = fs::temp_directory_path() / ("vdz-snap-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    window_ = lab::OpenMainWindow(prompter_);
    window_->Snapshots().SetFolder((dir_ / "snap").string());
    auto opener = [this](const QUrl& url) {
      opened_.push_back(url.toString().toStdString());
      return true;
    };
    window_->Snapshots().SetOpener(opener);
    window_->QrWeb().SetOpener(opener);
    ASSERT_TRUE(WaitFor(
        [&] {
          if (List()->GetItemCount() != static_cast<int>(devices_.size()))
            return false;
          for (int r = 0; r < List()->GetItemCount(); ++r) {
            if (List()->GetItemText(r, 3).isEmpty())
              return false;
          }
          return true;
        },
        20000));
    QObject::connect(List()->model(), &QAbstractItemModel::dataChanged,
                     [this](const QModelIndex& top, const QModelIndex& bottom) {
                       for (int r = top.row(); r <= bottom.row(); ++r)
                         history_[r].push_back(List()->GetItemText(r, 4).toStdString());
                     });
  }
  void TearDown() override {
    window_->close();
    window_.reset();
    control_.Send("snapshot-fault all none");
    fs::remove_all(dir_);
  }
  CReportCtrl* List() { return window_->DeviceList(); }
  int Row(const lab::DevsimDevice& d) {
    for (int r = 0; r < List()->GetItemCount(); ++r) {
      if (List()->GetItemText(r, 0).toStdString() == d.ip)
        return r;
    }
    return -1;
  }
  std::string Cell(const lab::DevsimDevice& d, int column) {
    return List()->GetItemText(Row(d), column).toStdString();
  }
  void Check(const std::vector<lab::DevsimDevice>& devices) {
    for (int r = 0; r < List()->GetItemCount(); ++r)
      List()->SetCheck(r, false);
    for (const auto& d : devices)
      List()->SetCheck(Row(d), true);
  }
  void Select(const lab::DevsimDevice& d) {
    List()->SetItemStates(Row(d), CReportCtrl::kItemSelected);
  }
  std::vector<fs::path> Pictures(const std::string& ip) {
    std::vector<fs::path> files;
    const fs::path folder = dir_ / "snap" / ip;
    if (fs::exists(folder)) {
      for (const auto& e : fs::directory_iterator(folder)) {
        if (e.path().extension() == ".jpg")
          files.push_back(e.path());
      }
    }
    return files;
  }
  bool Showed(const lab::DevsimDevice& d, const std::string& text) {
    for (const auto& t : history_[Row(d)]) {
      if (t == text)
        return true;
    }
    return false;
  }
  int Requests(const lab::DevsimDevice& d) {
    std::vector<std::string> lines;
    control_.Send("snapshots " + d.serial, &lines);
    return lines.empty() ? -1 : std::stoi(lab::ParseReplyLine(lines[0]).at("requests"));
  }

  lab::DevsimControl control_ = lab::DevsimControl::FromEnvironment();
  std::vector<lab::DevsimDevice> devices_;
  fs::path dir_;
  test::RecordingPrompter prompter_;
  std::unique_ptr<CQmDadIvidudEvuzDlg> window_;
  std::vector<std::string> opened_;
  std::map<int, std::vector<std::string>> history_;
};

TEST_F(PictureWindowLab, BatchOfTenWithTwoPendingRequestsEightAndSavesTheirPictures) {
  std::vector<lab::DevsimDevice> ten(devices_.begin(), devices_.begin() + 10);
  for (int i = 0; i < 2; ++i)
    control_.Send("snapshot-fault " + ten[static_cast<std::size_t>(i)].serial + " never");
  Check({ten[0], ten[1]});
  lab::RunToEnd(*window_, cmd::kBatchSnapshot);
  std::map<std::string, int> before;
  for (const auto& d : ten)
    before[d.serial] = Requests(d);
  Check(ten);
  prompter_.boxes.clear();
  lab::RunToEnd(*window_, cmd::kBatchSnapshot);
  int waits = 0;
  for (const auto& b : prompter_.boxes) {
    EXPECT_EQ(b.kind, "INFO");
    waits += b.text == Text(keys::SNAPPING_WAIT) ? 1 : 0;
  }
  EXPECT_EQ(waits, 2);
  int requested = 0;
  for (const auto& d : ten)
    requested += Requests(d) - before[d.serial];
  EXPECT_EQ(requested, 8);
  for (std::size_t i = 2; i < ten.size(); ++i) {
    const auto& d = ten[i];
    ASSERT_TRUE(WaitFor([&] { return Pictures(d.ip).size() == 1; }, 8000)) << d.ip;
    EXPECT_TRUE(Showed(d, Text(keys::FILEDOWNLOADDING)));
    const fs::path file = Pictures(d.ip)[0];
    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 4u);
    EXPECT_EQ(bytes.substr(0, 3), "\xFF\xD8\xFF");
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\xFF\xD9");
    QImage image;
    ASSERT_TRUE(image.load(QString::fromStdString(file.string()), "JPG"));
    EXPECT_EQ(image.size(), QSize(320, 240));
    EXPECT_NE(file.filename().string().find(d.serial), std::string::npos);
  }
}

TEST_F(PictureWindowLab, SilentDeviceTimesOutBetweenFiveAndTenSecondsAndLateOnesDownloadNothing) {
  const auto silent = devices_[10];
  const auto late = devices_[11];
  control_.Send("snapshot-fault " + silent.serial + " never");
  control_.Send("snapshot-fault " + late.serial + " late");
  Check({silent, late});
  QElapsedTimer t;
  t.start();
  lab::RunToEnd(*window_, cmd::kBatchSnapshot);
  ASSERT_TRUE(WaitFor([&] { return Cell(silent, 4) == Text(keys::SNAPPING_TIMEOUT); }, 11000));
  std::printf("SNAPPING_TIMEOUT shown %lld ms after the request\n",
              static_cast<long long>(t.elapsed()));
  EXPECT_GE(t.elapsed(), 5000);
  EXPECT_LE(t.elapsed(), 10500);
  EXPECT_TRUE(WaitFor([&] { return Cell(late, 4) == Text(keys::SNAPPING_TIMEOUT); }, 2000));
  // The late picture is announced after 12 s: nothing is fetched.
  WaitFor([] { return false; }, 13000 - static_cast<int>(t.elapsed()));
  EXPECT_TRUE(Pictures(late.ip).empty());
  EXPECT_FALSE(Showed(late, Text(keys::FILEDOWNLOADDING)));
}

TEST_F(PictureWindowLab, RefusalSharedAddressFolderHostilePathAndOpenFolder) {
  const auto refusing = devices_[12];
  const auto hostile = devices_[13];
  control_.Send("snapshot-fault " + refusing.serial + " refuse");
  control_.Send("snapshot-fault " + hostile.serial + " hostile-path");
  Check({refusing, hostile});
  lab::RunToEnd(*window_, cmd::kBatchSnapshot);
  EXPECT_EQ(Cell(refusing, 4), Text(keys::SNAPPIC_REQFAIL));
  const fs::path escaped = fs::path("/tmp") / ("vdz-escaped-" + hostile.serial + ".jpg");
  fs::remove(escaped);
  ASSERT_TRUE(WaitFor([&] { return Pictures(hostile.ip).size() == 1; }, 8000));
  EXPECT_EQ(Pictures(hostile.ip)[0].filename(), escaped.filename());
  EXPECT_FALSE(fs::exists(escaped));

  // A single snapshot from the menu, twice from one address: one folder.
  const auto one = devices_[14];
  List()->SetAllItemStates(CReportCtrl::kItemAll, CReportCtrl::kItemUnselected);
  Select(one);
  lab::RunToEnd(*window_, cmd::kMenuSnapshot);
  ASSERT_TRUE(WaitFor([&] { return Pictures(one.ip).size() == 1; }, 8000));
  lab::RunToEnd(*window_, cmd::kMenuSnapshot);
  ASSERT_TRUE(WaitFor([&] { return Pictures(one.ip).size() == 2; }, 8000));

  lab::RunToEnd(*window_, cmd::kMenuOpenSnapshotFolder);
  ASSERT_FALSE(opened_.empty());
  EXPECT_EQ(opened_.back(), QUrl::fromLocalFile(QString::fromStdString((dir_ / "snap").string()))
                                .toString()
                                .toStdString());
  // Without a handler the path is shown instead.
  window_->Snapshots().SetOpener([](const QUrl&) { return false; });
  prompter_.boxes.clear();
  lab::RunToEnd(*window_, cmd::kMenuOpenSnapshotFolder);
  ASSERT_EQ(prompter_.boxes.size(), 1u);
  EXPECT_EQ(prompter_.boxes[0].text, (dir_ / "snap").string());
}

TEST_F(PictureWindowLab, QrPanelDecodesToTheIdAndKeepsItForADeviceWithout) {
  std::vector<lab::DevsimDevice> with_id;
  lab::DevsimDevice without;
  auto id_of = [&](const lab::DevsimDevice& d) {
    const auto* row = reinterpret_cast<const DeviceRow*>(List()->GetItemData(Row(d)));
    return std::string(row->record.P2pId);
  };
  for (const auto& d : devices_) {
    if (id_of(d).empty())
      without = d;
    else
      with_id.push_back(d);
  }
  ASSERT_GE(with_id.size(), 2u);
  ASSERT_FALSE(without.serial.empty());
  std::set<std::size_t> lengths;
  for (const auto& d : with_id) {
    if (!lengths.insert(id_of(d).size()).second)
      continue;
    List()->SetAllItemStates(CReportCtrl::kItemAll, CReportCtrl::kItemUnselected);
    Select(d);
    lab::RunToEnd(*window_, cmd::kListRowClick);
    const QrBitmap& b = window_->QrWeb().bitmap();
    EXPECT_EQ(b.side, b.modules + 8);
    const QImage panel = window_->QrPanel()->grab().toImage();
    EXPECT_EQ(Decode(panel, dir_ / "panel.png"), id_of(d)) << d.serial;
  }
  const std::string last = window_->QrWeb().present() ? "kept" : "";
  const QImage before = window_->QrPanel()->grab().toImage();
  List()->SetAllItemStates(CReportCtrl::kItemAll, CReportCtrl::kItemUnselected);
  Select(without);
  lab::RunToEnd(*window_, cmd::kListRowClick);
  EXPECT_EQ(window_->QrPanel()->grab().toImage(), before);
  EXPECT_EQ(last, "kept");
}

TEST_F(PictureWindowLab, WebPageAddressAndPage) {
  lab::DevsimDevice on8080;
  for (const auto& d : devices_) {
    const auto* row = reinterpret_cast<const DeviceRow*>(List()->GetItemData(Row(d)));
    if (row->record.Stream.WEBPort == 8080)
      on8080 = d;
  }
  ASSERT_FALSE(on8080.serial.empty());
  List()->SetAllItemStates(CReportCtrl::kItemAll, CReportCtrl::kItemUnselected);
  Select(on8080);
  lab::RunToEnd(*window_, cmd::kMenuOpenWeb);
  ASSERT_EQ(opened_.size(), 1u);
  EXPECT_EQ(opened_[0], "http://" + on8080.ip + ":8080");
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  timeval limit{3, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(8080);
  inet_pton(AF_INET, on8080.ip.c_str(), &to.sin_addr);
  ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
  const std::string request = "GET / HTTP/1.0\r\nHost: x\r\n\r\n";
  ASSERT_EQ(send(fd, request.data(), request.size(), 0), static_cast<ssize_t>(request.size()));
  std::string text;
  char buf[4096];
  for (ssize_t n; (n = recv(fd, buf, sizeof buf, 0)) > 0;)
    text.append(buf, static_cast<std::size_t>(n));
  close(fd);
  EXPECT_NE(text.find("200 OK"), std::string::npos);
  EXPECT_NE(text.find(on8080.serial), std::string::npos);
  EXPECT_NE(text.find(on8080.ip), std::string::npos);
  EXPECT_NE(text.find(on8080.type), std::string::npos);
}

}  // namespace
}  // namespace vdz
