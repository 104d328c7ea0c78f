// Talk and MP3 broadcast through the window's console against the simulated devices: what
// each device wrote down matches the source, the play list loops, a busy device stays out
// with its status text, and Stop ends every device's stream.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <filesystem>
#include <map>
#include <thread>

#include "app/command_ids.h"
#include "app/main_window.h"
#include "audio/console/audio_play_dlg.h"
#include "lab/devsim_control.h"
#include "lab/open_main_window.h"
#include "lab/talk_console_lab_support.h"
#include "lab/window_lab_support.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"
#include "support/pcm_compare.h"
#include "support/recording_prompter.h"
#include "ui/report_ctrl.h"

namespace vdz {
namespace {

namespace fs = std::filesystem;
using lab::WaitFor;

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new lab::OffscreenWindowEnvironment);

constexpr int kRate = 32000;
constexpr int kRateIndex = 2;  // 32000 in the console's rate list
constexpr int kPcm = 2, kG711 = 0, kAac = 1;
constexpr int kUdp = 0, kTcp = 1, kMulticast = 2;

struct TalkState {
  bool open = false;
  int talks = 0;
  long long packets = 0, bytes = 0, lost = 0;
  std::string wav;
};

// The samples of a device's WAV file (the data chunk runs to the end of the file).
std::vector<int16_t> WavSamples(const std::string& path) {
  const std::string bytes = testing::ReadFile(path);
  const auto at = bytes.find("data");
  if (at == std::string::npos || at + 8 > bytes.size())
    return {};
  return testing::AsSamples(bytes.data() + at + 8, bytes.size() - at - 8);
}

struct BroadcastCase {
  const char* name;
  int transport;
  int codec;
  double min_correlation;
};

class TalkWindowLab : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new fs::path(fs::temp_directory_path() / ("vdz-talk-lab-" + std::to_string(::getpid())));
    fs::create_directories(*dir_);
    const std::string d = dir_->string();
    // One file from LAME (an aperiodic tone), one from FFmpeg (a plain sine): easy to tell apart.
    ASSERT_TRUE(testing::MakeToneMp3(d, "one.mp3", kRate, 1, 1.2));
    ASSERT_TRUE(
        testing::Run("ffmpeg -nostdin -v error -y -f lavfi -i "
                     "sine=frequency=523:sample_rate=32000:duration=1.0 -ac 1 "
                     "-c:a libmp3lame -b:a 64k -write_xing 0 '" +
                     d + "/two.mp3'"));
  }
  static void TearDownTestSuite() {
    fs::remove_all(*dir_);
    delete dir_;
  }

  void SetUp() override {
    std::string error;
    ASSERT_TRUE(control_.Send("talk-fault all none", nullptr, &error)) << error;
    devices_ = control_.Devices();
    ASSERT_GE(devices_.size(), 3u);
    busy_ = devices_.back().serial;
    ASSERT_TRUE(control_.Send("talk-fault " + busy_ + " busy", nullptr, &error)) << error;
    window_ = lab::OpenMainWindow(prompter_);
    // Every row logged in (it shows a version), so each has a login handle.
    ASSERT_TRUE(lab::WaitListedOnline(*window_, static_cast<int>(devices_.size()), 20000));
    console_ = lab::OpenConsoleOnEveryRow(*window_);
    ASSERT_NE(console_, nullptr);
    ASSERT_TRUE(console_->isVisible());
    console_->SetFileChooser([](const QString&) {
      return QStringList{QString::fromStdString((*dir_ / "one.mp3").string()),
                         QString::fromStdString((*dir_ / "two.mp3").string())};
    });
    for (const auto& d : devices_)
      before_[d.serial] = Talk(d.serial);
  }
  void TearDown() override {
    if (console_ != nullptr)
      console_->Stop();
    window_->close();
    window_.reset();
    control_.Send("talk-fault all none");
  }

  TalkState Talk(const std::string& serial) {
    std::vector<std::string> lines;
    TalkState s;
    if (!control_.Send("talk " + serial, &lines) || lines.empty())
      return s;
    auto kv = lab::ParseReplyLine(lines[0]);
    s.open = kv["open"] == "1";
    s.talks = std::stoi(kv["talks"]);
    s.packets = std::stoll(kv["packets"]);
    s.bytes = std::stoll(kv["bytes"]);
    s.lost = std::stoll(kv["lost"]);
    s.wav = kv["wav"];
    return s;
  }
  // The WAV of a device's n-th talk since the test began (1 = first).
  std::string WavOf(const std::string& serial, int n) {
    const TalkState now = Talk(serial);
    return (fs::path(now.wav).parent_path() /
            ("talk-" + serial + "-" + std::to_string(before_[serial].talks + n) + ".wav"))
        .string();
  }
  std::string Status(const std::string& ip) {
    for (int r = 0; r < window_->DeviceList()->GetItemCount(); ++r) {
      if (window_->DeviceList()->GetItemText(r, 0).toStdString() == ip)
        return window_->DeviceList()->GetItemText(r, 4).toStdString();
    }
    return {};
  }
  std::vector<lab::DevsimDevice> Receivers() const {
    return {devices_.begin(), devices_.end() - 1};
  }
  std::vector<int16_t> Reference(const char* name, int channels) {
    return testing::FfmpegDecode((*dir_ / name).string(), kRate, channels,
                                 (*dir_ / (std::string(name) + ".raw")).string());
  }
  void Format(int transport, int codec) {
    console_->transport()->setCurrentIndex(transport);
    console_->codec()->setCurrentIndex(codec);
    console_->rate()->setCurrentIndex(kRateIndex);
  }
  // Stop, then every device's talk is closed and its counts stay still.
  void StopAndExpectQuiet() {
    console_->stop_button()->click();
    ASSERT_TRUE(Settled());
    EXPECT_EQ(console_->running(), 0);
    EXPECT_FALSE(console_->has_decoder());
    for (const auto& d : Receivers())
      EXPECT_TRUE(WaitFor([&] { return !Talk(d.serial).open; }, 3000)) << d.serial;
    std::map<std::string, long long> packets;
    for (const auto& d : Receivers())
      packets[d.serial] = Talk(d.serial).packets;
    WaitFor([] { return false; }, 400);
    for (const auto& d : Receivers())
      EXPECT_EQ(Talk(d.serial).packets, packets[d.serial]) << d.serial;
  }
  // The console's device calls run on its worker: its answers have come back.
  bool Settled() {
    return WaitFor([&] { return console_->idle(); }, 10000);
  }
  void ExpectBusyDeviceStayedOut() {
    const lab::DevsimDevice& busy = devices_.back();
    EXPECT_EQ(Talk(busy.serial).talks, before_[busy.serial].talks);
    EXPECT_EQ(Status(busy.ip), LookupText(keys::STRING_STARTTALK_DEVBUSY));
  }

  static fs::path* dir_;
  lab::DevsimControl control_ = lab::DevsimControl::FromEnvironment();
  test::RecordingPrompter prompter_;
  std::unique_ptr<CQmDadIvidudEvuzDlg> window_;
  CAudioPlayDlg* console_ = nullptr;
  std::vector<lab::DevsimDevice> devices_;
  std::string busy_;
  std::map<std::string, TalkState> before_;
};
fs::path* TalkWindowLab::dir_ = nullptr;

