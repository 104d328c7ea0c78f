// Other makers' ONVIF cameras managed through the same commands as our devices: reboot, a new
// address (the row follows the camera there), a new password and an NTP server, from the
// window's command table and from the command line. curl, which shares no code with us,
// checks the password the camera took.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <iostream>
#include <map>
#include <optional>
#include <string>

#include "app/batch_report_commands.h"
#include "app/batch_settings_commands.h"
#include "app/command_ids.h"
#include "devconfig/settings_documents.h"
#include "lab/cli_process.h"
#include "lab/devsim_control.h"
#include "lab/onvif_lab_support.h"
#include "lab/onvif_window_support.h"
#include "lab/open_main_window.h"
#include "support/recording_prompter.h"

namespace vdz {
namespace {

const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new lab::OnvifAccountEnvironment);

using Camera = std::map<std::string, std::string>;

class OnvifManageLab : public ::testing::Test {
 protected:
  Camera Get(const std::string& serial) {
    for (auto& c : lab::OnvifCameras(control_))
      if (c["serial"] == serial)
        return c;
    ADD_FAILURE() << "no camera " << serial;
    return {};
  }
  // The n-th camera as the simulator made it (the tests take one camera each).
  Camera Nth(std::size_t n) { return lab::OnvifCameras(control_).at(n); }
  static std::string Moved(const Camera& c, const char* last_octet) {
    const std::string& ip = c.at("ip");
    return ip.substr(0, ip.rfind('.') + 1) + last_octet;
  }
  // HTTP status of the camera's snapshot for this password, by curl's own Digest.
  static std::string SnapshotStatus(const Camera& c, const std::string& password) {
    return lab::RunShell(
               "curl -s -o /dev/null -w '%{http_code}' --max-time 5 --digest -u admin:" + password +
               " http://" + c.at("ip") + ":" + c.at("http-port") + "/onvif/snapshot/0.jpg")
        .out;
  }
  std::string Cell(int row) {
    return window_->DeviceList()->GetItemText(row, kStatusColumn).toStdString();
  }
  void Open(const std::vector<std::string>& cameras, MainWindowOptions options = {}) {
    options.prompter = &prompter_;
    window_ = lab::Closing(std::make_unique<CQmDadIvidudEvuzDlg>(options));
    window_->Initialise();
    window_->show();
    ASSERT_TRUE(lab::WaitOursAndCameras(*window_->DeviceList(), 2, cameras, 20000));
  }
  // A reboot reaches the camera a moment after its answer.
  bool Rebooted(const std::string& serial) {
    return lab::WaitFor([&] { return Get(serial).at("reboots") == "1"; }, 5000);
  }
  void CheckOnly(const std::vector<std::string>& ips) {
    CReportCtrl& list = *window_->DeviceList();
    for (int r = 0; r < list.GetItemCount(); ++r)
      list.SetCheck(r, false);
    for (const std::string& ip : ips)
      list.SetCheck(lab::RowOfAddress(list, ip), true);
  }
  void Select(const std::string& ip) {
    CReportCtrl& list = *window_->DeviceList();
    list.SetAllItemStates(CReportCtrl::kItemAll, CReportCtrl::kItemUnselected);
    list.SetItemStates(lab::RowOfAddress(list, ip), CReportCtrl::kItemSelected);
  }

