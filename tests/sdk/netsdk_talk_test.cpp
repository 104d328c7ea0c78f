// Talk to several devices at once against the device side on 127.0.0.1: what each device
// writes down matches what was sent; a busy device stays out; records and MP3 files.
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "protocol/protocol_numbers.h"
#include "sdk_test_env.h"
#include "support/pcm_compare.h"

namespace vdz::test {
namespace {

namespace fs = std::filesystem;

struct TalkCase {
  int transport;
  int codec;
  int rate;
  int channels;
  double min_correlation;
};

class SdkTalkTest : public SdkTest, public ::testing::WithParamInterface<TalkCase> {
 protected:
  void SetUp() override {
    SdkTest::SetUp();
    dir_ = fs::temp_directory_path() / ("vdz-talk-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    QM_NETSDK_IPC_StopTalk();
    SdkTest::TearDown();
    fs::remove_all(dir_);
  }
  devserver::DeviceId Device(const std::string& serial) {
    devserver::DeviceConfig c;
    c.serial_number = serial;
    c.talk_folder = dir_.string();
    return AddDevice(c);
  }
  fs::path dir_;
};

TEST_P(SdkTalkTest, EveryJoinedDeviceRecordsWhatWasSent) {
  const TalkCase t = GetParam();
  devserver::DeviceId ids[3] = {Device("TALK0001"), Device("TALK0002"), Device("TALK0003")};
  host_.SetTalkFault(ids[2], devserver::TalkFault::kBusy);
  int handles[3];
  for (int i = 0; i < 3; ++i) {
    handles[i] = Login(ids[i]);
    ASSERT_GT(handles[i], 0);
  }
  ASSERT_EQ(QM_NETSDK_IPC_StartTalk(t.transport, t.codec, t.rate, 16, t.channels), 0);
  EXPECT_EQ(QM_NETSDK_IPC_StartTalk(t.transport, t.codec, t.rate, 16, t.channels),
            QM_NETSDK_ERR_BUSY);
  for (int h : handles)
    EXPECT_EQ(QM_NETSDK_IPC_StartVoiceCom(h, 0, 1, 0, 0), 0);
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(recorder_.WaitStatus(handles[i], proto::kEventTalkStarted));
    EXPECT_EQ(QM_NETSDK_IPC_AddTalk(handles[i]), 0);
  }
  ASSERT_TRUE(recorder_.WaitStatus(handles[2], proto::kEventTalkBusy));
  EXPECT_NE(QM_NETSDK_IPC_AddTalk(handles[2]), 0);

