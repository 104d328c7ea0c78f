// The window's live preview: double-click and menu start, stop, sound, stream switching in
// full screen, the marked row, auto-start on a device's version answer, and steering the
// camera with the mouse over its picture.
#pragma once

#include <QObject>
#include <memory>

#include "discovery/device_list_port.h"
#include "media/media_runtime.h"
#include "media/preview_controller.h"
#include "media/ptz_steering.h"

class QCheckBox;
class QWidget;

namespace vdz {

class CommandTable;
class CReportCtrl;
class CWndManager;

struct PreviewWidgets {
  QWidget* window = nullptr;
  CReportCtrl* list = nullptr;
  CWndManager* grid = nullptr;
  QCheckBox* sound = nullptr;          // 1005
  QCheckBox* switch_stream = nullptr;  // 1006
};

class PreviewCommands : public QObject {
 public:
  PreviewCommands(DeviceSdk& sdk, DeviceListPort& rows, Prompter& prompter, PreviewWidgets widgets);
  ~PreviewCommands() override;
  // Where other makers' cameras stream (their ONVIF profiles).
  void SetStreamAddresses(std::function<StreamAddress(const DeviceRow&, int)> addresses) {
    stream_address_ = std::move(addresses);
  }

  void Register(CommandTable& table);
  // Starts the player and the RTSP library, its lines going to the diagnostic log; before the
  // window makes its first player port.
  static std::unique_ptr<MediaRuntime> StartLibrary();
  // Stops the preview (window closing), before the libraries are released.
  void ShutDown();
  // The firmware version of a row arrived: an "NVS-" device starts while nothing plays.
  void OnVersionKnown(int position, DeviceRow& row);
  // Double-click in the video area.
  void ToggleFullScreen();

  // 0, -1, -2 as the controller; the row by its list position.
  int StartRow(int position);
  PreviewController& Controller() { return *controller_; }
  PtzSteering& Steering() { return steering_; }
  bool Playing() const { return controller_->Playing(); }
  // The list position of the previewed row, -1 when none.
  int MarkedRow() const { return marked_position_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void MarkRow(const DeviceRow& row, bool previewed);
  int StreamNumberForWindow() const;

  DeviceSdk& sdk_;
  DeviceListPort& rows_;
  PreviewWidgets w_;
  std::unique_ptr<PreviewController> controller_;
  PtzSteering steering_;
  int marked_position_ = -1;
  bool shut_down_ = false;
  std::function<StreamAddress(const DeviceRow&, int)> stream_address_;
};

}  // namespace vdz
