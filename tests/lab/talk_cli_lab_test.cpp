// viduzaver-cli broadcast and audio-files against the simulated site: result lines, what the
// devices received and stored, and the exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>

#include "lab/cli_process.h"
#include "lab/devsim_control.h"
#include "support/pcm_compare.h"

namespace vdz {
namespace {

using lab::Cli;
using lab::CliRun;

namespace fs = std::filesystem;

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class TalkCliLab : public ::testing::Test {
 protected:
  void SetUp() override {
    devices_ = control_.Devices();
    ASSERT_GE(devices_.size(), 3u);
    dir_ = fs::temp_directory_path() / ("vdz-cli-talk-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    control_.Send("talk-fault all none");
    ASSERT_TRUE(testing::MakeToneMp3(dir_.string(), "tone.mp3", 32000, 1, 1.0));
  }
  void TearDown() override {
    control_.Send("talk-fault all none");
    fs::remove_all(dir_);
  }
  std::map<std::string, std::string> TalkOf(const std::string& serial) {
    std::vector<std::string> lines;
    if (!control_.Send("talk " + serial, &lines) || lines.empty())
      return {};
    return lab::ParseReplyLine(lines[0]);
  }
  std::vector<std::string> Stored(const std::string& serial) {
    std::vector<std::string> lines;
    control_.Send("audio-files " + serial, &lines);
    return lines;
  }
  lab::DevsimControl control_ = lab::DevsimControl::FromEnvironment();
  std::vector<lab::DevsimDevice> devices_;
  fs::path dir_;
};

TEST_F(TalkCliLab, BroadcastLoopsToEveryDeviceAndReportsTheBusyOne) {
  const auto& a = devices_[0];
  const auto& b = devices_[1];
  const auto& busy = devices_[2];
  control_.Send("talk-fault " + busy.serial + " busy");
  const int talks_before = std::stoi(TalkOf(a.serial)["talks"]);
  const std::string file = (dir_ / "tone.mp3").string();
  const CliRun r = Cli("broadcast " + file + " " + a.serial + " " + b.ip + " " + busy.serial +
                       " --transport tcp --loop 2 --seconds 2 --format json");
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_TRUE(Has(r.out, "\"serial\": \"" + a.serial + "\"")) << r.out;
  EXPECT_TRUE(Has(r.out, "\"result\": \"joined\"")) << r.out;
  EXPECT_TRUE(Has(r.out, "\"result\": \"busy\"")) << r.out;

  const auto ref = testing::FfmpegDecode(file, 32000, 1, (dir_ / "ref.raw").string());
  ASSERT_FALSE(ref.empty());
  for (const auto* d : {&a, &b}) {
    auto t = TalkOf(d->serial);
    // One talk for the whole run, closed at its end, the file in it twice.
    EXPECT_EQ(std::stoi(t["talks"]), talks_before + 1) << d->serial;
    EXPECT_EQ(t["open"], "0") << d->serial;
    EXPECT_EQ(t["lost"], "0") << d->serial;
    const std::string wav = testing::ReadFile(t["wav"]);
    ASSERT_GT(wav.size(), 44u) << d->serial;
    const auto got = testing::AsSamples(wav.data() + 44, wav.size() - 44);
    EXPECT_NEAR(static_cast<double>(got.size()), 2.0 * static_cast<double>(ref.size()),
                0.1 * static_cast<double>(ref.size()) + 4608)
        << d->serial;
    EXPECT_GE(testing::AlignedCorrelation(got, ref, 1, 2400), 0.99) << d->serial;
    // The second pass: the same file again, from where the first one ended.
    const std::vector<int16_t> second(
        got.begin() + static_cast<long>(std::min(got.size(), ref.size())), got.end());
    EXPECT_GE(testing::AlignedCorrelation(second, ref, 1, 2400), 0.99) << d->serial;
  }
  EXPECT_EQ(TalkOf(busy.serial)["talks"], "0");
}

TEST_F(TalkCliLab, BroadcastEndsWhenEveryDeviceIsBusy) {
  control_.Send("talk-fault all busy");
  // A hundred passes of the file would take over a minute and a half.
  const CliRun r = Cli("broadcast " + (dir_ / "tone.mp3").string() + " --loop 100 --seconds 2 " +
                       devices_[0].serial + " " + devices_[1].serial);
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_TRUE(Has(r.out, "2 device(s), 2 failed")) << r.out;
  EXPECT_FALSE(Has(r.out, "joined")) << r.out;
}

TEST_F(TalkCliLab, AudioFilesUploadListPlayStopDelete) {
  const auto& d = devices_[1];
  const fs::path upper = dir_ / "Chime.Mp3";
  fs::copy_file(dir_ / "tone.mp3", upper);
  const fs::path app = dir_ / "helper.bin";
  std::FILE* f = std::fopen(app.c_str(), "wb");
  std::fputs("application bytes", f);
  std::fclose(f);

  CliRun r = Cli("audio-files upload --file " + upper.string() + " --file " + app.string() +
                 " --seconds 2 " + d.serial);
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(Has(r.out, "uploaded 2 file(s)")) << r.out;

  r = Cli("audio-files list --seconds 2 --format json " + d.ip);
  EXPECT_EQ(r.status, 0) << r.out;
  const std::string stored = "/mnt/mtd/mp3/Chime.Mp3";
  EXPECT_TRUE(Has(r.out, "\"file\": \"" + stored + "\"")) << r.out;
  EXPECT_FALSE(Has(r.out, "helper.bin")) << r.out;
  r = Cli("audio-files list --app --seconds 2 " + d.ip);
  EXPECT_TRUE(Has(r.out, "helper.bin")) << r.out;

  r = Cli("audio-files play --file " + stored + " --seconds 2 " + d.serial);
  EXPECT_EQ(r.status, 0) << r.out;
  auto lines = Stored(d.serial);
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& l) {
    return Has(l, "playing") && Has(l, stored);
  }));
  r = Cli("audio-files stop --seconds 2 " + d.serial);
  EXPECT_EQ(r.status, 0) << r.out;
  lines = Stored(d.serial);
  EXPECT_FALSE(std::any_of(lines.begin(), lines.end(), [&](const std::string& l) {
    return Has(l, "playing") && Has(l, stored);
  }));

  r = Cli("audio-files delete --file " + stored + " --seconds 2 " + d.serial);
  EXPECT_EQ(r.status, 0) << r.out;
  lines = Stored(d.serial);
  EXPECT_FALSE(std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& l) { return Has(l, stored); }));
}

TEST_F(TalkCliLab, BadArgumentsTouchNoDevice) {
  const std::string file = (dir_ / "tone.mp3").string();
  const std::string talks = TalkOf(devices_[0].serial)["talks"];
  for (const std::string& args : std::vector<std::string>{
           "broadcast " + file + " --codec opus --all", "broadcast " + file,
           "broadcast " + devices_[0].serial, "broadcast " + file + " --rate 44100 --all",
           "broadcast " + file + " --loop 0 --all", "audio-files upload " + devices_[0].serial,
           "audio-files rename --all", "broadcast /nonexistent/x.mp3 --all"}) {
    const CliRun r = Cli(args);
    EXPECT_EQ(r.status, 2) << args << "\n" << r.out;
  }
  EXPECT_EQ(TalkOf(devices_[0].serial)["talks"], talks);
}

}  // namespace
}  // namespace vdz
