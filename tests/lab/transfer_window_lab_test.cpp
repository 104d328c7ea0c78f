// Upgrade and configuration commands through the window's command table against the
// simulated site: busy flag, refusals, endings, the version after the restart, exports.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <filesystem>
#include <fstream>
#include <map>

#include "app/batch_report_commands.h"
#include "app/command_ids.h"
#include "app/main_window.h"
#include "app/upgrade_commands.h"
#include "lab/devsim_control.h"
#include "lab/open_main_window.h"
#include "lab/window_lab_support.h"
#include "protocol/firmware_image.h"
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

class TransferWindowLab : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(control_.Send("sdk-transfer-fault all none", nullptr, &error)) << error;
    ASSERT_TRUE(control_.Send("sdk-write-ms all 300", nullptr, &error)) << error;
    devices_ = control_.Devices();
    dir_ = fs::temp_directory_path() / ("vdz-xfer-files-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    window_ = lab::OpenMainWindow(prompter_);
    window_->Upgrades().SetExportFolder((dir_ / "exports").string());
    ASSERT_TRUE(WaitFor(
        [&] {
          if (window_->DeviceList()->GetItemCount() != static_cast<int>(devices_.size()))
            return false;
          for (int r = 0; r < window_->DeviceList()->GetItemCount(); ++r) {
            if (window_->DeviceList()->GetItemText(r, 3).isEmpty())
              return false;
          }
          return true;
        },
        20000));
    QObject::connect(
        window_->DeviceList()->model(), &QAbstractItemModel::dataChanged,
        [this](const QModelIndex& top, const QModelIndex& bottom) {
          for (int r = top.row(); r <= bottom.row(); ++r) {
            history_[r].push_back(window_->DeviceList()->GetItemText(r, 4).toStdString());
          }
        });
  }
  void TearDown() override {
    window_->close();
    window_.reset();
    control_.Send("sdk-transfer-fault all none");
    fs::remove_all(dir_);
  }

  int Row(const lab::DevsimDevice& d) {
    for (int r = 0; r < window_->DeviceList()->GetItemCount(); ++r) {
      if (window_->DeviceList()->GetItemText(r, 0).toStdString() == d.ip)
        return r;
    }
    return -1;
  }
  std::string Cell(const lab::DevsimDevice& d, int column) {
    return window_->DeviceList()->GetItemText(Row(d), column).toStdString();
  }
  void Check(const std::vector<lab::DevsimDevice>& devices) {
    for (int r = 0; r < window_->DeviceList()->GetItemCount(); ++r)
      window_->DeviceList()->SetCheck(r, false);
    for (const auto& d : devices)
      window_->DeviceList()->SetCheck(Row(d), true);
  }
  // Two devices of one type, and one of another.
  std::vector<lab::DevsimDevice> SameType(int n) {
    std::map<std::string, std::vector<lab::DevsimDevice>> by_type;
    for (const auto& d : devices_)
      by_type[d.type].push_back(d);
    for (auto& [type, list] : by_type) {
      if (static_cast<int>(list.size()) >= n)
        return {list.begin(), list.begin() + n};
    }
    return {};
  }
  std::string Image(const std::string& name, const std::string& model, const std::string& version,
                    std::size_t size = 512 * 1024, std::size_t cut = 0) {
    std::string body(size, 'b');
    for (std::size_t i = 0; i < size; ++i)
      body[i] = static_cast<char>(i * 7);
    std::string bytes = sdkproto::FirmwareImageHeader(model, version, body) + body;
    bytes.resize(bytes.size() - cut);
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  // The file rows' edits in the order the window makes them: folder 1050, file 1048,
  // configuration 1049.
  QLineEdit* FolderField() {
    return window_->findChild<QLineEdit*>(QStringLiteral("firmwareFolder"));
  }
  QLineEdit* FileField() { return window_->findChild<QLineEdit*>(QStringLiteral("firmwareFile")); }
  bool Showed(const lab::DevsimDevice& d, const std::string& text) {
    const int row = Row(d);
    for (const auto& t : history_[row]) {
      if (t == text)
        return true;
    }
    return false;
  }
  bool Busy() { return window_->Upgrades().engine().busy(); }
  std::string LastBox() { return prompter_.boxes.empty() ? "" : prompter_.boxes.back().text; }

  lab::DevsimControl control_ = lab::DevsimControl::FromEnvironment();
  std::vector<lab::DevsimDevice> devices_;
  fs::path dir_;
  test::RecordingPrompter prompter_;
  std::unique_ptr<CQmDadIvidudEvuzDlg> window_;
  std::map<int, std::vector<std::string>> history_;  // status texts by row, as written
};