class BroadcastWindowLab : public TalkWindowLab,
                           public ::testing::WithParamInterface<BroadcastCase> {};

TEST_P(BroadcastWindowLab, PlayListLoopsToEveryDeviceButTheBusyOne) {
  const BroadcastCase c = GetParam();
  const int channels = c.codec == kAac ? 2 : 1;
  Format(c.transport, c.codec);
  console_->AddFiles();
  console_->AddFiles();  // the same two again: no duplicates
  ASSERT_EQ(console_->play_list()->GetItemCount(), 2);
  console_->SelectEntry(0);
  console_->ChooseSource(true);
  console_->start_button()->click();
  ASSERT_TRUE(Settled());
  ASSERT_EQ(console_->running(), 1);
  EXPECT_TRUE(prompter_.boxes.empty());

  // one.mp3, two.mp3, one.mp3 again, and the fourth talk opened: the third is complete.
  const std::string first = Receivers().front().serial;
  ASSERT_TRUE(WaitFor([&] { return Talk(first).talks >= before_[first].talks + 4; }, 25000))
      << "talks " << Talk(first).talks;
  StopAndExpectQuiet();

  const auto ref_one = Reference("one.mp3", channels);
  const auto ref_two = Reference("two.mp3", channels);
  ASSERT_FALSE(ref_one.empty());
  ASSERT_FALSE(ref_two.empty());
  for (const auto& d : Receivers()) {
    const TalkState s = Talk(d.serial);
    EXPECT_GE(s.talks, before_[d.serial].talks + 4) << d.serial;
    const auto got = WavSamples(WavOf(d.serial, 1));
    EXPECT_NEAR(static_cast<double>(got.size()), static_cast<double>(ref_one.size()),
                0.1 * static_cast<double>(ref_one.size()) + 2304.0 * channels)
        << d.serial;
    EXPECT_GE(testing::AlignedCorrelation(got, ref_one, channels, 2400), c.min_correlation)
        << d.serial;
  }
  // The second talk carried the second file, the third the first again.
  const auto second = WavSamples(WavOf(first, 2));
  EXPECT_GE(testing::AlignedCorrelation(second, ref_two, channels, 2400), c.min_correlation);
  EXPECT_LT(testing::AlignedCorrelation(second, ref_one, channels, 2400), 0.5);
  EXPECT_GE(testing::AlignedCorrelation(WavSamples(WavOf(first, 3)), ref_one, channels, 2400),
            c.min_correlation);
  ExpectBusyDeviceStayedOut();
}