  const auto tone = vdz::testing::ToneSamples(t.rate, t.channels, 1.5);
  const std::size_t chunk = static_cast<std::size_t>(t.rate * t.channels / 25);
  for (std::size_t off = 0; off < tone.size(); off += chunk) {
    const std::size_t n = std::min(chunk, tone.size() - off);
    ASSERT_EQ(QM_NETSDK_IPC_InputAudioData(3, reinterpret_cast<const char*>(tone.data() + off),
                                           static_cast<int>(n * 2)),
              0);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(QM_NETSDK_IPC_RemoveTalk(handles[i]), 0);
    EXPECT_EQ(QM_NETSDK_IPC_StopVoiceCom(handles[i]), 0);
    ASSERT_TRUE(recorder_.WaitStatus(handles[i], proto::kEventTalkStopped));
    const devserver::TalkStats s = host_.Talk(ids[i]);
    EXPECT_FALSE(s.open);
    EXPECT_EQ(s.lost, 0u);
    const std::string wav = vdz::testing::ReadFile(s.wav_path);
    ASSERT_GT(wav.size(), 44u);
    const auto got = vdz::testing::AsSamples(wav.data() + 44, wav.size() - 44);
    EXPECT_NEAR(static_cast<double>(got.size()), static_cast<double>(tone.size()),
                0.05 * static_cast<double>(tone.size()) + 2048.0 * t.channels);
    EXPECT_GE(vdz::testing::AlignedCorrelation(got, tone, t.channels, 2200), t.min_correlation);
  }
  EXPECT_EQ(host_.Talk(ids[2]).talks, 0);
  EXPECT_EQ(QM_NETSDK_IPC_StopTalk(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, SdkTalkTest,
    ::testing::Values(TalkCase{0, 2, 32000, 1, 0.99}, TalkCase{1, 2, 48000, 1, 0.99},
                      TalkCase{0, 0, 8000, 1, 0.95}, TalkCase{1, 0, 16000, 1, 0.95},
                      TalkCase{0, 1, 32000, 2, 0.9}, TalkCase{1, 1, 48000, 2, 0.9}));

TEST_F(SdkTest, TalkRefusesBadFormatsAndCallsWithoutTalk) {
  EXPECT_EQ(QM_NETSDK_IPC_StartTalk(0, 2, 44100, 16, 1), QM_NETSDK_ERR_INVALID_ARG);
  EXPECT_EQ(QM_NETSDK_IPC_StartTalk(3, 2, 8000, 16, 1), QM_NETSDK_ERR_INVALID_ARG);
  EXPECT_EQ(QM_NETSDK_IPC_StartTalk(0, 2, 8000, 8, 1), QM_NETSDK_ERR_INVALID_ARG);
  EXPECT_EQ(QM_NETSDK_IPC_InputAudioData(3, "ab", 2), QM_NETSDK_ERR_NOT_INIT);
  const auto id = AddDevice();
  const int h = Login(id);
  EXPECT_EQ(QM_NETSDK_IPC_StartVoiceCom(h, 0, 1, 0, 0), QM_NETSDK_ERR_NOT_INIT);
}

TEST(CaptureRecordsTest, FieldsAtTheirOffsetsAndBack) {
  unsigned char audio[24] = {};
  ASSERT_EQ(QM_NETSDK_IPC_Media_getAudioCaptureByXml(
                audio,
                "<AudioCapture Enable=\"1\" InputVolume=\"33\" OutputVolume=\"44\" "
                "CallKeyAnswer=\"ENABLE\" />"),
            0);
  std::int16_t in = 0, out = 0;
  std::int32_t key = 0;
  std::memcpy(&in, audio + 12, 2);
  std::memcpy(&out, audio + 14, 2);
  std::memcpy(&key, audio + 20, 4);
  EXPECT_EQ(in, 33);
  EXPECT_EQ(out, 44);
  EXPECT_EQ(key, 1);
  in = 90;
  std::memcpy(audio + 12, &in, 2);
  char* text = QM_NETSDK_IPC_XMLGET_AudioCaptureConfig(audio);
  ASSERT_NE(text, nullptr);
  EXPECT_NE(std::strstr(text, "InputVolume=\"90\""), nullptr);
  EXPECT_NE(std::strstr(text, "CallKeyAnswer=\"ENABLE\""), nullptr);
  QM_NETSDK_IPC_XMLGET_SAFE_FREE(text);

  unsigned char video[176] = {};
  ASSERT_EQ(QM_NETSDK_IPC_Media_getVideoCaptureByXml(video, "<VideoCapture Mirror=\"1\" />"), 0);
  std::int32_t mirror = 0;
  std::memcpy(&mirror, video + 24, 4);
  EXPECT_EQ(mirror, 1);
  const std::int32_t flip = 1;
  std::memcpy(video + 28, &flip, 4);
  text = QM_NETSDK_IPC_XMLGET_VideoCaptureConfig(video);
  EXPECT_NE(std::strstr(text, "Flip=\"1\""), nullptr);
  QM_NETSDK_IPC_XMLGET_SAFE_FREE(text);
  EXPECT_EQ(QM_NETSDK_IPC_Media_getVideoCaptureByXml(video, "not xml <"), QM_NETSDK_ERR_PROTOCOL);
}

TEST_F(SdkTest, Mp3FilesUploadListPlayAndDelete) {
  const auto id = AddDevice();
  const int h = Login(id);
  ASSERT_GT(h, 0);
  const std::string dir = fs::temp_directory_path() / ("vdz-mp3f-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  for (int i = 0; i < 12; ++i) {
    const std::string path = dir + "/song" + std::to_string(10 + i) + ".mp3";
    std::ofstream(path, std::ios::binary) << std::string(1000 + i, 'x');
    ASSERT_EQ(QM_NETSDK_IPC_UploadOEMMp3File(h, path.c_str()), 0);
    ASSERT_TRUE(recorder_.WaitStatus(h, proto::kEventFileUploadDone, i + 1));
  }
  fs::remove_all(dir);
  ASSERT_EQ(QM_NETSDK_IPC_SearchOEMMp3File(h, 1), 0);
  ASSERT_TRUE(recorder_.WaitAux(h, proto::kCmdFileSearch));
  const std::string page = recorder_.LastAux(h, proto::kCmdFileSearch).text;
  EXPECT_NE(page.find("FilePath=\"/mnt/mtd/mp3/song21.mp3\" FileLength=\"1011\""),
            std::string::npos)
      << page;
  EXPECT_EQ(page.find("song19"), std::string::npos);  // on page 0
  EXPECT_EQ(QM_NETSDK_IPC_PlayMp3File(h, "/mnt/mtd/mp3/song12.mp3", 1), 0);
  EXPECT_EQ(host_.PlayingFile(id), "/mnt/mtd/mp3/song12.mp3");
  EXPECT_NE(QM_NETSDK_IPC_PlayMp3File(h, "/mnt/mtd/mp3/none.mp3", 1), 0);
  EXPECT_EQ(QM_NETSDK_IPC_StopPlayMp3File(h), 0);
  EXPECT_EQ(host_.PlayingFile(id), "");
  EXPECT_EQ(QM_NETSDK_IPC_SystemControl(h, proto::kCmdFileDelete, 0,
                                        "<REQUEST_PARAM FileName=\"/mnt/mtd/mp3/song12.mp3\" />"),
            0);
  EXPECT_EQ(host_.ListedFiles(id, true).size(), 11u);
}

}  // namespace
}  // namespace vdz::test
