// The batch settings catalogue through the window's command table against simulated devices:
// two that accept, one whose login is gone and one that refuses every setting. What each
// device stored is read back from the simulator and compared byte for byte.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <filesystem>
#include <fstream>
#include <regex>

#include "app/batch_settings_commands.h"
#include "app/command_ids.h"
#include "app/main_window.h"
#include "lab/devsim_control.h"
#include "lab/open_main_window.h"
#include "lab/window_lab_support.h"
#include "protocol/protocol_numbers.h"
#include "qm_netsdk.h"
#include "shell/bounded_text.h"
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

std::string Unhex(const std::string& hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return bytes;
}

std::string Hex(const std::string& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char b : bytes) {
    hex += kDigits[b >> 4];
    hex += kDigits[b & 0xF];
  }
  return hex;
}

class BatchSettingsWindowLab : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(control_.Send("sdk-refuse-settings all 0", nullptr, &error)) << error;
    devices_ = control_.Devices();
    ASSERT_GE(devices_.size(), 4u);
    window_ = lab::OpenMainWindow(prompter_);
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
    // In list order: two good devices, one whose login is gone, one that refuses.
    for (int r = 0; r < 4; ++r) {
      const std::string ip = window_->DeviceList()->GetItemText(r, 0).toStdString();
      for (const auto& d : devices_) {
        if (d.ip == ip)
          picked_.push_back(d);
      }
    }
    ASSERT_EQ(picked_.size(), 4u);
    ASSERT_TRUE(control_.Send("sdk-refuse-settings " + picked_[3].serial + " 1", nullptr, &error));
    Row(picked_[2])->login_handle = 0;
    for (int r = 0; r < window_->DeviceList()->GetItemCount(); ++r)
      window_->DeviceList()->SetCheck(r, r < 4);
    prompter_.boxes.clear();
  }
  void TearDown() override {
    window_->close();
    window_.reset();
    control_.Send("sdk-refuse-settings all 0");
  }

  DeviceRow* Row(const lab::DevsimDevice& d) {
    SearchSession& s = window_->Session();
    for (int i = 0; i < s.rows_shown(); ++i) {
      DeviceRow* row = s.row(i);
      if (row != nullptr && FieldText(row->record.Lan.IPAddress) == d.ip)
        return row;
    }
    return nullptr;
  }
  std::string Cell(const lab::DevsimDevice& d) {
    for (int r = 0; r < window_->DeviceList()->GetItemCount(); ++r) {
      if (window_->DeviceList()->GetItemText(r, 0).toStdString() == d.ip)
        return window_->DeviceList()->GetItemText(r, 4).toStdString();
    }
    return "?";
  }
  // What the device stored for a configuration command (or a system command), or "none".
  std::string Stored(const lab::DevsimDevice& d, int command, bool system = false) {
    std::vector<std::string> lines;
    if (!control_.Send(std::string(system ? "sdk-system " : "sdk-document ") + d.serial + " " +
                           std::to_string(command),
                       &lines) ||
        lines.empty())
      return "none";
    return Unhex(lab::ParseReplyLine(lines[0])["hex"]);
  }
  // Runs a command whose dialog is driven by fill; the good devices' cells stay as they were.
  void RunWithDialog(int id, const std::function<void(QDialog&)>& fill) {
    window_->BatchSettings().SetDialogRunner([&](QDialog& dialog) {
      dialog.show();
      fill(dialog);
      ++dialogs_;
    });
    const std::string before0 = Cell(picked_[0]), before1 = Cell(picked_[1]);
    lab::RunToEnd(*window_, id);
    EXPECT_EQ(Cell(picked_[0]), before0) << id;
    EXPECT_EQ(Cell(picked_[1]), before1) << id;
  }
  static void Press(QDialog& d, const char* id) {
    d.findChild<QPushButton*>(QString::fromLatin1(id))->click();
  }
  // The not-logged-in and refusing devices show the entry's keys; the refusing one stored
  // nothing.
  void ExpectKeys(const char* no_login, const char* failure) {
    EXPECT_EQ(Cell(picked_[2]), Text(no_login));
    EXPECT_EQ(Cell(picked_[3]), Text(failure));
  }

  lab::DevsimControl control_ = lab::DevsimControl::FromEnvironment();
  std::vector<lab::DevsimDevice> devices_, picked_;
  test::RecordingPrompter prompter_;
  std::unique_ptr<CQmDadIvidudEvuzDlg> window_;
  int dialogs_ = 0;
};

