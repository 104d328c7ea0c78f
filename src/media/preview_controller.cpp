#include "media/preview_controller.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "onvif/onvif_side_search.h"
#include "player/qm_player.h"
#include "shell/bounded_text.h"
#include "shell/diag_log.h"

namespace vdz {

namespace {

constexpr const char* kDefaultUser = "admin";
constexpr const char* kDefaultPassword = "735168";

int64_t TickMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Ports of streams that arrive without a cell: 1000..9999, shared by the process.
std::atomic<int> g_spare_port{1000};

int NextSparePort() {
  int port = g_spare_port.load();
  while (!g_spare_port.compare_exchange_weak(port, port >= 9999 ? 1000 : port + 1)) {
  }
  return port;
}

}  // namespace

std::string RefusedPreviewType(const char* device_type) {
  std::string type = device_type != nullptr ? device_type : "";
  if (type.find("NVS-IPCAM-") != std::string::npos)
    return {};
  const std::string nvr = "NVS-NVR-";
  for (std::size_t at = type.find(nvr); at != std::string::npos; at = type.find(nvr, at + 4))
    type.replace(at, nvr.size(), "NVR-");
  // An empty type is refused too; the message then shows nothing in its place.
  return type.empty() ? std::string(" ") : type;
}

std::function<StreamAddress(const DeviceRow&, int)> OnvifStreamAddresses(
    std::shared_ptr<onvif::OnvifSideSearch> onvif) {
  return [onvif](const DeviceRow& row, int stream) {
    const auto found = onvif ? onvif->StreamOf(std::string(FieldText(row.record.Lan.IPAddress)),
                                               stream != 0 ? 1 : 0)
                             : std::nullopt;
    return found ? StreamAddress{found->url, found->user, found->password} : StreamAddress{};
  };
}

PreviewController::PreviewController(DeviceSdk& sdk, Prompter& prompter, Hooks hooks)
    : sdk_(sdk), prompter_(prompter), hooks_(std::move(hooks)) {
  state_.cell = 0;
}

PreviewController::~PreviewController() {
  StopPreview();
}

bool PreviewController::Steerable() const {
  return state_.device.login_handle > 0 &&
         std::strstr(state_.device.device_information, "ptz_control") != nullptr;
}

int PreviewController::OpenStream(int stream_number) {
  if (state_.device.protocol != kProtocolOurs) {
    const StreamAddress address = hooks_.stream_address
                                      ? hooks_.stream_address(state_.device, stream_number)
                                      : StreamAddress{};
    if (address.url.empty())
      return 0;
    state_.starting = true;
    const int handle = QM_RTSP_CLINET_LIB_RealPlayUrl(address.url.c_str(), address.user.c_str(),
                                                      address.password.c_str(),
                                                      &PreviewController::OnFrame, &state_);
    state_.stream_handle = handle;
    state_.starting = false;
    return handle;
  }
  const UserAccount& account = state_.device.record.Users.Accounts[0];
  const bool no_account = account.Username[0] == '\0' && account.Password[0] == '\0';
  const char* user = no_account ? kDefaultUser : account.Username;
  const char* password = no_account ? kDefaultPassword : account.Password;
  state_.starting = true;
  const int handle = QM_RTSP_CLINET_LIB_RealPlay(
      stream_number, state_.device.record.Lan.IPAddress, user, password, 1,
      state_.device.record.Stream.VideoPort, &PreviewController::OnFrame, &state_);
  state_.stream_handle = handle;
  state_.starting = false;
  return handle;
}

int PreviewController::StartPreview(const DeviceRow* row, int stream_number, int cell) {
  if (cell < 0 || cell > 63)
    return 0;
  if (row == nullptr)
    return -1;
  // Another maker's camera names its own stream; its type is no type of ours.
  const std::string refused =
      row->protocol == kProtocolOurs ? RefusedPreviewType(row->record.DeviceType) : std::string();
  if (!refused.empty()) {
    char message[256];
    std::snprintf(message, sizeof message, "不支持设备类型为%s的视频播放",
                  refused == " " ? "" : refused.c_str());
    prompter_.ShowError(message);
    return -1;
  }
  StopPreview();
  std::unique_lock lock(lock_);
  state_.cell = cell;
  state_.player_port = hooks_.cell_port ? hooks_.cell_port(cell) : 0;
  state_.device = *row;
  state_.stream_number = stream_number != 0 ? 1 : 0;
  state_.frame_count = 0;
  state_.announced_frame_rate = 0;
  state_.start_time = TickMs();
  if (OpenStream(state_.stream_number) == 0)
    return -2;
  playing_ = true;
  if (state_.device.login_handle > 0)
    sdk_.CreateIFrame(state_.device.login_handle, stream_number);
  char label[16];
  std::snprintf(label, sizeof label, "%u", static_cast<unsigned>(state_.device.login_handle));
  if (hooks_.set_label)
    hooks_.set_label(cell, label);
  lock.unlock();
  if (hooks_.row_marked)
    hooks_.row_marked(state_.device, true);
  ApplySound();
  return 0;
}

void PreviewController::AdoptLogin(const DeviceRow& row) {
  if (!playing_ || row.login_handle <= 0)
    return;
  std::lock_guard lock(lock_);
  if (std::strncmp(row.record.SerialNumber, state_.device.record.SerialNumber,
                   sizeof row.record.SerialNumber) != 0)
    return;
  // The device information stays: it is the same device, and the new login's may not have
  // arrived yet.
  state_.device.login_handle = row.login_handle;
}

void PreviewController::StopPreview() {
  if (!playing_)
    return;
  {
    std::lock_guard lock(lock_);
    // The stream first: once it is closed no frame can reach the port released below.
    if (state_.stream_handle != 0) {
      QM_RTSP_CLINET_LIB_StopRealPlay(state_.stream_handle);
      state_.stream_handle = 0;
    }
    if (state_.player_port > 0) {
      if (state_.audio_on)
        QM_PLAYER_SetAudioOff();
      QM_PLAYER_CloseDecoder(state_.player_port, QM_PLAYER_STREAM_AUDIO);
      QM_PLAYER_CloseDecoder(state_.player_port, QM_PLAYER_STREAM_VIDEO);
      state_.player_port = 0;
      state_.audio_on = 0;
    }
    if (state_.cell >= 0) {
      state_.cell = -1;
      if (hooks_.set_label)
        hooks_.set_label(0, std::string());
    }
    playing_ = false;
  }
  if (hooks_.row_marked)
    hooks_.row_marked(state_.device, false);
}

void PreviewController::ApplySound() {
  state_.sound_wanted = hooks_.sound_checked && hooks_.sound_checked() ? 1 : 0;
  const int port = state_.player_port;
  if (port <= 0)
    return;
  if (state_.sound_wanted)
    QM_PLAYER_SetAudioOn(port);
  else
    QM_PLAYER_SetAudioOff();
}

void PreviewController::Reopen(int stream_number) {
  if (!playing_ || state_.stream_handle == 0)
    return;
  const DeviceRow row = state_.device;
  StopPreview();
  std::unique_lock lock(lock_);
  state_.cell = 0;
  state_.player_port = hooks_.cell_port ? hooks_.cell_port(0) : 0;
  state_.device = row;
  state_.stream_number = stream_number;
  state_.frame_count = 0;
  state_.start_time = TickMs();
  if (OpenStream(stream_number) == 0)
    return;
  if (state_.device.login_handle > 0)
    sdk_.CreateIFrame(state_.device.login_handle, stream_number);
  char label[16];
  std::snprintf(label, sizeof label, "%u", static_cast<unsigned>(state_.device.login_handle));
  if (hooks_.set_label)
    hooks_.set_label(0, label);
  playing_ = true;
  lock.unlock();
  if (hooks_.row_marked)
    hooks_.row_marked(state_.device, true);
  ApplySound();
}

int PreviewController::OnFrame(int /*handle*/, int frame_type, const unsigned char* data,
                               int length, const QM_RTSP_FRAME_INFO* info) {
  PreviewState* state = info != nullptr ? static_cast<PreviewState*>(info->user) : nullptr;
  if (state == nullptr || (state->stream_handle <= 0 && !state->starting))
    return 0;
  unsigned char record[16] = {};
  if (info != nullptr) {
    std::memcpy(record, &info->flags, 4);
    std::memcpy(record + 8, &info->timestamp_us, 8);
  }
  if (frame_type == QM_RTSP_FRAME_VIDEO) {
    const int count = ++state->frame_count;
    if (info != nullptr && info->frame_rate > 0)
      state->announced_frame_rate = info->frame_rate;
    if (count % 100 == 0) {
      int64_t elapsed = TickMs() - state->start_time;
      if (elapsed < 1)
        elapsed = 1;
      DiagLog(
          "%s: Run time %d ms, gotton frames %d,  actual framerate %d, indicate framerate %d. \n",
          state->device.record.Lan.IPAddress, static_cast<int>(elapsed), count,
          static_cast<int>(count * 1000LL / elapsed), state->announced_frame_rate.load());
    }
    const int port = state->player_port;
    if (port != 0)
      QM_PLAYER_DecodeFrame(port, QM_PLAYER_STREAM_VIDEO, data, length, info,
                            info != nullptr ? static_cast<int>(sizeof *info) : 16);
  } else if (frame_type == QM_RTSP_FRAME_AUDIO) {
    const int port = state->player_port;
    if (port > 0) {
      if (!state->audio_on && state->sound_wanted) {
        QM_PLAYER_SetAudioOn(port);
        state->audio_on = 1;
      }
      if (state->sound_wanted)
        QM_PLAYER_DecodeFrame(port, QM_PLAYER_STREAM_AUDIO, data, length, record, 16);
    }
  } else if (frame_type == QM_RTSP_FRAME_HEADER && length >= QM_RTSP_STREAM_HEADER_SIZE) {
    if (state->player_port == 0)
      state->player_port = NextSparePort();
    const int port = state->player_port;
    uint16_t video_flag = 0;
    uint16_t audio_flag = 0;
    std::memcpy(&video_flag, data + QM_RTSP_VIDEO_FLAG_OFFSET, 2);
    std::memcpy(&audio_flag, data + QM_RTSP_AUDIO_FLAG_OFFSET, 2);
    if (video_flag != 0) {
      QM_RTSP_VIDEO_HEADER video;
      std::memcpy(&video, data + QM_RTSP_VIDEO_HEADER_OFFSET, sizeof video);
      if (video.frame_rate_den > 0)
        state->announced_frame_rate = static_cast<int>(
            (video.frame_rate_num + video.frame_rate_den / 2) / video.frame_rate_den);
      if (QM_PLAYER_SetupDecoder(port, QM_PLAYER_STREAM_VIDEO, data + QM_RTSP_VIDEO_HEADER_OFFSET,
                                 QM_RTSP_VIDEO_HEADER_SIZE) != 0)
        return 0;
    }
    if (audio_flag != 0)
      QM_PLAYER_SetupDecoder(port, QM_PLAYER_STREAM_AUDIO, data + QM_RTSP_AUDIO_HEADER_OFFSET,
                             QM_RTSP_AUDIO_HEADER_SIZE);
    QM_PLAYER_SetPlayMode(port, 0);
  }
  return 0;
}

}  // namespace vdz
