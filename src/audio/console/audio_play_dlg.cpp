#include "audio/console/audio_play_dlg.h"

#include <tinyxml2.h>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <future>
#include <optional>
#include <thread>
#include <utility>

#include "protocol/protocol_numbers.h"
#include "shell/diag_log.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"
#include "ui/report_ctrl.h"

namespace vdz {

std::atomic<int> g_audition_playing{0};

namespace {

constexpr int kAudioRecordSize = 24;
constexpr int kVideoRecordSize = 176;
constexpr int kRates[] = {8000, 16000, 32000, 48000};
constexpr int kChunkHint = 2560;
constexpr int kDataType = 3;
constexpr std::size_t kDeviceThreads = 16;
// Grey text: an entry a loop passed over.
constexpr ColorRef kUnplayableColour = 0x00808080;

QString Text(const char* key) {
  return QString::fromStdString(LookupText(key));
}

std::string PayloadText(const SdkEventRecord& e) {
  return std::string(e.payload, strnlen(e.payload, sizeof e.payload));
}

// Runs call(handle) for every device at once, each device's own calls in their order on one
// thread: a change of file waits for the slowest device's round trip, not for their sum.
template <typename Call>
std::vector<int> ForEachDevice(const std::vector<int>& handles, const Call& call) {
  std::vector<int> results(handles.size());
  if (handles.size() <= 1) {
    for (std::size_t i = 0; i < handles.size(); ++i)
      results[i] = call(handles[i]);
    return results;
  }
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    for (std::size_t i = next++; i < handles.size(); i = next++)
      results[i] = call(handles[i]);
  };
  std::vector<std::jthread> threads;
  for (std::size_t i = 0; i < std::min(handles.size(), kDeviceThreads); ++i)
    threads.emplace_back(work);
  return results;  // the threads have joined
}

// The choosers take the "Text(*.x)|*.x||" form; Qt wants "Text (*.x)".
QString QtFilter(const QString& filter) {
  const QStringList parts = filter.split('|', Qt::SkipEmptyParts);
  return parts.isEmpty() ? QString() : parts[0];
}

}  // namespace

CAudioPlayDlg::CAudioPlayDlg(QWidget* parent, TalkSdk& sdk, DeviceListPort& list,
                             Prompter& prompter)
    : QDialog(parent), sdk_(sdk), list_(list), prompter_(prompter) {
  setWindowTitle(QString::fromUtf8("对讲/广播控制"));
  chooser_ = [this](const QString& filter) {
    return QFileDialog::getOpenFileNames(this, QString(), QString(), QtFilter(filter));
  };
  timer_factory_ = audio::ThreadTimerFactory();
  BuildControls();
  UpdateButtons(false);
}

CAudioPlayDlg::~CAudioPlayDlg() {
  // Work not started is dropped; a running device call ends within its time bound. The pacing
  // timer goes before the talk it feeds, and the talk before the SDK that owns it.
  decode_worker_.Finish({});
  talk_worker_.Finish([this] {
    talk_.decoder.reset();
    talk_.ahead.reset();
    if (talk_.running) {
      sdk_.StopAudioCapture();
      sdk_.StopTalk();
    }
  });
}

