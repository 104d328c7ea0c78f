// The C entry points: argument checks, then the core. Nothing may throw across them.
#include "qm_netsdk.h"

#include <cstring>
#include <new>

#include "protocol/protocol_numbers.h"
#include "sdk_core.h"

static_assert(QM_NETSDK_EVENT_SESSION_UP == vdz::proto::kEventSessionUp);
static_assert(QM_NETSDK_EVENT_DISCONNECTED == vdz::proto::kEventDisconnected);
static_assert(QM_NETSDK_EVENT_RECONNECT_FAILED == vdz::proto::kEventReconnectFailed);

using vdz::netsdk::SdkCore;
using vdz::sdkproto::RequestMessage;
using vdz::sdkproto::RequestOp;

namespace {

template <typename F>
int Guarded(F&& f) noexcept {
  try {
    return f();
  } catch (const std::bad_alloc&) {
    return QM_NETSDK_ERR_RESOURCE;
  } catch (...) {
    return QM_NETSDK_ERR_RESOURCE;
  }
}

int Request(int handle, RequestOp op, int command, int argument, std::string_view text) {
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

int QM_NETSDK_IPC_Init(void) {
  return Guarded([] { return SdkCore::Instance().Init(); });
}

int QM_NETSDK_IPC_Cleanup(void) {
  return Guarded([] { return SdkCore::Instance().Cleanup(); });
}

int QM_NETSDK_IPC_SetTimeouts(int login_ms, int keepalive_ms, int dead_peer_ms, int reconnect_ms) {
  return SdkCore::Instance().SetTimeouts(login_ms, keepalive_ms, dead_peer_ms, reconnect_ms);
}

int QM_NETSDK_IPC_SetStatusEventCallBack(QM_NETSDK_StatusEventCallBack callback, void* owner) {
  SdkCore::Instance().SetStatusCallback(callback, owner);
  return QM_NETSDK_OK;
}

int QM_NETSDK_IPC_SetAUXResponseCallBack(QM_NETSDK_AUXResponseCallBack callback, void* owner) {
  SdkCore::Instance().SetAuxCallback(callback, owner);
  return QM_NETSDK_OK;
}

int QM_NETSDK_IPC_SetAutoReconnect(int login_handle, int enable) {
  return Guarded([&] { return SdkCore::Instance().SetAutoReconnect(login_handle, enable != 0); });
}

int QM_NETSDK_IPC_Login(const char* ip, unsigned short port, const char* user, const char* password,
                        int /*reserved*/) {
  return Guarded([&] { return SdkCore::Instance().Login(ip, port, user, password); });
}

int QM_NETSDK_IPC_Logout(int login_handle) {
  return Guarded([&] { return SdkCore::Instance().Logout(login_handle); });
}

int QM_NETSDK_IPC_SetDVRConfig(int login_handle, int command, int channel, const char* xml,
                               int length) {
  if (xml == nullptr || length < 0)
    return QM_NETSDK_ERR_INVALID_ARG;
  // Callers pass the length in characters or bytes; never read past the text's end.
  const std::size_t n = strnlen(xml, static_cast<std::size_t>(length));
  return Request(login_handle, RequestOp::kSetConfig, command, channel, {xml, n});
}

int QM_NETSDK_IPC_GetDVRConfig(int login_handle, int command, int channel,
                               const char* /*reserved_text*/, int /*reserved_length*/,
                               int* reserved_out) {
  if (reserved_out != nullptr)
    *reserved_out = 0;
  return Request(login_handle, RequestOp::kGetConfig, command, channel, {});
}

int QM_NETSDK_IPC_SystemControl(int login_handle, int command, int channel, const char* parameter) {
  return Request(login_handle, RequestOp::kSystemControl, command, channel,
                 parameter != nullptr ? std::string_view(parameter) : std::string_view());
}

int QM_NETSDK_IPC_RebootDVR(int login_handle) {
  return Request(login_handle, RequestOp::kReboot, 0, 0, {});
}

int QM_NETSDK_IPC_PTZPreset(int login_handle, int command, int preset) {
  return Request(login_handle, RequestOp::kPtzPreset, command, preset, {});
}

int QM_NETSDK_IPC_PTZControl(int login_handle, int command, int pan_speed, int tilt_speed) {
  const int speeds = static_cast<int>((static_cast<unsigned>(pan_speed & 0xFFFF) << 16) |
                                      static_cast<unsigned>(tilt_speed & 0xFFFF));
  return Request(login_handle, RequestOp::kPtzControl, command, speeds, {});
}

int QM_NETSDK_IPC_CreateIFrame(int login_handle, int stream) {
  return Request(login_handle, RequestOp::kCreateIFrame, stream, 0, {});
}

long long QM_NETSDK_IPC_DebugBufferedBytes(void) {
  return SdkCore::Instance().BufferedBytes();
}

}  // extern "C"