TEST_F(TransferWindowLab, FaultyDevicesEndWithTheirEventWhileTheOthersUpgradeAndComeBack) {
  const auto group = SameType(5);
  ASSERT_EQ(group.size(), 5u);
  const auto& good = group[0];
  struct Fault {
    const char* mode;
    const char* key;
  } faults[] = {{"refuse-image", keys::MSGTIP3},
                {"drop-mid-transfer", keys::MSGTIP2},
                {"stall", keys::MSGTIP2},
                {"garbage-acks", keys::MSGTIP2}};
  for (int i = 0; i < 4; ++i)
    ASSERT_TRUE(control_.Send("sdk-transfer-fault " +
                              group[static_cast<std::size_t>(i) + 1].serial + " " +
                              faults[i].mode));
  control_.Send("sdk-write-ms " + good.serial + " 1500");
  Check(group);
  auto* file = FileField();
  ASSERT_NE(file, nullptr);
  file->setText(QString::fromStdString(Image("fw.bin", good.type, "V7.7.7-lab")));
  lab::RunToEnd(*window_, cmd::kUpgradeFromFile);
  EXPECT_TRUE(Busy());
  EXPECT_EQ(Cell(good, 4), Text(keys::MSGTIP29));
  // Both commands are refused while devices upgrade.
  for (int id : {cmd::kUpgradeFromFile, cmd::kUpgradeFromFolder}) {
    prompter_.boxes.clear();
    lab::RunToEnd(*window_, id);
    EXPECT_EQ(LastBox(), Text(keys::MSGTIP37)) << id;
  }
  // A fault that costs the line shows its text until the reconnection writes "online"
  // again, so every text the status cell showed counts. A stall ends after the library's
  // stall bound (15 s).
  for (int i = 0; i < 4; ++i) {
    const auto& d = group[static_cast<std::size_t>(i) + 1];
    EXPECT_TRUE(WaitFor([&] { return Showed(d, Text(faults[i].key)); }, 20000))
        << faults[i].mode << ": " << Cell(d, 4);
  }
  // The good one restarts and is read again with the image's version.
  EXPECT_TRUE(WaitFor([&] { return Cell(good, 3) == "V7.7.7-lab"; }, 20000)) << Cell(good, 3);
  EXPECT_TRUE(WaitFor([&] { return !Busy(); }, 15000));
  // Each device counts as its ending event said, once the last one has ended.
  EXPECT_EQ(window_->BatchReports().last_summary(), BatchSummaryText({1, 4, 0}));
  prompter_.boxes.clear();

  // A truncated image is refused by the device.
  control_.Send("sdk-transfer-fault all none");
  Check({group[1]});
  file->setText(QString::fromStdString(Image("cut.bin", good.type, "V8", 300 * 1024, 5000)));
  lab::RunToEnd(*window_, cmd::kUpgradeFromFile);
  EXPECT_TRUE(WaitFor([&] { return Cell(group[1], 4) == Text(keys::MSGTIP3); }, 20000))
      << Cell(group[1], 4);
}