void CAudioPlayDlg::BuildControls() {
  auto* layout = new QVBoxLayout(this);
  auto* list_group = new QGroupBox(Text(keys::STRING_MP3_AUDIOFILE), this);
  auto* lg = new QVBoxLayout(list_group);
  play_list_ = new CReportCtrl(list_group);
  play_list_->SetColumnHeader(Text(keys::IDS_STR_ZH_CN_PB_TIPS24) + QStringLiteral(",1000"));
  play_list_->SetGridLines(true);
  play_list_->setMinimumWidth(480);
  lg->addWidget(play_list_);
  auto* list_buttons = new QHBoxLayout;
  auto* add = new QPushButton(Text(keys::STRING_ADD_AUDIOFILES), list_group);
  auto* clear = new QPushButton(Text(keys::STRING_CLEAR_AUDIOFILES), list_group);
  list_buttons->addWidget(add);
  list_buttons->addWidget(clear);
  lg->addLayout(list_buttons);
  layout->addWidget(list_group);
  connect(add, &QPushButton::clicked, this, [this] { AddFiles(); });
  connect(clear, &QPushButton::clicked, this, [this] { ClearFiles(); });
  connect(play_list_, &CReportCtrl::ItemDoubleClicked, this, [this](int row) { PlayEntry(row); });

  auto* talk_group = new QGroupBox(Text(keys::STRING_TALK_PARAM), this);
  auto* tg = new QGridLayout(talk_group);
  codec_ = new QComboBox(talk_group);
  codec_->addItems({Text(keys::STRING_G711U), Text(keys::STRING_AAC), Text(keys::STRING_PCM)});
  codec_->setCurrentIndex(2);
  rate_ = new QComboBox(talk_group);
  rate_->addItems({Text(keys::STRING_8000), Text(keys::STRING_16000), Text(keys::STRING_32000),
                   Text(keys::STRING_48000)});
  rate_->setCurrentIndex(2);
  transport_ = new QComboBox(talk_group);
  transport_->addItems(
      {Text(keys::STRING_UDP), Text(keys::STRING_TCP), Text(keys::STRING_MULTICAST)});
  transport_->setCurrentIndex(0);
  tg->addWidget(codec_, 0, 0);
  tg->addWidget(rate_, 0, 1);
  tg->addWidget(transport_, 0, 2);
  mp3_radio_ = new QRadioButton(Text(keys::STRING_MP3_AUDIOFILE), talk_group);
  voice_radio_ = new QRadioButton(Text(keys::STRING_VOICE_SAMPLE), talk_group);
  voice_radio_->setChecked(true);
  tg->addWidget(mp3_radio_, 1, 0);
  tg->addWidget(voice_radio_, 1, 1);
  start_ = new QPushButton(QStringLiteral("▶"), talk_group);
  pause_ = new QPushButton(QStringLiteral("❚❚"), talk_group);
  stop_ = new QPushButton(QStringLiteral("■"), talk_group);
  tg->addWidget(start_, 2, 0);
  tg->addWidget(pause_, 2, 1);
  tg->addWidget(stop_, 2, 2);
  layout->addWidget(talk_group);
  connect(mp3_radio_, &QRadioButton::clicked, this, [this] { ChooseSource(true); });
  connect(voice_radio_, &QRadioButton::clicked, this, [this] { ChooseSource(false); });
  connect(start_, &QPushButton::clicked, this, [this] { Start(); });
  connect(pause_, &QPushButton::clicked, this, [this] { Pause(); });
  connect(stop_, &QPushButton::clicked, this, [this] { Stop(); });

  auto* audio_group = new QGroupBox(Text(keys::STRING_CAMERA_AUDIO_SETTING), this);
  auto* ag = new QGridLayout(audio_group);
  capture_volume_ = new QSlider(Qt::Horizontal, audio_group);
  playback_volume_ = new QSlider(Qt::Horizontal, audio_group);
  for (QSlider* s : {capture_volume_, playback_volume_})
    s->setRange(0, 100);
  capture_volume_->setValue(50);
  playback_volume_->setValue(80);
  call_key_ = new QComboBox(audio_group);
  call_key_->addItems({Text(keys::DISABLE), Text(keys::ENABLE)});
  auto* save_audio = new QPushButton(Text(keys::IDS_STR_ZH_CN_SAVE), audio_group);
  const std::pair<const char*, QWidget*> audio_rows[] = {
      {keys::STRING_CAPTURE_VOLUME, capture_volume_},
      {keys::STRING_PLAYBACK_VOLUME, playback_volume_},
      {keys::STRING_CALLKEY_ANSWER, call_key_}};
  int audio_row = 0;
  for (const auto& [key, input] : audio_rows) {
    auto* label = new QLabel(Text(key), audio_group);
    label->setBuddy(input);
    ag->addWidget(label, audio_row, 0);
    ag->addWidget(input, audio_row++, 1);
  }
  ag->addWidget(save_audio, audio_row - 1, 2);
  layout->addWidget(audio_group);
  connect(save_audio, &QPushButton::clicked, this, [this] { SaveAudioSettings(); });

  auto* image_group = new QGroupBox(Text(keys::STRING_VIDEO_FLIP), this);
  auto* ig = new QHBoxLayout(image_group);
  mirror_ = new QCheckBox(Text(keys::STRING_VIDEO_MIRROR_LR), image_group);
  flip_ = new QCheckBox(Text(keys::STRING_VIDEO_FLIP_UD), image_group);
  auto* save_image = new QPushButton(Text(keys::IDS_STR_ZH_CN_SAVE), image_group);
  ig->addWidget(mirror_);
  ig->addWidget(flip_);
  ig->addWidget(save_image);
  layout->addWidget(image_group);
  connect(save_image, &QPushButton::clicked, this, [this] { SaveImageSettings(); });

  // Present but never shown.
  ext_group_ = new QGroupBox(Text(keys::STRING_EXT_SETTING), this);
  auto* eg = new QGridLayout(ext_group_);
  const char* labels[] = {keys::STRING_EXTNUMBER,    keys::STRING_MAINNUMBER,
                          keys::STRING_EXTNAME,      keys::STRING_ADDRESSBOXIP,
                          keys::STRING_MANAGECENTER, keys::STRING_NOTES};
  const char* values[] = {"1001", "1000", "分机1001", "192.168.0.1", "1-10", "voice talk"};
  for (int i = 0; i < 6; ++i) {
    eg->addWidget(new QLabel(Text(labels[i]), ext_group_), i, 0);
    eg->addWidget(new QLineEdit(QString::fromUtf8(values[i]), ext_group_), i, 1);
  }
  ext_group_->hide();
  layout->addWidget(ext_group_);

  file_group_ = new QGroupBox(Text(keys::IDC_STATIC_DEV_FILELIST_GROUP), this);
  auto* fg = new QVBoxLayout(file_group_);
  device_files_ = new QListWidget(file_group_);
  device_files_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  mp3_files_radio_ = new QRadioButton("MP3", file_group_);
  app_radio_ = new QRadioButton("APP", file_group_);
  mp3_files_radio_->setChecked(true);
  audition_ = new QPushButton(Text(keys::IDS_STR_AUDIOACTION_PLAY_START), file_group_);
  status_ = new QLineEdit(file_group_);
  fg->addWidget(device_files_);
  fg->addWidget(mp3_files_radio_);
  fg->addWidget(app_radio_);
  fg->addWidget(audition_);
  fg->addWidget(status_);
  file_group_->hide();
  layout->addWidget(file_group_);
  auto kind_chosen = [this] {
    audition_->setEnabled(mp3_files_radio_->isChecked());
    if (CheckedHandles().size() == 1)
      QueryDeviceFiles();
  };
  connect(mp3_files_radio_, &QRadioButton::clicked, this, kind_chosen);
  connect(app_radio_, &QRadioButton::clicked, this, kind_chosen);
  connect(audition_, &QPushButton::clicked, this, [this] { Audition(); });
}