TEST_F(BatchSettingsWindowLab, MenusOpenAtTheirButtonsWithTheirItems) {
  struct Case {
    int button;
    std::vector<int> items;
  } cases[] = {
      {cmd::kBatchLanguage,
       {cmd::kMenuLanguageEnglish, cmd::kMenuLanguageSimplified, cmd::kMenuLanguageTraditional}},
      {cmd::kBatchCcd, {cmd::kMenuScanBadPixels, cmd::kMenuSaveBadPixels}},
      {cmd::kBatchIoOutput, {cmd::kMenuOutputLow, cmd::kMenuOutputHigh}},
      {cmd::kBatchVideo, {cmd::kMenuEncodeH264, cmd::kMenuEncodeH265, cmd::kMenuEncodeDetails}},
      {cmd::kBatchTime, {cmd::kMenuSyncTime, cmd::kMenuConfigTime}},
  };
  for (const Case& c : cases) {
    std::vector<int> seen;
    QPoint at;
    window_->BatchSettings().SetMenuRunner([&](QMenu& menu, const QPoint& p) {
      at = p;
      std::function<void(QMenu&)> walk = [&](QMenu& m) {
        for (QAction* a : m.actions()) {
          if (a->menu() != nullptr)
            walk(*a->menu());
          else
            seen.push_back(a->data().toInt());
        }
      };
      walk(menu);
    });
    ASSERT_TRUE(lab::RunToEnd(*window_, c.button));
    EXPECT_EQ(seen, c.items) << c.button;
    QPushButton* button = window_->Button(c.button);
    EXPECT_EQ(at, button->mapToGlobal(QPoint(0, button->height()))) << c.button;
  }
  EXPECT_TRUE(prompter_.boxes.empty());
}

