// The console offscreen against a recording SDK: its edge cases.
#include "audio/console/audio_play_dlg.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <cstring>

#include "protocol/protocol_numbers.h"
#include "support/fake_device_list.h"
#include "support/recording_prompter.h"

namespace vdz {
namespace {

class RecordingTalkSdk final : public TalkSdk {
 public:
  int StartTalk(int, int, int, int, int) override { return Note("StartTalk"); }
  int StopTalk() override { return Note("StopTalk"); }
  int AddTalk(int h) override { return Note("AddTalk", h); }
  int RemoveTalk(int h) override { return Note("RemoveTalk", h); }
  int StartVoiceCom(int h) override { return Note("StartVoiceCom", h); }
  int StopVoiceCom(int h) override { return Note("StopVoiceCom", h); }
  int StartAudioCapture(int, int, int, CaptureSink, void*) override { return Note("Capture"); }
  int StopAudioCapture() override { return Note("StopCapture"); }
  int AudioCaptureState(char*, int) override { return 1; }
  int InputAudioData(int, const char*, int) override { return 0; }
  int GetDVRConfig(int h, int c) override { return Note("Get" + std::to_string(c), h); }
  int SetDVRConfig(int h, int c, const char* xml, int) override {
    last_xml = xml;
    return Note("Set" + std::to_string(c), h);
  }
  int SystemControl(int h, int c, const char* text) override {
    last_text = text;
    return Note("Control" + std::to_string(c), h);
  }
  int UploadOEMMp3File(int h, const char*) override { return Note("UploadMp3", h); }
  int UploadOEMAppFile(int h, const char*) override { return Note("UploadApp", h); }
  int SearchOEMMp3File(int h, int page) override {
    return Note("SearchMp3/" + std::to_string(page), h);
  }
  int PlayMp3File(int h, const char*, int) override { return Note("Play", h); }
  int StopPlayMp3File(int h) override { return Note("StopPlay", h); }
  int GetFileByName(int, const char*, const char*) override { return 0; }
  int AudioRecordFromXml(void* r, const char*) override {
    std::memset(r, 0x11, 24);
    return 0;
  }
  int VideoRecordFromXml(void*, const char*) override { return 0; }
  char* AudioRecordXml(const void* r) override {
    std::int16_t v = 0;
    std::memcpy(&v, static_cast<const char*>(r) + 12, 2);
    return strdup(("<AudioCapture InputVolume=\"" + std::to_string(v) + "\" />").c_str());
  }
  char* VideoRecordXml(const void*) override { return strdup("<VideoCapture />"); }
  void FreeText(char* text) override { std::free(text); }

  int Note(const std::string& what, int handle = 0) {
    calls.push_back(handle != 0 ? what + "@" + std::to_string(handle) : what);
    return 0;
  }
  int Count(const std::string& what) const {
    return static_cast<int>(std::count(calls.begin(), calls.end(), what));
  }
  std::vector<std::string> calls;
  std::string last_xml;
  std::string last_text;
};

SdkEventRecord Event(int handle, int code, const char* text = "") {
  SdkEventRecord e{};
  e.handle = handle;
  e.code = code;
  std::strncpy(e.payload, text, sizeof e.payload - 1);
  return e;
}

class AudioPlayDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    list.Add(7, true, true);
    list.Add(8, true, false);
    dlg = std::make_unique<CAudioPlayDlg>(nullptr, sdk, list, prompter);
    dlg->SetFileChooser([this](const QString&) { return chosen; });
  }
  // The console's device calls run on its worker: wait for their answers to come back.
  void Settle() {
    QElapsedTimer timer;
    timer.start();
    while (!dlg->idle() && timer.elapsed() < 5000)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_TRUE(dlg->idle());
  }
  RecordingTalkSdk sdk;
  test::FakeDeviceList list;
  test::RecordingPrompter prompter;
  QStringList chosen;
  std::unique_ptr<CAudioPlayDlg> dlg;
};

TEST_F(AudioPlayDlgTest, InitialStateOfTheControls) {
  EXPECT_EQ(dlg->codec()->currentIndex(), 2);
  EXPECT_EQ(dlg->rate()->currentIndex(), 2);
  EXPECT_EQ(dlg->transport()->currentIndex(), 0);
  EXPECT_TRUE(dlg->start_button()->isEnabled());
  EXPECT_FALSE(dlg->stop_button()->isEnabled());
  EXPECT_EQ(dlg->source(), 0);
}

TEST_F(AudioPlayDlgTest, DuplicateAddLeavesListUnchanged) {
  chosen = {"/a/one.mp3", "/a/two.mp3"};
  dlg->AddFiles();
  chosen = {"/a/two.mp3", "/a/three.mp3"};
  dlg->AddFiles();
  EXPECT_EQ(dlg->play_list()->GetItemCount(), 3);
}