std::vector<int> CAudioPlayDlg::CheckedHandles() const {
  std::vector<int> handles;
  auto& list = const_cast<DeviceListPort&>(list_);
  for (int i = 0; i < list.RowCount(); ++i) {
    // Other makers' cameras take no talk or broadcast of ours.
    if (list.IsChecked(i) && list.RowAt(i)->protocol == kProtocolOurs)
      handles.push_back(list.RowAt(i)->login_handle);
  }
  return handles;
}

int CAudioPlayDlg::SingleHandle() {
  const std::vector<int> handles = CheckedHandles();
  if (handles.size() != 1) {
    prompter_.ShowError(LookupText(keys::STRING_ONLY_SUPPORT_ONE_CAMERA));
    return -1;
  }
  return handles[0];
}

void CAudioPlayDlg::LogAgainst(int handle, const char* key) {
  for (int i = 0; i < list_.RowCount(); ++i) {
    if (list_.RowAt(i)->login_handle == handle)
      list_.SetStatusText(i, LookupText(key));
  }
}

void CAudioPlayDlg::UpdateButtons(bool paused) {
  const bool on = running_ != 0;
  codec_->setEnabled(!on);
  rate_->setEnabled(!on);
  transport_->setEnabled(!on);
  stop_->setEnabled(on);
  start_->setEnabled(!on || paused);
  pause_->setEnabled(on && !paused);
}

void CAudioPlayDlg::Submit(std::function<void()> job) {
  ++outstanding_;
  talk_worker_.Post([this, job = std::move(job)] {
    job();
    Reply([this] { --outstanding_; });
  });
}

void CAudioPlayDlg::Reply(std::function<void()> work) {
  replies_.Post(std::move(work));
}

void CAudioPlayDlg::ReplyError(const char* key) {
  Reply([this, key] { prompter_.ShowError(LookupText(key)); });
}

void CAudioPlayDlg::ReplyLog(int handle, const char* key) {
  Reply([this, handle, key] { LogAgainst(handle, key); });
}

void CAudioPlayDlg::AddFiles() {
  for (const QString& path : chooser_("MP3 Files(*.mp3)|*.mp3||")) {
    bool listed = false;
    for (int row = 0; row < play_list_->GetItemCount() && !listed; ++row)
      listed = play_list_->GetItemText(row, 0) == path;
    if (!listed)
      play_list_->InsertItem(play_list_->GetItemCount(), path);
  }
}

void CAudioPlayDlg::ClearFiles() {
  play_list_->DeleteAllItems();
  unplayable_.clear();
}

