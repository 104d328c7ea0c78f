// The terminal service through the window: name and model of every listed device, the
// platform setting (16) and the service restart (1298), faulty services one by one.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <filesystem>
#include <fstream>

#include "app/command_ids.h"
#include "app/main_window.h"
#include "app/terminal_commands.h"
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

class TerminalWindowLab : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(control_.Send("terminal-fault all none"));
    devices_ = control_.Devices();
    window_ = lab::OpenMainWindow(prompter_);
    window_->Terminal().SetDialogRunner([this](TerminalParameterSet* set, int mode) {
      dialog_modes_.push_back(mode);
      dialog_in_ = *set;
      set->talkCapVol = 42;
      set->dbAlarmMP3 = "lab.mp3";
      return true;
    });
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
  }
  void TearDown() override {
    window_->close();
    window_.reset();
    control_.Send("terminal-fault all none");
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
  std::map<std::string, std::string> Terminal(const lab::DevsimDevice& d) {
    std::vector<std::string> lines;
    control_.Send("terminal-get " + d.serial, &lines);
    return lines.empty() ? std::map<std::string, std::string>{} : lab::ParseReplyLine(lines[0]);
  }

  lab::DevsimControl control_ = lab::DevsimControl::FromEnvironment();
  std::vector<lab::DevsimDevice> devices_;
  test::RecordingPrompter prompter_;
  std::unique_ptr<CQmDadIvidudEvuzDlg> window_;
  std::vector<int> dialog_modes_;
  TerminalParameterSet dialog_in_;
};

TEST_F(TerminalWindowLab, EveryListedDeviceShowsItsNameAndModel) {
  for (const auto& d : devices_) {
    const auto t = Terminal(d);
    EXPECT_TRUE(WaitFor([&] { return Cell(d, 1) == t.at("devname"); }, 3000)) << d.serial;
    EXPECT_EQ(Cell(d, 6), t.at("deamontime")) << d.serial;
  }
}

TEST_F(TerminalWindowLab, OneRowIsReadShownAndWrittenTwoRowsAreOnlyWritten) {
  const auto& one = devices_[1];
  const auto before = Terminal(one);
  Check({one});
  lab::RunToEnd(*window_, cmd::kBatchTerminal);
  ASSERT_EQ(dialog_modes_, std::vector<int>{1});
  EXPECT_EQ(dialog_in_.devname, before.at("devname"));
  // The service reports its port 5 below the stored one; an unchanged port goes back as is.
  EXPECT_EQ(dialog_in_.accessport, std::stoi(before.at("accessport")));
  // The device's URL holds an entity; it comes back as the device wrote it.
  EXPECT_NE(dialog_in_.rtspUrl.find("&amp;"), std::string::npos);
  EXPECT_EQ(Cell(one, 4), Text(keys::MSGSUCTIP43));
  const auto after = Terminal(one);
  EXPECT_EQ(after.at("talkCapVol"), "42");
  EXPECT_EQ(after.at("dbAlarmMP3"), "lab.mp3");
  EXPECT_EQ(after.at("rtspUrl"), before.at("rtspUrl"));
  EXPECT_EQ(after.at("devname"), before.at("devname"));
  EXPECT_EQ(after.at("accessport"), before.at("accessport"));

  const std::vector<lab::DevsimDevice> two = {devices_[2], devices_[3]};
  const int requests = std::stoi(Terminal(two[0]).at("requests"));
  Check(two);
  lab::RunToEnd(*window_, cmd::kBatchTerminal);
  ASSERT_EQ(dialog_modes_.size(), 2u);
  EXPECT_EQ(dialog_modes_[1], 2);
  EXPECT_EQ(dialog_in_.devname, "");  // nobody was asked
  for (const auto& d : two) {
    EXPECT_EQ(Cell(d, 4), Text(keys::MSGSUCTIP43)) << d.serial;
    EXPECT_EQ(Terminal(d).at("talkCapVol"), "42");
  }
  EXPECT_EQ(std::stoi(Terminal(two[0]).at("requests")), requests + 1);
}

TEST_F(TerminalWindowLab, RestartAsksThenRestartsTheService) {
  const std::vector<lab::DevsimDevice> two = {devices_[4], devices_[5]};
  Check(two);
  const std::string asked = Terminal(two[0]).at("requests");
  prompter_.answers = {false};
  lab::RunToEnd(*window_, cmd::kRestartTerminalService);
  EXPECT_EQ(Terminal(two[0]).at("requests"), asked);
  prompter_.boxes.clear();
  lab::RunToEnd(*window_, cmd::kRestartTerminalService);
  ASSERT_EQ(prompter_.boxes.size(), 1u);
  EXPECT_EQ(prompter_.boxes[0].caption, Text(keys::REBOOT_TERM_SERVICE));
  for (const auto& d : two)
    EXPECT_EQ(Cell(d, 4), Text(keys::MSGALMTIP3));
  // Restarting: unreachable for a moment, then back.
  EXPECT_TRUE(WaitFor([&] { return Terminal(two[0]).at("up") == "0"; }, 1000));
  EXPECT_TRUE(WaitFor([&] { return Terminal(two[0]).at("up") == "1"; }, 5000));
}

TEST_F(TerminalWindowLab, EachFaultEndsOnItsOwnDeviceOnly) {
  struct Fault {
    const char* mode;
    bool succeeds;
  } faults[] = {{"silent", false}, {"late", false},      {"oversize", false}, {"split", true},
                {"ord-ok", true},  {"other-ord", false}, {"close", false}};
  std::vector<lab::DevsimDevice> group;
  for (std::size_t i = 0; i < std::size(faults); ++i) {
    group.push_back(devices_[6 + i]);
    ASSERT_TRUE(control_.Send("terminal-fault " + group.back().serial + " " + faults[i].mode));
  }
  const auto good = devices_[6 + std::size(faults)];
  group.push_back(good);
  Check(group);
  lab::RunToEnd(*window_, cmd::kBatchTerminal);
  for (std::size_t i = 0; i < std::size(faults); ++i) {
    EXPECT_EQ(Cell(group[i], 4), Text(faults[i].succeeds ? keys::MSGSUCTIP43 : keys::MSGTIP43))
        << faults[i].mode;
  }
  EXPECT_EQ(Cell(good, 4), Text(keys::MSGSUCTIP43));
  EXPECT_EQ(Terminal(good).at("talkCapVol"), "42");
  // A split reply is read whole on its own as well.
  Check({group[3]});
  lab::RunToEnd(*window_, cmd::kBatchTerminal);
  EXPECT_EQ(dialog_in_.devname, Terminal(group[3]).at("devname"));
  for (std::size_t i = 0; i < std::size(faults); ++i) {
    Check({group[i]});
    lab::RunToEnd(*window_, cmd::kRestartTerminalService);
    EXPECT_EQ(Cell(group[i], 4), Text(faults[i].succeeds ? keys::MSGALMTIP3 : keys::MSGALMTIP2))
        << faults[i].mode;
  }
}

}  // namespace
}  // namespace vdz