TEST_F(AudioPlayDlgTest, SourceSwitchWhileTalkingSilencesMicrophoneWithoutPlaying) {
  dlg->Start();
  Settle();
  EXPECT_EQ(dlg->running(), 1);
  EXPECT_EQ(sdk.Count("StartVoiceCom@7"), 1);
  EXPECT_EQ(sdk.Count("StartVoiceCom@8"), 0);
  dlg->ChooseSource(true);
  Settle();
  EXPECT_EQ(dlg->source(), 1);
  EXPECT_FALSE(dlg->has_decoder());
  dlg->OnSdkEvent(Event(7, proto::kEventTalkStarted));
  Settle();
  EXPECT_EQ(sdk.Count("AddTalk@7"), 1);
  dlg->Stop();
  Settle();
  EXPECT_EQ(sdk.Count("RemoveTalk@7"), 1);
  EXPECT_EQ(sdk.Count("StopTalk"), 1);
  EXPECT_EQ(dlg->running(), 0);
}

TEST_F(AudioPlayDlgTest, NoCheckedDeviceOrNoFileRefused) {
  dlg->ChooseSource(true);
  dlg->Start();
  Settle();
  ASSERT_EQ(prompter.boxes.size(), 1u);
  EXPECT_EQ(prompter.boxes[0].caption, "ERROR");
  EXPECT_EQ(sdk.Count("StartTalk"), 0);
  EXPECT_EQ(dlg->running(), 0);
}

TEST_F(AudioPlayDlgTest, EndOfFileWithOneEntryReplaysIt) {
  chosen = {"/nonexistent/one.mp3"};
  dlg->AddFiles();
  dlg->SelectEntry(0);
  dlg->ChooseSource(true);
  dlg->Start();  // the file cannot be opened: refused, no talk
  Settle();
  EXPECT_EQ(sdk.Count("StartTalk"), 0);
  ASSERT_FALSE(prompter.boxes.empty());
  // A voice talk that ends a file pass goes to the first entry again.
  dlg->ChooseSource(false);
  dlg->Start();
  Settle();
  dlg->OnEndOfFile();
  Settle();
  EXPECT_EQ(dlg->play_list()->GetFirstSelectedItem(), 0);
  EXPECT_EQ(dlg->source(), 1);
}

TEST_F(AudioPlayDlgTest, UnaskedSettingsReplyIgnored) {
  dlg->OnSdkEvent(Event(7, proto::kCfgAudioCapture, "<AudioCapture />"));
  Settle();
  EXPECT_EQ(sdk.Count("Set527@7"), 0);
  dlg->capture_volume()->setValue(33);
  dlg->SaveAudioSettings();
  Settle();
  EXPECT_EQ(sdk.Count("Get507@7"), 1);
  dlg->OnSdkEvent(Event(8, proto::kCfgAudioCapture, "<AudioCapture />"));
  Settle();
  EXPECT_EQ(sdk.Count("Set527@8"), 0);
  dlg->OnSdkEvent(Event(7, proto::kCfgAudioCapture, "<AudioCapture />"));
  Settle();
  EXPECT_EQ(sdk.Count("Set527@7"), 1);
  EXPECT_EQ(sdk.last_xml, "<AudioCapture InputVolume=\"33\" />");
}

TEST_F(AudioPlayDlgTest, QueryFetchesPagesUntilAnEmptyOne) {
  dlg->QueryDeviceFiles();
  Settle();
  EXPECT_EQ(sdk.Count("SearchMp3/0@7"), 1);
  dlg->OnSdkEvent(Event(7, proto::kCmdFileSearch,
                        "<RESPONSE_PARAM><RECORD_FILE FilePath=\"/m/a.mp3\" FileLength=\"1\"/>"
                        "<RECORD_FILE FilePath=\"/m/b.mp3\" FileLength=\"2\"/></RESPONSE_PARAM>"));
  Settle();
  EXPECT_EQ(sdk.Count("SearchMp3/1@7"), 1);
  dlg->OnSdkEvent(Event(8, proto::kCmdFileSearch,
                        "<RESPONSE_PARAM><RECORD_FILE FilePath=\"/m/x.mp3\"/></RESPONSE_PARAM>"));
  dlg->OnSdkEvent(Event(7, proto::kCmdFileSearch,
                        "<RESPONSE_PARAM><RECORD_FILE FilePath=\"/m/a.mp3\"/></RESPONSE_PARAM>"));
  dlg->OnSdkEvent(Event(7, proto::kCmdFileSearch, "<RESPONSE_PARAM></RESPONSE_PARAM>"));
  Settle();
  EXPECT_EQ(sdk.Count("SearchMp3/3@7"), 0);
  EXPECT_EQ(dlg->device_files()->count(), 2);
}

TEST_F(AudioPlayDlgTest, UploadRoutesByNameWhateverTheRadio) {
  dlg->app_radio()->setChecked(true);
  chosen = {"/f/a.mp3", "/f/b.Mp3", "/f/c.bin"};
  dlg->UploadDeviceFiles();
  Settle();
  EXPECT_EQ(sdk.Count("UploadMp3@7"), 1);
  dlg->OnSdkEvent(Event(8, proto::kEventFileUploadDone));  // another device: no move
  Settle();
  EXPECT_EQ(sdk.Count("UploadMp3@7"), 1);
  dlg->OnSdkEvent(Event(7, proto::kEventFileUploadDone));
  Settle();
  EXPECT_EQ(sdk.Count("UploadMp3@7"), 2);
  dlg->OnSdkEvent(Event(7, proto::kEventFileUploadDone));
  Settle();
  EXPECT_EQ(sdk.Count("UploadApp@7"), 1);
  EXPECT_TRUE(dlg->upload_queue().empty());
}

}  // namespace
}  // namespace vdz