TEST_F(BatchSettingsWindowLab, ConfirmedEntriesSendTheirRequests) {
  // No to the language question touches no device.
  prompter_.answers = {false};
  lab::RunToEnd(*window_, cmd::kMenuLanguageTraditional);
  ASSERT_EQ(prompter_.boxes.size(), 1u);
  EXPECT_EQ(prompter_.boxes[0].text, Text(keys::MSG_BATCH_SET_LANGUAGE));
  EXPECT_EQ(prompter_.boxes[0].caption, Text(keys::TEXT21));
  EXPECT_EQ(Stored(picked_[0], proto::kCfgDeviceLanguage), "none");
  lab::RunToEnd(*window_, cmd::kMenuLanguageTraditional);
  for (int i : {0, 1})
    EXPECT_EQ(Stored(picked_[i], proto::kCfgDeviceLanguage), "<MiscConfig Language=\"zh_tw\" />");
  ExpectKeys(keys::MSGTIP40, keys::MSGTIP42);
  EXPECT_EQ(Stored(picked_[3], proto::kCfgDeviceLanguage), "none");

  lab::RunToEnd(*window_, cmd::kMenuEncodeH265);
  EXPECT_EQ(prompter_.boxes.back().text, Text(keys::ID_BATCH_SET_VIDEOTYPE_TIPS));
  const std::string stream =
      "EncodeFormat=\"H265\" BitRateControl=\"CBR\" Initquant=\"100\" "
      "BitRate=\"200000\" FrameRate=\"25\"/>\n";
  EXPECT_EQ(Stored(picked_[1], proto::kCfgEncoding),
            "<Encode>\n\t<EncodeConfig Stream=\"1\" Resolution=\"INVALID\" " + stream +
                "\t<EncodeConfig Stream=\"2\" Resolution=\"INVALID\" " + stream + "</Encode>\n");
  ExpectKeys(keys::MSGTIP40, keys::MSGTIP39);

  const std::size_t boxes = prompter_.boxes.size();
  lab::RunToEnd(*window_, cmd::kMenuOutputHigh);
  EXPECT_EQ(prompter_.boxes.size(), boxes);
  EXPECT_EQ(Stored(picked_[0], proto::kCmdOutputPort, true),
            "<REQUEST_PARAM ChannelNo=\"0\"Output=\"1\"/>\n");
  ExpectKeys(keys::MSGTIP40, keys::SET_IOOUTPUT_FAILED);

  lab::RunToEnd(*window_, cmd::kMenuSyncTime);
  const std::string sync = Stored(picked_[0], proto::kCmdTimeSync, true);
  EXPECT_TRUE(std::regex_match(
      sync, std::regex("<REQUEST_PARAM\r\nTime=\"[0-9]{8} [0-9]{2}:[0-9]{2}:[0-9]{2}\"\r\n"
                       "TimeZone=\"1200\"\n/>")))
      << sync;
  std::vector<std::string> clock;
  ASSERT_TRUE(control_.Send("sdk-clock " + picked_[0].serial, &clock));
  EXPECT_LE(std::abs(std::stoll(lab::ParseReplyLine(clock[0])["offset"])), 5);
  ExpectKeys(keys::MSGTIP22, keys::MSGTIP36);

  // Bad-pixel save: two successes counted, the lost login and the refusal are not.
  prompter_.boxes.clear();
  lab::RunToEnd(*window_, cmd::kMenuSaveBadPixels);
  ASSERT_EQ(prompter_.boxes.size(), 1u);
  EXPECT_EQ(prompter_.boxes[0].kind, "MESSAGE");
  EXPECT_EQ(prompter_.boxes[0].text, "[201 preset ptz] " + Text(keys::SUCCEED_SET_NUM) + "2");
  EXPECT_EQ(Stored(picked_[1], -1, true), "8 201");
  ExpectKeys(keys::MSGTIP40, keys::SET_PRESET_FAILED);
}