void CAudioPlayDlg::ChunkSink(audio::AudioDecodeOwner* owner, const char* data, unsigned length) {
  auto* self = static_cast<CAudioPlayDlg*>(owner);
  if (self->source_.load() != 1)
    return;
  DiagLog("len %u, format %d\n", length, kDataType);
  self->sdk_.InputAudioData(kDataType, data, static_cast<int>(length));
}

int CAudioPlayDlg::MicrophoneSink(const char* data, int length, void* owner) {
  auto* self = static_cast<CAudioPlayDlg*>(owner);
  if (self->source_.load() == 0)
    self->sdk_.InputAudioData(kDataType, data, length);
  return 0;
}

void CAudioPlayDlg::PostEndOfFile() {
  // On the timer thread: the console acts on its own thread, and not at all once it is gone.
  QMetaObject::invokeMethod(
      this, [this] { OnEndOfFile(); }, Qt::QueuedConnection);
}

CAudioPlayDlg::Decoder CAudioPlayDlg::MakeDecoder(const std::string& path, int rate, int channels,
                                                  const audio::TimerFactory& timers) {
  auto decoder =
      std::make_unique<audio::CAudioDecodeMp3>(this, path, rate, channels, kChunkHint, &ChunkSink);
  decoder->SetTimerFactory(timers);
  return decoder;
}

CAudioPlayDlg::Decoder CAudioPlayDlg::TakeDecoded(const std::string& path, int rate, int channels,
                                                  const audio::TimerFactory& timers) {
  if (talk_.ahead && talk_.ahead->path() == path && talk_.ahead->sample_rate() == rate &&
      talk_.ahead->channels() == channels)
    return std::move(talk_.ahead);
  Decoder decoder = MakeDecoder(path, rate, channels, timers);
  decoder->SetStopToken(talk_worker_.stop_token());
  if (decoder->Decode() < 0)
    return nullptr;
  return decoder;
}

int CAudioPlayDlg::NextEntry() const {
  const int n = play_list_->GetItemCount();
  const int s = play_list_->GetFirstSelectedItem();
  for (int step = 1; step <= n; ++step) {
    const int entry = s < 0 ? step - 1 : (s + step) % n;
    if (unplayable_.count(EntryPath(entry)) == 0)
      return entry;
  }
  return -1;
}

std::string CAudioPlayDlg::EntryPath(int entry) const {
  return QFile::encodeName(play_list_->GetItemText(entry, 0)).toStdString();
}

void CAudioPlayDlg::PassOver(const std::string& path) {
  unplayable_.insert(path);
  for (int row = 0; row < play_list_->GetItemCount(); ++row) {
    if (EntryPath(row) == path)
      play_list_->SetItemTextColor(row, 0, kUnplayableColour);
  }
  OnEndOfFile();
}

void CAudioPlayDlg::DecodeAhead(int entry, int rate, int channels) {
  if (entry < 0 || entry >= play_list_->GetItemCount())
    return;
  const std::string path = EntryPath(entry);
  decode_worker_.Post([this, path, rate, channels, timers = timer_factory_] {
    Decoder decoder = MakeDecoder(path, rate, channels, timers);
    decoder->SetStopToken(decode_worker_.stop_token());
    if (decoder->Decode() < 0)
      return;  // the Start that wants it decodes again and reports the failure
    auto done = std::make_shared<Decoder>(std::move(decoder));
    talk_worker_.Post([this, done] { talk_.ahead = std::move(*done); });
  });
}

void CAudioPlayDlg::Start() {
  std::optional<StartRequest> r = ReadStart(false);
  if (!r)
    return;
  // The operator's start gives every entry a new chance.
  for (int row = 0; row < play_list_->GetItemCount(); ++row)
    play_list_->SetItemTextColor(row, 0, kColorDefault);
  unplayable_.clear();
  const bool fresh = !has_decoder_;
  Submit([this, r = *r, round = stops_] { StartOnWorker(r, round); });
  if (fresh)
    DecodeNext(*r);
}

std::optional<CAudioPlayDlg::StartRequest> CAudioPlayDlg::ReadStart(bool follow_on) {
  StartRequest r;
  r.handles = CheckedHandles();
  for (int i = 0; i < list_.RowCount() && !follow_on; ++i) {
    if (list_.IsChecked(i) && list_.RowAt(i)->protocol != kProtocolOurs)
      list_.SetStatusText(i, LookupText(keys::NOT_SUPPORTED_BY_DEVICE));
  }
  if (r.handles.empty()) {
    prompter_.ShowError(LookupText(keys::STRING_PLEASE_SELECT_DEVICES));
    return std::nullopt;
  }
  r.codec = codec_->currentIndex();
  r.rate = kRates[std::max(0, rate_->currentIndex())];
  r.transport = transport_->currentIndex();
  r.channels = r.codec == 1 ? 2 : 1;
  r.source = source_.load();
  const int selected = play_list_->GetFirstSelectedItem();
  if (selected >= 0)
    r.path = QFile::encodeName(play_list_->GetItemText(selected, 0)).toStdString();
  r.follow_on = follow_on;
  r.timers = timer_factory_;
  return r;
}