INSTANTIATE_TEST_SUITE_P(Transports, BroadcastWindowLab,
                         ::testing::Values(BroadcastCase{"udp_pcm", kUdp, kPcm, 0.99},
                                           BroadcastCase{"tcp_pcm", kTcp, kPcm, 0.99},
                                           BroadcastCase{"multicast_pcm", kMulticast, kPcm, 0.99},
                                           BroadcastCase{"udp_g711", kUdp, kG711, 0.95},
                                           BroadcastCase{"tcp_aac", kTcp, kAac, 0.9}),
                         [](const ::testing::TestParamInfo<BroadcastCase>& p) {
                           return std::string(p.param.name);
                         });

TEST_F(TalkWindowLab, OneEntryReplaysAndPauseHoldsThePosition) {
  Format(kUdp, kPcm);
  console_->SetFileChooser([](const QString&) {
    return QStringList{QString::fromStdString((*dir_ / "two.mp3").string())};
  });
  console_->AddFiles();
  console_->SelectEntry(0);
  console_->ChooseSource(true);
  console_->Start();
  const std::string first = Receivers().front().serial;
  ASSERT_TRUE(WaitFor([&] { return Talk(first).talks >= before_[first].talks + 2; }, 10000));
  EXPECT_EQ(console_->play_list()->GetFirstSelectedItem(), 0);

  // Paused: the talk stays open and nothing more is sent; Start goes on in the same talk.
  ASSERT_TRUE(WaitFor([&] { return Talk(first).packets > 0; }, 5000));
  console_->pause_button()->click();
  ASSERT_TRUE(Settled());
  const TalkState paused = Talk(first);
  WaitFor([] { return false; }, 300);
  EXPECT_TRUE(Talk(first).open);
  EXPECT_LE(Talk(first).packets, paused.packets + 4);
  console_->start_button()->click();
  ASSERT_TRUE(WaitFor([&] { return Talk(first).packets > paused.packets + 5; }, 3000));
  EXPECT_EQ(Talk(first).talks, paused.talks);
  StopAndExpectQuiet();
}

TEST_F(TalkWindowLab, VoiceTalkOverTcpRunsUntilStop) {
  Format(kTcp, kPcm);
  console_->ChooseSource(false);
  console_->Start();
  ASSERT_TRUE(Settled());
  ASSERT_EQ(console_->running(), 1);
  EXPECT_FALSE(console_->has_decoder());
  // Microphone or, on a machine without one, silence: either way at the talk's pace.
  for (const auto& d : Receivers())
    ASSERT_TRUE(WaitFor([&] { return Talk(d.serial).bytes > kRate * 2 / 2; }, 5000)) << d.serial;
  for (const auto& d : Receivers()) {
    const TalkState s = Talk(d.serial);
    EXPECT_TRUE(s.open) << d.serial;
    EXPECT_EQ(s.talks, before_[d.serial].talks + 1) << d.serial;
    EXPECT_EQ(s.lost, 0) << d.serial;
  }
  StopAndExpectQuiet();
  ExpectBusyDeviceStayedOut();
}

}  // namespace
}  // namespace vdz
