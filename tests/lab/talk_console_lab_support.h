// The window with every simulated device logged in and checked, its talk console open and a
// play list of tone MP3 files: the starting point of the console's broadcast lab tests.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDialog>
#include <QListWidget>
#include <QPushButton>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/command_ids.h"
#include "app/main_window.h"
#include "audio/console/audio_play_dlg.h"
#include "lab/devsim_control.h"
#include "lab/open_main_window.h"
#include "lab/window_lab_support.h"
#include "support/pcm_compare.h"
#include "support/recording_prompter.h"
#include "ui/report_ctrl.h"

namespace vdz::lab {

// Every row checked, then the console opened through its command; null when it did not open.
inline CAudioPlayDlg* OpenConsoleOnEveryRow(CQmDadIvidudEvuzDlg& window) {
  for (int r = 0; r < window.DeviceList()->GetItemCount(); ++r)
    window.DeviceList()->SetCheck(r, true);
  if (!window.RunCommand(cmd::kTalkConsole))
    return nullptr;
  for (QDialog* d : window.findChildren<QDialog*>()) {
    if (auto* console = dynamic_cast<CAudioPlayDlg*>(d))
      return console;
  }
  return nullptr;
}

struct DeviceTalk {
  bool open = false;
  int talks = 0;
  long long packets = 0;
  double longest_gap_ms = 0;
};

class TalkConsoleLab : public ::testing::Test {
 protected:
  static constexpr int kRate = 32000;

  void TearDown() override {
    if (window_)
      window_->close();
    window_.reset();
    std::filesystem::remove_all(dir_);
  }

  // Tone files of the given lengths in a fresh folder, one.mp3, two.mp3, ...
  std::vector<std::string> MakeFiles(const std::vector<double>& seconds) {
    const std::filesystem::path& dir = dir_;
    std::filesystem::create_directories(dir);
    const char* names[] = {"one.mp3", "two.mp3", "three.mp3", "four.mp3"};
    std::vector<std::string> files;
    for (std::size_t i = 0; i < seconds.size() && i < 4; ++i) {
      EXPECT_TRUE(testing::MakeToneMp3(dir.string(), names[i], kRate, 1, seconds[i]));
      files.push_back((dir / names[i]).string());
    }
    return files;
  }

  // Window up, every row logged in and checked, the console open through its command.
  void OpenConsole(const std::vector<std::string>& files) {
    devices_ = control_.Devices();
    ASSERT_FALSE(devices_.empty());
    window_ = OpenMainWindow(prompter_);
    ASSERT_TRUE(lab::WaitListedOnline(*window_, static_cast<int>(devices_.size()), 20000));
    console_ = OpenConsoleOnEveryRow(*window_);
    ASSERT_NE(console_, nullptr);
    console_->SetFileChooser([files](const QString&) {
      QStringList list;
      for (const auto& f : files)
        list << QString::fromStdString(f);
      return list;
    });
    console_->AddFiles();
    ASSERT_EQ(console_->play_list()->GetItemCount(), static_cast<int>(files.size()));
  }

  // Through the console's controls, as an operator starts a broadcast of the first entry.
  void StartBroadcast() {
    console_->SelectEntry(0);
    console_->ChooseSource(true);
    console_->start_button()->click();
    ASSERT_TRUE(WaitFor([&] { return console_->idle(); }, 5000));
    ASSERT_EQ(console_->running(), 1);
    ASSERT_TRUE(console_->has_decoder());
    EXPECT_TRUE(prompter_.boxes.empty());
  }

  DeviceTalk Talk(const std::string& serial) const {
    std::vector<std::string> lines;
    DeviceTalk t;
    if (!control_.Send("talk " + serial, &lines) || lines.empty())
      return t;
    auto kv = ParseReplyLine(lines[0]);
    t.open = kv["open"] == "1";
    t.talks = std::stoi(kv["talks"]);
    t.packets = std::stoll(kv["packets"]);
    t.longest_gap_ms = std::stod(kv["gap_us"]) / 1000.0;
    return t;
  }

  const std::filesystem::path dir_ =
      std::filesystem::temp_directory_path() / ("vdz-talk-console-" + std::to_string(::getpid()));
  DevsimControl control_ = DevsimControl::FromEnvironment();
  test::RecordingPrompter prompter_;
  std::unique_ptr<CQmDadIvidudEvuzDlg> window_;
  CAudioPlayDlg* console_ = nullptr;
  std::vector<DevsimDevice> devices_;
};

}  // namespace vdz::lab