void CAudioPlayDlg::DecodeNext(const StartRequest& r) {
  // The file the play list moves on to is ready before this one ends.
  if (r.source == 1 && !r.path.empty())
    DecodeAhead(NextEntry(), r.rate, r.channels);
}

void CAudioPlayDlg::StartOnWorker(const StartRequest& r, unsigned round) {
  if (!talk_.decoder) {
    Decoder decoder;
    if (r.source == 1) {
      if (r.path.empty()) {
        ReplyError(keys::STRING_PLEASE_SELECT_AUDIOFILES);
        return;
      }
      decoder = TakeDecoded(r.path, r.rate, r.channels, r.timers);
      if (!decoder) {
        ReplyError(keys::STRING_AUDIOFILE_OPENFAILED);
        return;
      }
    }
    if (sdk_.StartTalk(r.transport, r.codec, r.rate, 16, r.channels) != 0) {
      ReplyError(keys::STRING_STARTTALK_FAILED);
      return;
    }
    talk_.decoder = std::move(decoder);
    StartCapture(r);
    const std::vector<int> asked =
        ForEachDevice(r.handles, [this](int handle) { return sdk_.StartVoiceCom(handle); });
    if (r.follow_on)
      AwaitAnswers(r.handles, asked);
  }
  if (r.source == 1 && talk_.decoder) {
    talk_.pacing_wanted = true;
    PaceIfWanted();
  }
  talk_.running = 1;
  Reply([this, decoder = talk_.decoder != nullptr, round] {
    if (round != stops_)
      return;  // stopped since it was asked for
    running_ = 1;
    has_decoder_ = decoder;
    UpdateButtons(false);
  });
}

void CAudioPlayDlg::StartCapture(const StartRequest& r) {
  sdk_.StartAudioCapture(r.rate, 16, r.channels, &MicrophoneSink, this);
  char why[128] = {};
  if (sdk_.AudioCaptureState(why, sizeof why) == 0 && !talk_.told_no_microphone) {
    // Talk goes on with silence; say so once.
    talk_.told_no_microphone = true;
    DiagLog("CAudioPlayDlg: no microphone (%s), sending silence\n", why);
    Reply([this, text = std::string(why)] {
      setWindowTitle(windowTitle() + " - " + QString::fromLocal8Bit(text.c_str()));
    });
  }
}

void CAudioPlayDlg::AwaitAnswers(const std::vector<int>& handles, const std::vector<int>& asked) {
  talk_.awaiting.clear();
  for (std::size_t i = 0; i < asked.size(); ++i) {
    if (asked[i] == 0)
      talk_.awaiting.insert(handles[i]);
  }
  if (!talk_.decoder)
    return;
  // The next file goes out as soon as every device has answered, not after a fixed lead; one
  // that never answers holds it no longer than a first file's lead.
  talk_.decoder->set_lead_ticks(0);
  talk_.tick_now = true;
  const unsigned wait = ++talk_.await_round;
  talk_worker_.PostAt(audio::JobThread::Clock::now() +
                          std::chrono::milliseconds(audio::kLeadTicks * audio::kPacingPeriodMs),
                      [this, wait] {
                        if (wait != talk_.await_round)
                          return;
                        talk_.awaiting.clear();
                        PaceIfWanted();
                      });
}

void CAudioPlayDlg::PaceIfWanted() {
  if (!talk_.pacing_wanted || !talk_.decoder || !talk_.awaiting.empty())
    return;
  talk_.pacing_wanted = false;
  talk_.decoder->StartPacing(std::exchange(talk_.tick_now, false));
}

void CAudioPlayDlg::Answered(int handle) {
  if (talk_.awaiting.erase(handle) != 0 && talk_.awaiting.empty())
    PaceIfWanted();
}

void CAudioPlayDlg::Stop() {
  Submit([this, handles = CheckedHandles()] { StopOnWorker(handles); });
  MarkStopped();
}

void CAudioPlayDlg::MarkStopped() {
  // Stopped here at once, so that an end-of-file notice already on its way finds it stopped.
  ++stops_;
  has_decoder_ = false;
  if (running_ == 0)
    return;
  running_ = 0;
  UpdateButtons(false);
}