TEST_F(TransferWindowLab, BusyIsSetByFailedBatchesAndHeldByADeviceThatNeverEnds) {
  const auto group = SameType(2);
  Check(group);
  auto* file = FileField();
  file->setText(QString());
  lab::RunToEnd(*window_, cmd::kUpgradeFromFile);
  EXPECT_TRUE(Busy());
  for (const auto& d : group)
    EXPECT_EQ(Cell(d, 4), Text(keys::MSGTIP30));
  EXPECT_TRUE(WaitFor([&] { return !Busy(); }, 10000));

  // Folder match: the _AF image is passed over for a model without _AF; a name copied from a
  // FAT stick in other letter case is still found.
  Check({group[0]});
  Image("Firmware_" + group[0].type + ".BIN", group[0].type, "V-PLAIN");
  Image("firmware_" + group[0].type + "_AF.bin", group[0].type, "V-AF");
  FolderField()->setText(QString::fromStdString(dir_.string()));
  lab::RunToEnd(*window_, cmd::kUpgradeFromFolder);
  EXPECT_TRUE(WaitFor([&] { return Cell(group[0], 3) == "V-PLAIN"; }, 20000)) << Cell(group[0], 3);
  EXPECT_TRUE(WaitFor([&] { return !Busy(); }, 15000));

  control_.Send("sdk-transfer-fault " + group[1].serial + " no-end");
  Check({group[1]});
  file->setText(QString::fromStdString(Image("fw2.bin", group[1].type, "V-NEVER")));
  lab::RunToEnd(*window_, cmd::kUpgradeFromFile);
  WaitFor([] { return false; }, 3000);
  EXPECT_TRUE(Busy());
  prompter_.boxes.clear();
  lab::RunToEnd(*window_, cmd::kUpgradeFromFolder);
  EXPECT_EQ(LastBox(), Text(keys::MSGTIP37));
}

TEST_F(TransferWindowLab, RestoreWhoseRestoreCommandFailsStillReboots) {
  const auto& refused = devices_[3];
  const auto& plain = devices_[4];
  ASSERT_TRUE(control_.Send("sdk-refuse-system " + refused.serial + " 1002 1"));
  Check({refused, plain});
  lab::RunToEnd(*window_, cmd::kConfigRestore);
  control_.Send("sdk-refuse-system " + refused.serial + " 1002 0");
  // The reboot that followed succeeded, so nothing overwrote the restore's failure.
  EXPECT_EQ(Cell(refused, 4), Text(keys::MSGTIP44));
  EXPECT_FALSE(Showed(plain, Text(keys::MSGTIP44)));
  EXPECT_FALSE(Showed(plain, Text(keys::MSGTIP35)));
  for (const auto& d : {refused, plain}) {
    EXPECT_TRUE(
        WaitFor([&] { return control_.Device(d.serial)->sdk_reboots > d.sdk_reboots; }, 15000))
        << d.serial;
  }
}

TEST_F(TransferWindowLab, ConfigurationExportImportAndDanale) {
  std::vector<lab::DevsimDevice> three(devices_.begin(), devices_.begin() + 3);
  Check(three);
  lab::RunToEnd(*window_, cmd::kConfigDownload);
  for (const auto& d : three) {
    EXPECT_EQ(Cell(d, 4), Text(keys::MSGTIP18));
    EXPECT_TRUE(fs::exists(dir_ / "exports" / ("config_" + d.serial + "_" + d.ip + ".xml")))
        << d.serial;
  }
  // Where the exports went, then the batch's summary.
  EXPECT_EQ(window_->StatusLine()->text().toStdString(),
            (dir_ / "exports").string() + "   " + window_->BatchReports().last_summary());

  auto* config = window_->findChild<QLineEdit*>(QStringLiteral("configFile"));
  config->setText(QString());
  lab::RunToEnd(*window_, cmd::kUploadConfig);
  for (const auto& d : three)
    EXPECT_EQ(Cell(d, 4), Text(keys::MSGTIP31));
  config->setText(QString::fromStdString(
      (dir_ / "exports" / ("config_" + three[0].serial + "_" + three[0].ip + ".xml")).string()));
  lab::RunToEnd(*window_, cmd::kUploadConfig);
  for (const auto& d : three)
    EXPECT_EQ(Cell(d, 4), Text(keys::MSGTIP32));

  // DANALE with two rows: the one-device box, nothing uploaded.
  Check({three[0], three[1]});
  int chooser_calls = 0;
  window_->Upgrades().SetFileChooser([&](const QString&, const QString&) {
    ++chooser_calls;
    return QString::fromStdString((dir_ / "exports").string() + "/x.conf");
  });
  prompter_.boxes.clear();
  lab::RunToEnd(*window_, cmd::kDanaleImport);
  EXPECT_EQ(chooser_calls, 1);
  EXPECT_EQ(LastBox(), Text(keys::STRING_ONLY_SUPPORT_ONE_CAMERA));
  EXPECT_EQ(Cell(three[0], 4), Text(keys::MSGTIP32));
}

}  // namespace
}  // namespace vdz