  lab::DevsimControl control_ = lab::DevsimControl::FromEnvironment();
  test::RecordingPrompter prompter_;
  lab::ClosingWindow window_;
};

TEST_F(OnvifManageLab, WindowRebootsAndReaddressesACameraAndItsRowFollows) {
  const Camera rebooted = Nth(0), moved = Nth(1);
  const std::string new_ip = Moved(moved, "231");
  std::optional<IpSettingValues> shown;
  MainWindowOptions options;
  options.ip_dialog = [&](const IpSettingValues& initial, bool) {
    shown = initial;
    return std::optional<IpSettingValues>(
        IpSettingValues{new_ip, moved.at("mask"), moved.at("gateway"), "", "", 0});
  };
  Open({rebooted.at("ip"), moved.at("ip")}, options);
  CReportCtrl& list = *window_->DeviceList();
  const std::string ours = control_.Devices().front().ip;

  CheckOnly({rebooted.at("ip"), ours});
  lab::RunToEnd(*window_, cmd::kRebootChecked);
  EXPECT_TRUE(Rebooted(rebooted.at("serial")));
  EXPECT_EQ(Cell(lab::RowOfAddress(list, rebooted.at("ip"))), LookupText(keys::RESTARTING));
  EXPECT_NE(window_->BatchReports().last_summary().find("2 succeeded"), std::string::npos)
      << window_->BatchReports().last_summary();

  std::cout << "reboot batch: " << window_->BatchReports().last_summary() << "\n";

  Select(moved.at("ip"));
  QElapsedTimer clock;
  clock.start();
  lab::RunToEnd(*window_, cmd::kMenuChangeAddress, 40000);
  std::cout << moved.at("ip") << " -> " << new_ip << ": found again there after " << clock.elapsed()
            << " ms\n";
  ASSERT_TRUE(shown.has_value());
  EXPECT_EQ(shown->netmask, moved.at("mask")) << "the dialog opens with the camera's own mask";
  EXPECT_EQ(Get(moved.at("serial")).at("ip"), new_ip);
  const int row = lab::RowOfAddress(list, new_ip);
  ASSERT_GE(row, 0) << "the row shows the new address";
  EXPECT_EQ(lab::RowOfAddress(list, moved.at("ip")), -1);
  // The row reaches the camera where it is now: a reboot from it arrives.
  Select(new_ip);
  lab::RunToEnd(*window_, cmd::kMenuReboot);
  EXPECT_TRUE(Rebooted(moved.at("serial")));
  EXPECT_EQ(Cell(row), LookupText(keys::RESTARTING));

  // What cameras lack is skipped with the reason.
  const std::string not_supported = LookupText(keys::NOT_SUPPORTED_BY_DEVICE);
  CheckOnly({rebooted.at("ip")});
  lab::RunToEnd(*window_, cmd::kRestoreChecked);
  EXPECT_EQ(Cell(lab::RowOfAddress(list, rebooted.at("ip"))), not_supported);
  Select(new_ip);
  window_->RunCommand(cmd::kMenuRemoteEnglish);
  EXPECT_EQ(Cell(row), not_supported);
}

TEST_F(OnvifManageLab, WindowSetsACamerasPasswordThenItsNtpServerWithIt) {
  const Camera camera = Nth(2);
  Open({camera.at("ip")});
  CheckOnly({camera.at("ip")});
  window_->BatchSettings().SetDialogRunner([](QDialog& d) {
    d.show();
    if (auto* pwd = d.findChild<QLineEdit*>("1017")) {
      pwd->setText("n3w-Pass");
      d.findChild<QLineEdit*>("1010")->setText("n3w-Pass");
      d.findChild<QPushButton*>("1")->click();
      return;
    }
    d.findChild<QComboBox*>("1093")->setCurrentIndex(kTimeSourceNtp);
    d.findChild<QLineEdit*>("1101")->setText(QStringLiteral("192.168.1.9"));
    d.findChild<QPushButton*>("1108")->click();
  });
  lab::RunToEnd(*window_, cmd::kBatchPassword);
  EXPECT_EQ(SnapshotStatus(camera, "n3w-Pass"), "200");
  EXPECT_EQ(SnapshotStatus(camera, "admin"), "401");
  // The window goes on reaching the camera with the password it set.
  lab::RunToEnd(*window_, cmd::kMenuConfigTime);
  EXPECT_EQ(Get(camera.at("serial")).at("ntp"), "192.168.1.9");
  EXPECT_EQ(Get(camera.at("serial")).at("time-mode"), "NTP");
}

TEST_F(OnvifManageLab, CommandLineManagesACamera) {
  const Camera camera = Nth(3);
  const std::string new_ip = Moved(camera, "232");
  const std::string cli = std::string("VDZ_ONVIF_USER=admin VDZ_ONVIF_PASSWORD=admin ") + VDZ_CLI;
  lab::CliRun r =
      lab::RunShell(cli + " set ntp --seconds 3 " + camera.at("ip") + " --server 192.168.1.8");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(Get(camera.at("serial")).at("ntp"), "192.168.1.8");

  r = lab::RunShell(cli + " restore --seconds 3 " + camera.at("ip"));
  EXPECT_NE(r.out.find("restore skipped: not supported by this device"), std::string::npos)
      << r.out;
  r = lab::RunShell("head -c 4096 /dev/zero > /tmp/vdz-onvif.bin && " + cli +
                    " upgrade --seconds 3 --file /tmp/vdz-onvif.bin " + camera.at("ip"));
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("not supported by this device"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("0 succeeded, 0 failed, 1 skipped"), std::string::npos) << r.out;
  r = lab::RunShell(cli + " terminal restart --seconds 3 " + camera.at("ip"));
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("not supported by this device"), std::string::npos) << r.out;

  r = lab::RunShell(cli + " set-ip --seconds 3 " + camera.at("ip") + " --ip " + new_ip +
                    " --mask " + camera.at("mask") + " --gateway " + camera.at("gateway"));
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find(camera.at("ip") + " -> " + new_ip + "  set-ip sent"), std::string::npos)
      << r.out;
  EXPECT_EQ(Get(camera.at("serial")).at("ip"), new_ip);

  r = lab::RunShell(cli + " set password --seconds 3 " + new_ip + " --new s3cond");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(SnapshotStatus(Get(camera.at("serial")), "s3cond"), "200");

  r = lab::RunShell("VDZ_ONVIF_USER=admin VDZ_ONVIF_PASSWORD=s3cond " + std::string(VDZ_CLI) +
                    " reboot --seconds 3 " + new_ip);
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("1 succeeded"), std::string::npos) << r.out;
  EXPECT_TRUE(Rebooted(camera.at("serial")));
}

}  // namespace
}  // namespace vdz
