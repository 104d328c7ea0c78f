// Starting and stopping the live preview of one device, its sound, the stream switch of the
// full screen, and the frames the RTSP library hands over on its own thread.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "devops/device_sdk.h"
#include "media/preview_state.h"
#include "rtspclient/qm_rtsp_client.h"
#include "shell/prompter.h"

namespace vdz {

// The stream address of a device that names its own (another maker's camera), with its account.
struct StreamAddress {
  std::string url;  // empty: none known
  std::string user;
  std::string password;
};

namespace onvif {
class OnvifSideSearch;
}

// The stream addresses of the ONVIF cameras a search identified: main stream = first
// profile, sub stream = second.
std::function<StreamAddress(const DeviceRow&, int)> OnvifStreamAddresses(
    std::shared_ptr<onvif::OnvifSideSearch> onvif);

class PreviewController {
 public:
  struct Hooks {
    std::function<int(int cell)> cell_port;  // the cell's player port
    std::function<void(int cell, const std::string& label)> set_label;
    std::function<bool()> sound_checked;
    // The row being previewed changed (true) or the preview ended (false).
    std::function<void(const DeviceRow& row, bool previewed)> row_marked;
    // Another maker's device: the address of stream 0 (main) or 1 (sub).
    std::function<StreamAddress(const DeviceRow& row, int stream_number)> stream_address;
  };

  PreviewController(DeviceSdk& sdk, Prompter& prompter, Hooks hooks);
  ~PreviewController();
  PreviewController(const PreviewController&) = delete;
  PreviewController& operator=(const PreviewController&) = delete;

  // 0, -1 no row or a refused device type, -2 the RTSP library refused. A cell outside
  // 0..63 does nothing and returns 0.
  int StartPreview(const DeviceRow* row, int stream_number, int cell);
  void StopPreview();
  void ApplySound();
  // Re-opens the running stream with another stream number on cell 0 (full screen switch).
  void Reopen(int stream_number);

  bool Playing() const { return playing_; }
  const PreviewState& State() const { return state_; }
  std::mutex& Lock() { return lock_; }
  // The kept device can be steered: logged in and announcing "ptz_control".
  bool Steerable() const;
  int SdkHandle() const { return state_.device.login_handle; }
  // A new row of the previewed device is logged in: steering and key frames go through its
  // login from now on (a new search logs the old row's out).
  void AdoptLogin(const DeviceRow& row);

  static int OnFrame(int handle, int frame_type, const unsigned char* data, int length,
                     const QM_RTSP_FRAME_INFO* info);

 private:
  int OpenStream(int stream_number);

  DeviceSdk& sdk_;
  Prompter& prompter_;
  Hooks hooks_;
  std::mutex lock_;
  PreviewState state_;
  bool playing_ = false;
};

// The type text of a refused device as the message shows it, or empty when the type may be
// previewed.
std::string RefusedPreviewType(const char* device_type);

}  // namespace vdz
