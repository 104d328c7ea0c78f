// The talk and broadcast console: one audio link from the workstation to every checked
// device, fed by the microphone or by an MP3 play list that loops; the devices' audio and
// image settings; and the hidden extension and device-file groups. Its device calls and MP3
// decodes run on threads of its own; the window thread only reads the controls, posts the work
// and applies what comes back.
#pragma once

#include <QDialog>
#include <QStringList>
#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "audio/audio_decode_mp3.h"
#include "audio/job_thread.h"
#include "audio/talk_sdk.h"
#include "devops/sdk_event.h"
#include "discovery/device_list_port.h"
#include "shell/prompter.h"
#include "ui/report_ctrl.h"
#include "ui/window_thread_mailbox.h"

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
  // Selects and focuses one play-list entry alone and scrolls it into view.
  void SelectEntry(int index);
  void ChooseSource(bool mp3);
  void SaveAudioSettings();
  void SaveImageSettings();
  void QueryDeviceFiles();
  void UploadDeviceFiles();
  void DeleteDeviceFiles();
  void Audition();
  void OnEndOfFile();

  // State as the window thread last heard it, for tests.
  int running() const { return running_; }
  int source() const { return source_.load(); }
  bool has_decoder() const { return has_decoder_; }
  // No work posted by the window thread is still waiting for its answer.
  bool idle() const { return outstanding_ == 0; }
  CReportCtrl* play_list() { return play_list_; }
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
  using Decoder = std::unique_ptr<audio::CAudioDecodeMp3>;
  // A Start as the controls and the list stood when it was asked for.
  struct StartRequest {
    std::vector<int> handles;
    int codec = 0;
    int rate = 0;
    int transport = 0;
    int channels = 1;
    int source = 0;
    std::string path;        // the first selected play-list entry, empty when none
    bool follow_on = false;  // the play list moving on to its next file
    audio::TimerFactory timers;
  };
  // The talk as the worker keeps it; touched on the worker only.
  struct TalkState {
    int running = 0;
    Decoder decoder;
    Decoder ahead;           // the play list's next file, decoded while the current one plays
    std::set<int> awaiting;  // devices asked to join a follow-on talk that have not answered
    bool pacing_wanted = false;
    bool tick_now = false;
    unsigned await_round = 0;
    bool told_no_microphone = false;
    std::map<int, std::vector<char>> audio_requests;
    std::map<int, std::vector<char>> image_requests;
  };

  void BuildControls();
  std::vector<int> CheckedHandles() const;
  int SingleHandle();
  void UpdateButtons(bool paused);
  std::optional<StartRequest> ReadStart(bool follow_on);
  void DecodeNext(const StartRequest& r);
  void MarkStopped();
  // The entry after the selected one that a loop has not passed over; -1 when none is left.
  int NextEntry() const;
  std::string EntryPath(int entry) const;
  // A loop met an entry it cannot play: marked, logged, and the loop goes on with the next.
  void PassOver(const std::string& path);
  void DecodeAhead(int entry, int rate, int channels);
  void RequestSettings(int command);
  void OnSettingsReply(const SdkEventRecord& event);
  void OnFileListPage(const SdkEventRecord& event);
  void RequestFilePage();
  void UploadNext();
  void LogAgainst(int handle, const char* key);
  static void ChunkSink(audio::AudioDecodeOwner* owner, const char* data, unsigned length);
  static int MicrophoneSink(const char* data, int length, void* owner);

  // Window thread -> worker, and back.
  void Submit(std::function<void()> job);
  void Reply(std::function<void()> work);
  void ReplyError(const char* key);
  void ReplyLog(int handle, const char* key);

  // On the worker.
  void StartOnWorker(const StartRequest& r, unsigned round);
  void StopOnWorker(const std::vector<int>& handles);
  void ChangeFileOnWorker(const std::vector<int>& stopping, const StartRequest& r, unsigned round);
  void StartCapture(const StartRequest& r);
  void AwaitAnswers(const std::vector<int>& handles, const std::vector<int>& asked);
  void ForgetDecoder();
  void ReplyStopped(unsigned round);
  void PaceIfWanted();
  void Answered(int handle);
  Decoder TakeDecoded(const std::string& path, int rate, int channels,
                      const audio::TimerFactory& timers);
  Decoder MakeDecoder(const std::string& path, int rate, int channels,
                      const audio::TimerFactory& timers);

  TalkSdk& sdk_;
  DeviceListPort& list_;
  Prompter& prompter_;
  FileChooser chooser_;
  audio::TimerFactory timer_factory_;

  int running_ = 0;
  bool has_decoder_ = false;
  int outstanding_ = 0;
  unsigned stops_ = 0;  // Stops asked for so far: a late answer to an earlier Start is stale
  std::atomic<int> source_{0};
  int query_handle_ = 0;
  int page_counter_ = 0;
  int upload_handle_ = 0;
  std::vector<std::string> upload_queue_;

  TalkState talk_;
  // The workers' answers, run on the window's thread in the order they came; the workers are
  // declared after it, so they have ended before it goes.
  WindowThreadMailbox replies_{this};
  // Device calls in the order they were asked for; decodes ahead beside them, so a long file
  // never holds a device's answer.
  audio::JobThread talk_worker_;
  audio::JobThread decode_worker_;

  CReportCtrl* play_list_ = nullptr;
  std::set<std::string> unplayable_;  // entries this loop passed over, as encoded paths
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
