// The talk and broadcast entry points: the talk itself (TalkCore), the device's side of it
// over the login connection, the microphone and the MP3 files a device keeps.
#include <new>
#include <string>

#include "audio_capture.h"
#include "protocol/protocol_numbers.h"
#include "qm_netsdk.h"
#include "sdk_core.h"
#include "talk_core.h"

using vdz::netsdk::AudioCapture;
using vdz::netsdk::SdkCore;
using vdz::netsdk::TalkCore;
using vdz::sdkproto::RequestMessage;
using vdz::sdkproto::RequestOp;
using vdz::sdkproto::TalkCodec;
using vdz::sdkproto::TalkParameters;
using vdz::sdkproto::TalkTransport;

namespace {

template <typename F>
int Guarded(F&& f) noexcept {
  try {
    return f();
  } catch (...) {
    return QM_NETSDK_ERR_RESOURCE;
  }
}

int Request(int handle, RequestOp op, int command, int argument, const std::string& text) {
  return Guarded([&] {
    RequestMessage m;
    m.op = op;
    m.command = command;
    m.argument = argument;
    m.text = text;
    return SdkCore::Instance().Call(handle, m);
  });
}

}  // namespace

extern "C" {

int QM_NETSDK_IPC_StartTalk(int transport, int codec, int sample_rate, int bits_per_sample,
                            int channels) {
  if (transport < 0 || transport > 2 || codec < 0 || codec > 2 || bits_per_sample != 16)
    return QM_NETSDK_ERR_INVALID_ARG;
  TalkParameters p;
  p.transport = static_cast<TalkTransport>(transport);
  p.codec = static_cast<TalkCodec>(codec);
  p.sample_rate = sample_rate;
  p.channels = channels;
  return Guarded([&] { return TalkCore::Instance().Start(p); });
}

int QM_NETSDK_IPC_StopTalk(void) {
  return Guarded([] { return TalkCore::Instance().Stop(); });
}

int QM_NETSDK_IPC_AddTalk(int login_handle) {
  sockaddr_in device{};
  if (!SdkCore::Instance().DeviceAddress(login_handle, device))
    return QM_NETSDK_ERR_INVALID_HANDLE;
  return Guarded([&] { return TalkCore::Instance().Add(login_handle, device); });
}

int QM_NETSDK_IPC_RemoveTalk(int login_handle) {
  return Guarded([&] { return TalkCore::Instance().Remove(login_handle); });
}

int QM_NETSDK_IPC_StartVoiceCom(int login_handle, int channel, int /*mode*/, int /*reserved1*/,
                                int /*reserved2*/) {
  const auto params = TalkCore::Instance().Parameters();
  if (!params)
    return QM_NETSDK_ERR_NOT_INIT;
  return Request(login_handle, RequestOp::kTalkStart, 0, channel,
                 vdz::sdkproto::FormatTalkParameters(*params));
}

int QM_NETSDK_IPC_StopVoiceCom(int login_handle) {
  return Request(login_handle, RequestOp::kTalkStop, 0, 0, {});
}

int QM_NETSDK_IPC_StartAudioCapture(int sample_rate, int bits_per_sample, int channels,
                                    QM_NETSDK_AudioCaptureCallBack callback, void* owner) {
  if (bits_per_sample != 16)
    return QM_NETSDK_ERR_INVALID_ARG;
  return Guarded(
      [&] { return AudioCapture::Instance().Start(sample_rate, channels, callback, owner); });
}

int QM_NETSDK_IPC_StopAudioCapture(void) {
  return Guarded([] { return AudioCapture::Instance().Stop(); });
}

int QM_NETSDK_IPC_GetAudioCaptureState(char* reason, int reason_size) {
  std::string why;
  const int state = AudioCapture::Instance().State(&why);
  if (reason != nullptr && reason_size > 0) {
    const std::size_t n = std::min(why.size(), static_cast<std::size_t>(reason_size - 1));
    why.copy(reason, n);
    reason[n] = '\0';
  }
  return state;
}

int QM_NETSDK_IPC_InputAudioData(int /*data_type*/, const char* data, int length) {
  return Guarded([&] { return TalkCore::Instance().Input(data, length); });
}

int QM_NETSDK_IPC_SearchOEMMp3File(int login_handle, int page) {
  if (page < 0)
    return QM_NETSDK_ERR_INVALID_ARG;
  const std::string query = "<REQUEST_PARAM SearchMode=\"0\" MediaType=\"OEMMP3\" Page=\"" +
                            std::to_string(page) + "\" />";
  return Request(login_handle, RequestOp::kSystemControl, vdz::proto::kCmdFileSearch, 0, query);
}

int QM_NETSDK_IPC_PlayMp3File(int login_handle, const char* device_file, int mode) {
  if (device_file == nullptr || device_file[0] == '\0')
    return QM_NETSDK_ERR_INVALID_ARG;
  return Request(login_handle, RequestOp::kPlayFile, 0, mode, device_file);
}

int QM_NETSDK_IPC_StopPlayMp3File(int login_handle) {
  return Request(login_handle, RequestOp::kStopPlay, 0, 0, {});
}

}  // extern "C"