void CAudioPlayDlg::ReplyStopped(unsigned round) {
  Reply([this, round] {
    if (round == stops_)
      MarkStopped();
  });
}

void CAudioPlayDlg::ForgetDecoder() {
  talk_.decoder.reset();
  talk_.awaiting.clear();
  talk_.pacing_wanted = false;
  talk_.tick_now = false;
  ++talk_.await_round;
}

void CAudioPlayDlg::StopOnWorker(const std::vector<int>& handles) {
  ForgetDecoder();
  if (talk_.running == 0)
    return;
  ForEachDevice(handles, [this](int handle) {
    sdk_.RemoveTalk(handle);
    return sdk_.StopVoiceCom(handle);
  });
  sdk_.StopAudioCapture();
  sdk_.StopTalk();
  talk_.running = 0;
}

void CAudioPlayDlg::ChangeFileOnWorker(const std::vector<int>& stopping, const StartRequest& r,
                                       unsigned round) {
  Decoder next;
  if (!r.path.empty())
    next = TakeDecoded(r.path, r.rate, r.channels, r.timers);
  if (!next && !r.path.empty()) {
    // An unattended loop must not halt behind a box for one bad file: the devices stay in
    // their talk while the window passes the entry over and moves on.
    DiagLog("CAudioPlayDlg: %s cannot be played, going on with the next file\n", r.path.c_str());
    Reply([this, path = r.path, round] {
      if (round == stops_)
        PassOver(path);
    });
    return;
  }
  if (talk_.running == 0 || stopping != r.handles) {
    // Not the plain case: as the two commands run one after the other. The start takes the
    // file decoded here rather than decoding it again.
    talk_.ahead = std::move(next);
    StopOnWorker(stopping);
    StartOnWorker(r, round);
    if (talk_.running == 0)
      ReplyStopped(round);
    return;
  }
  // Each device leaves the old talk and is asked into the new one on its own thread, so its
  // start request follows its stop request at once; the talk itself is reopened meanwhile.
  ForgetDecoder();
  for (int handle : stopping)
    sdk_.RemoveTalk(handle);
  std::promise<bool> reopened;
  std::shared_future<bool> open = reopened.get_future().share();
  std::vector<int> asked;
  std::jthread devices([&] {
    asked = ForEachDevice(r.handles, [this, &open](int handle) {
      sdk_.StopVoiceCom(handle);
      return open.get() ? sdk_.StartVoiceCom(handle) : -1;
    });
  });
  sdk_.StopAudioCapture();
  sdk_.StopTalk();
  talk_.running = 0;
  const bool started = sdk_.StartTalk(r.transport, r.codec, r.rate, 16, r.channels) == 0;
  if (started) {
    talk_.decoder = std::move(next);
    StartCapture(r);
  }
  reopened.set_value(started);
  devices.join();
  if (!started) {
    ReplyError(keys::STRING_STARTTALK_FAILED);
    ReplyStopped(round);
    return;
  }
  AwaitAnswers(r.handles, asked);
  talk_.pacing_wanted = true;
  PaceIfWanted();
  talk_.running = 1;
  Reply([this, round] {
    if (round != stops_)
      return;
    running_ = 1;
    has_decoder_ = true;
    UpdateButtons(false);
  });
}

void CAudioPlayDlg::Pause() {
  Submit([this, round = stops_] {
    if (!talk_.decoder)
      return;
    talk_.pacing_wanted = false;
    talk_.decoder->StopPacing();
    Reply([this, round] {
      if (round == stops_)
        UpdateButtons(true);
    });
  });
}

void CAudioPlayDlg::ChooseSource(bool mp3) {
  source_ = mp3 ? 1 : 0;
  mp3_radio_->setChecked(mp3);
  voice_radio_->setChecked(!mp3);
  Submit([this, mp3] {
    if (!talk_.decoder)
      return;
    talk_.pacing_wanted = mp3;
    if (mp3)
      PaceIfWanted();
    else
      talk_.decoder->StopPacing();
  });
}

void CAudioPlayDlg::SelectEntry(int index) {
  play_list_->SetAllItemStates(CReportCtrl::kItemAll,
                               CReportCtrl::kItemUnselected | CReportCtrl::kItemUnfocused);
  play_list_->SetItemStates(index, CReportCtrl::kItemSelected | CReportCtrl::kItemFocused);
  play_list_->scrollTo(play_list_->Model()->index(index, 0));
}

void CAudioPlayDlg::PlayEntry(int index) {
  if (index < 0 || index >= play_list_->GetItemCount())
    return;
  SelectEntry(index);
  Stop();
  ChooseSource(true);
  Start();
}