TEST_F(BatchSettingsWindowLab, DialogEntriesSendWhatTheDialogsGive) {
  // A cancelled dialog touches no device.
  const std::string factory_title = Stored(picked_[0], proto::kCfgTitleOverlay);
  RunWithDialog(cmd::kBatchTitle, [](QDialog& d) { Press(d, "2"); });
  EXPECT_EQ(Stored(picked_[0], proto::kCfgTitleOverlay), factory_title);
  EXPECT_EQ(Cell(picked_[2]), Cell(picked_[2]));

  RunWithDialog(cmd::kBatchTitle, [](QDialog& d) { Press(d, "1"); });
  for (int i : {0, 1}) {
    std::string model = picked_[i].type;
    if (model.rfind("NVS-IPCAM-", 0) == 0)
      model = model.substr(10);
    const std::string title = Hex("IPCAMERA[" + model + "]" + picked_[i].ip);
    EXPECT_EQ(Stored(picked_[i], proto::kCfgTitleOverlay),
              "<Overlay\tEnable=\"1\" Transparency=\"3\" Style=\"3\" Fontsize=\"0\" Week=\"1\" > "
              "\t\t\t\t\t\t  <TimeOverlay PosX=\"1\" PosY=\"0\"\tFormat=\"yyyy-mm-dd hh:mm:ss\" /> "
              "\t\t\t\t\t\t  <TitleOverlay PosX=\"0\" PosY=\"1\"\tTitle=\"" +
                  title + "\" TitleUtf8=\"" + title + "\"/> </Overlay>");
  }
  ExpectKeys(keys::MSGTIP40, keys::MSGTIP39);

  RunWithDialog(cmd::kBatchPlatform, [](QDialog& d) {
    d.findChild<QCheckBox*>("1015")->click();
    d.findChild<QLineEdit*>("1013")->setText("10.9.8.7");
    d.findChild<QLineEdit*>("1942")->setText("1000,abc");
    d.findChild<QLineEdit*>("1943")->setText("p&w");
    Press(d, "1");
  });
  for (int i : {0, 1}) {
    EXPECT_EQ(Stored(picked_[i], proto::kCfgPlatform),
              "<PlatformConfig>\t <VortanConfig Enable=\"1\" Server=\"10.9.8.7\" Port=\"10001\" "
              "Username=\"100" +
                  std::to_string(i) +
                  ",abc\" Password=\"p&amp;w\" PlayTone=\"0\"/> </PlatformConfig>\r\n");
  }
  ExpectKeys(keys::MSGTIP40, keys::MSGTIP43);

  RunWithDialog(cmd::kBatchMotion, [](QDialog& d) {
    d.findChild<QComboBox*>("1486")->setCurrentIndex(8);
    Press(d, "1");
  });
  const std::string motion = Stored(picked_[1], proto::kCfgMotionDetection);
  const std::string head =
      "<MotionDetectAlarm \t\t\tEnable=\"0\" \t\t\tBlockCount=\"1441810\" \t\t\tBlockConfig=\"";
  EXPECT_EQ(motion.substr(0, head.size()), head);
  EXPECT_NE(motion.find(std::string(396, '1') + "\" \t\t\tSensitivity=\"80\""), std::string::npos);
  EXPECT_EQ(motion.substr(motion.size() - 23), "\t\t</MotionDetectAlarm> ");
  ExpectKeys(keys::MSGTIP40, keys::MSGTIP45);

  RunWithDialog(cmd::kBatchMaintenance, [](QDialog& d) { Press(d, "1725"); });
  EXPECT_EQ(Stored(picked_[0], proto::kCfgMaintenance),
            "<MaintainConfig\tEnable=\"0\" Day=\"7\" Time=\"02:00:00\" />");
  ExpectKeys(keys::MSGTIP40, keys::SET_TIMINGMAINTANCE_FAILED);

  RunWithDialog(cmd::kMenuConfigTime, [](QDialog& d) { Press(d, "1108"); });
  EXPECT_EQ(Stored(picked_[0], proto::kCfgTime),
            "<TimeConfig TimeMode=\"NTP\" TimeZone=\"1200\">\n"
            "\t<NTPConfig ServerIP=\"pool.ntp.org\" ServerPort=\"123\" RefreshInterval=\"60\"/>\n"
            "</TimeConfig>\n");
  ExpectKeys(keys::MSGTIP40, keys::SET_TIMECONFIG_FAILED);

  RunWithDialog(cmd::kBatchImage, [](QDialog& d) { Press(d, "1"); });
  EXPECT_EQ(Stored(picked_[1], proto::kCmdImageParameters, true),
            "<REQUEST_PARAM mctf=\"-1\" gain=\"30\" shuttermax=\"-1\" />");
  ExpectKeys(keys::MSGTIP40, keys::MSGTIP39);

  // The encoding dialog asks before it closes; Yes. WDR on with its range; every other list
  // as the dialog opened.
  RunWithDialog(cmd::kMenuEncodeDetails, [](QDialog& d) {
    d.findChild<QComboBox*>("1568")->setCurrentIndex(1);
    auto* range = d.findChild<QLineEdit*>("1442");
    EXPECT_TRUE(range->isEnabled());
    range->setText("200");
    Press(d, "799");
  });
  const std::string encode = Stored(picked_[0], proto::kCfgEncoding);
  EXPECT_NE(encode.find("<EncodeConfig Stream=\"1\" Resolution=\"2592X1520\" EncodeFormat=\"H264\" "
                        "BitRateControl=\"CBR\" Initquant=\"100\" BitRate=\"6000\" "
                        "FrameRate=\"25\"/>"),
            std::string::npos)
      << encode;
  EXPECT_NE(encode.find("\t<AdvanceEncodeConfig EncodeProfile=\"0\" WDRMode=\"1\" "
                        "WDRValue=\"200\" DfrogFlag=\"0\""),
            std::string::npos);
  EXPECT_NE(encode.find("EncMode=\"0\" NoiceLevel=\"0\""), std::string::npos);
  EXPECT_EQ(dialogs_, 8);
}

