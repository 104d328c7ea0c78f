// The talk and broadcast console: one audio link from the workstation to every checked
// device, fed by the microphone or by an MP3 play list that loops; the devices' audio and
// image settings; and the hidden extension and device-file groups.
#pragma once

#include <QDialog>
#include <QStringList>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "audio/audio_decode_mp3.h"
#include "audio/talk_sdk.h"
#include "devops/sdk_event.h"
#include "discovery/device_list_port.h"
#include "shell/prompter.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSlider;

namespace vdz {

class CAudioPlayDlg : public QDialog, public audio::AudioDecodeOwner {
 public:
  // (multi-selection, filter in the "Text(*.x)|*.x||" form) -> chosen paths; tests bring their own.
  using FileChooser = std::function<QStringList(const QString& filter)>;

  CAudioPlayDlg(QWidget* parent, TalkSdk& sdk, DeviceListPort& list, Prompter& prompter);
  ~CAudioPlayDlg() override;

  // Status events 6, 7, 8, 14, 35, 36, 37 and auxiliary responses 504, 507, 1021, 1022.
  void OnSdkEvent(const SdkEventRecord& event);
  void PostEndOfFile() override;
  void SetFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }

  // The commands, as the buttons run them.
  void AddFiles();
  void ClearFiles();
  void Start();
  void Pause();
  void Stop();
  void PlayEntry(int index);
  void ChooseSource(bool mp3);
  void SaveAudioSettings();
  void SaveImageSettings();
  void QueryDeviceFiles();
  void UploadDeviceFiles();
  void DeleteDeviceFiles();
  void Audition();
  void OnEndOfFile();

  // State, for tests.
  int running() const { return running_; }
  int source() const { return source_.load(); }
  bool has_decoder() const { return decoder_ != nullptr; }
  audio::CAudioDecodeMp3* decoder() { return decoder_.get(); }
  QListWidget* play_list() { return play_list_; }
  QListWidget* device_files() { return device_files_; }
  QComboBox* codec() { return codec_; }
  QComboBox* rate() { return rate_; }
  QComboBox* transport() { return transport_; }
  QPushButton* start_button() { return start_; }
  QPushButton* pause_button() { return pause_; }
  QPushButton* stop_button() { return stop_; }
  QSlider* capture_volume() { return capture_volume_; }
  QSlider* playback_volume() { return playback_volume_; }
  QCheckBox* mirror() { return mirror_; }
  QCheckBox* flip() { return flip_; }
  QRadioButton* app_radio() { return app_radio_; }
  const std::vector<std::string>& upload_queue() const { return upload_queue_; }
  // A decoder's pacing timer, for tests that drive the ticks themselves.
  void SetTimerFactory(audio::TimerFactory factory) { timer_factory_ = std::move(factory); }

 private:
  void BuildControls();
  std::vector<int> CheckedHandles() const;
  int SingleHandle();
  void UpdateButtons(bool paused);
  void RequestSettings(int command, std::mutex& lock, std::map<int, std::vector<char>>& set);
  void OnSettingsReply(const SdkEventRecord& event);
  void OnFileListPage(const SdkEventRecord& event);
  void RequestFilePage();
  void UploadNext();
  void LogAgainst(int handle, const char* key);
  static void ChunkSink(audio::AudioDecodeOwner* owner, const char* data, unsigned length);
  static int MicrophoneSink(const char* data, int length, void* owner);

  TalkSdk& sdk_;
  DeviceListPort& list_;
  Prompter& prompter_;
  FileChooser chooser_;
  audio::TimerFactory timer_factory_;

  int running_ = 0;
  std::atomic<int> source_{0};
  std::unique_ptr<audio::CAudioDecodeMp3> decoder_;
  std::mutex audio_lock_;
  std::map<int, std::vector<char>> audio_requests_;
  std::mutex image_lock_;
  std::map<int, std::vector<char>> image_requests_;
  int query_handle_ = 0;
  int page_counter_ = 0;
  int upload_handle_ = 0;
  std::vector<std::string> upload_queue_;
  bool told_no_microphone_ = false;

  QListWidget* play_list_ = nullptr;
  QComboBox* codec_ = nullptr;
  QComboBox* rate_ = nullptr;
  QComboBox* transport_ = nullptr;
  QRadioButton* voice_radio_ = nullptr;
  QRadioButton* mp3_radio_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* pause_ = nullptr;
  QPushButton* stop_ = nullptr;
  QSlider* capture_volume_ = nullptr;
  QSlider* playback_volume_ = nullptr;
  QComboBox* call_key_ = nullptr;
  QCheckBox* mirror_ = nullptr;
  QCheckBox* flip_ = nullptr;
  QGroupBox* ext_group_ = nullptr;
  QGroupBox* file_group_ = nullptr;
  QListWidget* device_files_ = nullptr;
  QRadioButton* mp3_files_radio_ = nullptr;
  QRadioButton* app_radio_ = nullptr;
  QPushButton* audition_ = nullptr;
  QLineEdit* status_ = nullptr;
};

// The process-wide audition flag: a device plays a stored MP3 on request.
extern std::atomic<int> g_audition_playing;

}  // namespace vdz