void CAudioPlayDlg::OnEndOfFile() {
  if (running_ == 0 || play_list_->GetItemCount() == 0)
    return;
  const int next = NextEntry();
  if (next < 0) {
    // Every entry was passed over: nothing is left to play.
    Stop();
    prompter_.ShowError(LookupText(keys::STRING_AUDIOFILE_OPENFAILED));
    return;
  }
  SelectEntry(next);
  // Stop, the MP3 source and Start, handed to the worker as one change of file. The console
  // stays running meanwhile: Stop and Pause keep working while the devices change talks.
  std::vector<int> stopping = CheckedHandles();
  source_ = 1;
  mp3_radio_->setChecked(true);
  voice_radio_->setChecked(false);
  std::optional<StartRequest> r = ReadStart(true);
  if (!r) {
    Submit([this, stopping] { StopOnWorker(stopping); });
    MarkStopped();
    return;
  }
  Submit([this, stopping, r = *r, round = stops_] { ChangeFileOnWorker(stopping, r, round); });
  DecodeNext(*r);
}

void CAudioPlayDlg::RequestSettings(int command) {
  Submit([this, command, handles = CheckedHandles()] {
    auto& set = command == proto::kCfgAudioCapture ? talk_.audio_requests : talk_.image_requests;
    set.clear();
    for (int handle : handles) {
      if (sdk_.GetDVRConfig(handle, command) != 0) {
        ReplyLog(handle, keys::IDS_STR_ZH_CN_SET_FAILED);
        continue;
      }
      set[handle];
    }
  });
}

void CAudioPlayDlg::SaveAudioSettings() {
  RequestSettings(proto::kCfgAudioCapture);
}

void CAudioPlayDlg::SaveImageSettings() {
  RequestSettings(proto::kCfgVideoCapture);
}

void CAudioPlayDlg::OnSettingsReply(const SdkEventRecord& event) {
  // The controls as they stand when the reply comes.
  const bool audio = event.code == proto::kCfgAudioCapture;
  const auto capture = static_cast<std::int16_t>(capture_volume_->value());
  const auto playback = static_cast<std::int16_t>(playback_volume_->value());
  const std::int32_t key = call_key_->currentIndex() == 1 ? 1 : 0;
  const std::int32_t mirror = mirror_->isChecked() ? 1 : 0;
  const std::int32_t flip = flip_->isChecked() ? 1 : 0;
  Submit([this, audio, handle = event.handle, xml = PayloadText(event), capture, playback, key,
          mirror, flip] {
    auto& set = audio ? talk_.audio_requests : talk_.image_requests;
    const auto it = set.find(handle);
    if (it == set.end())
      return;  // not asked by this console
    std::vector<char> record(audio ? kAudioRecordSize : kVideoRecordSize, 0);
    if (audio)
      sdk_.AudioRecordFromXml(record.data(), xml.c_str());
    else
      sdk_.VideoRecordFromXml(record.data(), xml.c_str());
    it->second = record;
    char* text = nullptr;
    if (audio) {
      std::memcpy(record.data() + 12, &capture, 2);
      std::memcpy(record.data() + 14, &playback, 2);
      std::memcpy(record.data() + 20, &key, 4);
      text = sdk_.AudioRecordXml(record.data());
    } else {
      std::memcpy(record.data() + 24, &mirror, 4);
      std::memcpy(record.data() + 28, &flip, 4);
      text = sdk_.VideoRecordXml(record.data());
    }
    const int command = audio ? proto::kCfgAudioCaptureSet : proto::kCfgVideoCaptureSet;
    if (text == nullptr ||
        sdk_.SetDVRConfig(handle, command, text, static_cast<int>(std::strlen(text))) != 0)
      ReplyLog(handle, keys::IDS_STR_ZH_CN_SET_FAILED);
    sdk_.FreeText(text);
  });
}

void CAudioPlayDlg::RequestFilePage() {
  const int page = page_counter_++;
  Submit([this, handle = query_handle_, page, mp3 = mp3_files_radio_->isChecked()] {
    if (mp3) {
      sdk_.SearchOEMMp3File(handle, page);
      return;
    }
    const std::string text = "<REQUEST_PARAM SearchMode=\"0\" MediaType=\"OEMAPP\" Page=\"" +
                             std::to_string(page) + "\" />\n";
    sdk_.SystemControl(handle, proto::kCmdFileSearch, text.c_str());
  });
}

void CAudioPlayDlg::QueryDeviceFiles() {
  const int handle = SingleHandle();
  if (handle < 0)
    return;
  device_files_->clear();
  page_counter_ = 0;
  query_handle_ = handle;
  RequestFilePage();
}

