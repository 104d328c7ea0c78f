#include "audio/broadcast_session.h"

#include <algorithm>

#include "protocol/protocol_numbers.h"

namespace vdz::audio {

namespace {

// The console's chunk hint and PCM data type of InputAudioData.
constexpr int kChunkHint = 2560;
constexpr int kPcmData = 3;

}  // namespace

const char* JoinStateName(JoinState state) {
  switch (state) {
    case JoinState::kAsked:
      return "no answer";
    case JoinState::kJoined:
      return "joined";
    case JoinState::kBusy:
      return "busy";
    case JoinState::kRefused:
      return "format refused";
    case JoinState::kNotSupported:
      return "no talk";
    case JoinState::kFailed:
      return "request failed";
  }
  return "";
}

BroadcastSession::BroadcastSession(TalkSdk& sdk, BroadcastSettings settings)
    : sdk_(sdk), settings_(std::move(settings)) {}

BroadcastSession::~BroadcastSession() {
  Stop();
}

void BroadcastSession::Sink(AudioDecodeOwner* owner, const char* data, unsigned length) {
  auto* self = static_cast<BroadcastSession*>(owner);
  self->sdk_.InputAudioData(kPcmData, data, static_cast<int>(length));
}

bool BroadcastSession::OpenFile(int index, std::string* error) {
  auto decoder =
      std::make_unique<CAudioDecodeMp3>(this, settings_.files[static_cast<std::size_t>(index)],
                                        settings_.rate, channels(), kChunkHint, &Sink);
  const int rc = decoder->Decode();
  if (rc < 0) {
    *error = settings_.files[static_cast<std::size_t>(index)] +
             (rc == kDecodeNoAudio   ? ": no MP3 audio in it"
              : rc == kDecodeTooLong ? ": too long"
                                     : ": cannot be read");
    return false;
  }
  decoder_.reset();
  decoder_ = std::move(decoder);
  file_ = index;
  ended_ = false;
  return true;
}

bool BroadcastSession::Start(const std::vector<int>& handles, std::string* error) {
  if (settings_.files.empty() || handles.empty() || settings_.loops < 1) {
    *error = "nothing to broadcast";
    return false;
  }
  // Every file is checked first: a bad one later in the list must not end a broadcast midway.
  for (std::size_t i = settings_.files.size(); i-- > 0;) {
    if (!OpenFile(static_cast<int>(i), error)) {
      decoder_.reset();
      return false;
    }
  }
  if (sdk_.StartTalk(settings_.transport, settings_.codec, settings_.rate, 16, channels()) != 0) {
    decoder_.reset();
    *error = "the talk could not be opened";
    return false;
  }
  running_ = true;
  for (int handle : handles) {
    devices_[handle] = JoinState::kAsked;
    if (sdk_.StartVoiceCom(handle) != 0)
      devices_[handle] = JoinState::kFailed;
  }
  pass_ = 0;
  decoder_->StartPacing();
  return true;
}

void BroadcastSession::OnStatusEvent(int handle, int code) {
  auto it = devices_.find(handle);
  if (it == devices_.end() || !running_ || it->second != JoinState::kAsked)
    return;
  switch (code) {
    case proto::kEventTalkStarted:
      it->second = sdk_.AddTalk(handle) == 0 ? JoinState::kJoined : JoinState::kFailed;
      break;
    case proto::kEventTalkBusy:
      it->second = JoinState::kBusy;
      break;
    case proto::kEventTalkParamError:
      it->second = JoinState::kRefused;
      sdk_.StopVoiceCom(handle);
      break;
    case proto::kEventTalkNotSupported:
      it->second = JoinState::kNotSupported;
      sdk_.StopVoiceCom(handle);
      break;
    default:
      break;
  }
}

bool BroadcastSession::Poll() {
  if (!running_)
    return false;
  // Nobody left to hear it: every device refused or failed.
  if (std::none_of(devices_.begin(), devices_.end(), [](const auto& d) {
        return d.second == JoinState::kAsked || d.second == JoinState::kJoined;
      })) {
    Stop();
    return false;
  }
  if (!ended_)
    return true;
  int next = file_ + 1;
  if (next >= static_cast<int>(settings_.files.size())) {
    next = 0;
    if (++pass_ >= settings_.loops) {
      Stop();
      return false;
    }
  }
  std::string error;
  // Checked at the start; a file changed since then ends the broadcast cleanly.
  if (!OpenFile(next, &error)) {
    Stop();
    return false;
  }
  decoder_->StartPacing();
  return true;
}

void BroadcastSession::Stop() {
  // The pacer goes first: no chunk may reach a talk that is closing.
  decoder_.reset();
  if (!running_)
    return;
  running_ = false;
  for (auto& [handle, state] : devices_) {
    if (state == JoinState::kJoined)
      sdk_.RemoveTalk(handle);
    if (state == JoinState::kJoined || state == JoinState::kAsked)
      sdk_.StopVoiceCom(handle);
  }
  sdk_.StopTalk();
}

JoinState BroadcastSession::State(int handle) const {
  const auto it = devices_.find(handle);
  return it == devices_.end() ? JoinState::kFailed : it->second;
}

double BroadcastSession::Position() const {
  if (!decoder_)
    return 0;
  return static_cast<double>(decoder_->position()) / (settings_.rate * channels() * 2.0);
}

double BroadcastSession::Length() const {
  if (!decoder_)
    return 0;
  return static_cast<double>(decoder_->data_length()) / (settings_.rate * channels() * 2.0);
}

}  // namespace vdz::audio