TEST_F(BatchSettingsWindowLab, PasswordChangeIsCheckedByANewLogin) {
  RunWithDialog(cmd::kBatchPassword, [](QDialog& d) {
    d.findChild<QLineEdit*>("1017")->setText("n3w");
    d.findChild<QLineEdit*>("1010")->setText("n3x");
    Press(d, "1");
  });
  ASSERT_EQ(prompter_.boxes.size(), 1u);
  EXPECT_EQ(prompter_.boxes[0].text, Text(keys::MSGTIP51));
  EXPECT_EQ(Stored(picked_[0], proto::kCfgPassword).find("n3x"), std::string::npos);

  const DeviceRow* row = Row(picked_[0]);
  const std::string old_password(FieldText(row->record.Users.Accounts[0].Password));
  const auto port = static_cast<unsigned short>(row->record.Stream.PTZPort);
  RunWithDialog(cmd::kBatchPassword, [](QDialog& d) {
    d.findChild<QLineEdit*>("1017")->setText("n3w\"<&");
    d.findChild<QLineEdit*>("1010")->setText("n3w\"<&");
    Press(d, "1");
  });
  EXPECT_EQ(Stored(picked_[0], proto::kCfgPassword),
            "<UserConfig><Account Username=\"admin\" Password=\"n3w&quot;&lt;&amp;\" "
            "Group=\"Administrator\" Status=\"Enable\" /></UserConfig>");
  ExpectKeys(keys::MSGTIP40, keys::MSGTIP41);
  const int old_login =
      QM_NETSDK_IPC_Login(picked_[0].ip.c_str(), port, "admin", old_password.c_str(), 0);
  EXPECT_LE(old_login, 0);
  // Both good devices took the new password; each gets its old one back for the next tests.
  for (int i : {0, 1}) {
    const DeviceRow* r = Row(picked_[i]);
    const std::string old(FieldText(r->record.Users.Accounts[0].Password));
    const int login = QM_NETSDK_IPC_Login(picked_[i].ip.c_str(),
                                          static_cast<unsigned short>(r->record.Stream.PTZPort),
                                          "admin", "n3w\"<&", 0);
    EXPECT_GT(login, 0) << i;
    if (login <= 0)
      continue;
    const std::string back = "<UserConfig><Account Username=\"admin\" Password=\"" + old +
                             "\" Group=\"Administrator\" Status=\"Enable\" /></UserConfig>";
    EXPECT_EQ(QM_NETSDK_IPC_SetDVRConfig(login, proto::kCfgPassword, 0, back.c_str(),
                                         static_cast<int>(back.size())),
              0);
    QM_NETSDK_IPC_Logout(login);
  }
}

TEST_F(BatchSettingsWindowLab, NothingCheckedStopsBeforeAnyDialog) {
  for (int r = 0; r < window_->DeviceList()->GetItemCount(); ++r)
    window_->DeviceList()->SetCheck(r, false);
  RunWithDialog(cmd::kBatchTitle, [](QDialog& d) { Press(d, "1"); });
  EXPECT_EQ(dialogs_, 0);
  ASSERT_EQ(prompter_.boxes.size(), 1u);
  EXPECT_EQ(prompter_.boxes[0].text, Text(keys::MSGTIP13));
  lab::RunToEnd(*window_, cmd::kMenuSyncTime);
  ASSERT_EQ(prompter_.boxes.size(), 2u);
  EXPECT_EQ(prompter_.boxes[1].text, Text(keys::MSGTIP17));
  EXPECT_EQ(prompter_.boxes[1].caption, "ERROR");
}

}  // namespace
}  // namespace vdz