void CAudioPlayDlg::OnFileListPage(const SdkEventRecord& event) {
  if (event.handle != query_handle_)
    return;
  tinyxml2::XMLDocument doc;
  const std::string xml = PayloadText(event);
  if (doc.Parse(xml.c_str()) != tinyxml2::XML_SUCCESS || doc.RootElement() == nullptr)
    return;
  int records = 0;
  for (auto* e = doc.RootElement()->FirstChildElement("RECORD_FILE"); e != nullptr;
       e = e->NextSiblingElement("RECORD_FILE")) {
    ++records;
    const char* path = e->Attribute("FilePath");
    if (path != nullptr &&
        device_files_->findItems(QString::fromLocal8Bit(path), Qt::MatchExactly).isEmpty())
      device_files_->addItem(QString::fromLocal8Bit(path));
  }
  if (records > 0 && page_counter_ < kMaxFileListPages)
    RequestFilePage();
}

void CAudioPlayDlg::UploadDeviceFiles() {
  const int handle = SingleHandle();
  if (handle < 0)
    return;
  const QStringList files = chooser_(mp3_files_radio_->isChecked() ? "MP3 Files(*.mp3)|*.mp3||"
                                                                   : "OEM APP Files(*.*)|*.*||");
  upload_queue_.clear();
  for (const QString& f : files)
    upload_queue_.push_back(QFile::encodeName(f).toStdString());
  upload_handle_ = handle;
  UploadNext();
}

void CAudioPlayDlg::UploadNext() {
  if (upload_queue_.empty())
    return;
  const std::string path = upload_queue_.front();
  upload_queue_.erase(upload_queue_.begin());
  std::string tail = path.size() >= 4 ? path.substr(path.size() - 4) : path;
  for (char& c : tail)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  Submit([this, handle = upload_handle_, path, mp3 = tail == ".MP3"] {
    const int rc = mp3 ? sdk_.UploadOEMMp3File(handle, path.c_str())
                       : sdk_.UploadOEMAppFile(handle, path.c_str());
    if (rc != 0)
      ReplyLog(handle, keys::MSGTIP7);
  });
}

void CAudioPlayDlg::DeleteDeviceFiles() {
  const int handle = SingleHandle();
  if (handle < 0)
    return;
  for (QListWidgetItem* item : device_files_->selectedItems()) {
    tinyxml2::XMLDocument doc;
    auto* root = doc.NewElement("REQUEST_PARAM");
    root->SetAttribute("FileName", item->text().toLocal8Bit().constData());
    doc.InsertEndChild(root);
    tinyxml2::XMLPrinter printer;
    doc.Print(&printer);
    Submit([this, handle, text = std::string(printer.CStr())] {
      sdk_.SystemControl(handle, proto::kCmdFileDelete, text.c_str());
    });
    delete item;
  }
}

void CAudioPlayDlg::Audition() {
  const int handle = SingleHandle();
  if (handle < 0)
    return;
  const QList<QListWidgetItem*> selected = device_files_->selectedItems();
  if (selected.isEmpty())
    return;
  if (g_audition_playing == 0) {
    audition_->setText(Text(keys::IDS_STR_AUDIOACTION_PLAY_STOP));
    Submit([this, handle, path = selected.front()->text().toLocal8Bit().toStdString()] {
      sdk_.PlayMp3File(handle, path.c_str(), 1);
    });
  } else {
    audition_->setText(Text(keys::IDS_STR_AUDIOACTION_PLAY_START));
    Submit([this, handle] { sdk_.StopPlayMp3File(handle); });
  }
  g_audition_playing = g_audition_playing == 0 ? 1 : 0;
}

void CAudioPlayDlg::OnSdkEvent(const SdkEventRecord& event) {
  const int handle = event.handle;
  switch (event.code) {
    case proto::kEventTalkStarted:
      Submit([this, handle] {
        sdk_.AddTalk(handle);
        Answered(handle);
      });
      break;
    case proto::kEventTalkParamError:
    case proto::kEventTalkNotSupported:
      Submit([this, handle] {
        sdk_.StopVoiceCom(handle);
        Answered(handle);
      });
      break;
    case proto::kEventTalkBusy:
      Submit([this, handle] { Answered(handle); });
      break;
    case proto::kEventFileUploadDone:
      if (handle == upload_handle_)
        UploadNext();
      break;
    case proto::kCfgAudioCapture:
    case proto::kCfgVideoCapture:
      OnSettingsReply(event);
      break;
    case proto::kCmdFileSearch:
      OnFileListPage(event);
      break;
    default:
      break;
  }
}

}  // namespace vdz
