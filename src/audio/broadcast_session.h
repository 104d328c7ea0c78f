// An MP3 broadcast without a window: one talk to a set of devices, fed by a play list that
// is walked a given number of times. The decoder, pacer and device calls are the console's;
// the talk stays open from one file to the next, so devices are not asked to join again.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "audio/audio_decode_mp3.h"
#include "audio/talk_sdk.h"

namespace vdz::audio {

struct BroadcastSettings {
  std::vector<std::string> files;
  int transport = 0;  // 0 UDP, 1 TCP, 2 multicast
  int codec = 2;      // 0 G.711 µ-law, 1 AAC, 2 PCM
  int rate = 32000;
  int loops = 1;  // passes through the play list
};

// What became of one device's request to join.
enum class JoinState { kAsked, kJoined, kBusy, kRefused, kNotSupported, kFailed };

class BroadcastSession final : public AudioDecodeOwner {
 public:
  BroadcastSession(TalkSdk& sdk, BroadcastSettings settings);
  ~BroadcastSession();
  BroadcastSession(const BroadcastSession&) = delete;
  BroadcastSession& operator=(const BroadcastSession&) = delete;

  // Checks every file decodes, opens the talk and asks each device to join. False with
  // *error when nothing could start.
  bool Start(const std::vector<int>& handles, std::string* error);
  // A device's status event, on the caller's thread.
  void OnStatusEvent(int handle, int code);
  // Moves on to the next file when the current one has ended; false once the last pass is
  // over (or after Stop).
  bool Poll();
  // Every device leaves, the talk ends.
  void Stop();

  void PostEndOfFile() override { ended_ = true; }

  JoinState State(int handle) const;
  int file_index() const { return file_; }
  int pass() const { return pass_; }
  // Seconds of the current file sent so far, and its length.
  double Position() const;
  double Length() const;
  int channels() const { return settings_.codec == 1 ? 2 : 1; }

 private:
  bool OpenFile(int index, std::string* error);
  static void Sink(AudioDecodeOwner* owner, const char* data, unsigned length);

  TalkSdk& sdk_;
  const BroadcastSettings settings_;
  std::map<int, JoinState> devices_;
  std::unique_ptr<CAudioDecodeMp3> decoder_;
  std::atomic<bool> ended_{false};
  bool running_ = false;
  int file_ = 0;
  int pass_ = 0;
};

const char* JoinStateName(JoinState state);

}  // namespace vdz::audio
