// The window's snapshot commands: one device (menu 32790), the checked devices (button 19),
// the snapshot folder (menu 32799) and the watch on timer 1003.
#pragma once

#include <QUrl>
#include <functional>
#include <memory>
#include <optional>

#include "devops/snapshot_capture.h"

class QTimer;
class QWidget;

namespace vdz {

class CommandTable;

// Hands an address to the desktop's default handler; false when nothing took it.
using UrlOpener = std::function<bool(const QUrl&)>;
UrlOpener DesktopUrlOpener();

class SnapshotCommands {
 public:
  SnapshotCommands(DeviceJobRunner& jobs, DeviceSdk& sdk, DeviceListPort& list, Prompter& prompter,
                   QTimer* watch_timer, std::function<int()> selected_row);

  void Register(CommandTable& table);
  SnapshotCapture& capture() { return *capture_; }
  // Tests bring their own folder and opener.
  void SetFolder(std::string folder);
  void SetOpener(UrlOpener opener) { opener_ = std::move(opener); }
  // Other makers' cameras are snapshotted by their own protocol through these.
  void SetOnvifActions(std::optional<OnvifActions> actions);

 private:
  void OpenFolder();

  DeviceJobRunner& jobs_;
  DeviceSdk& sdk_;
  DeviceListPort& list_;
  Prompter& prompter_;
  std::function<int()> selected_row_;
  std::unique_ptr<SnapshotCapture> capture_;
  UrlOpener opener_;
  std::optional<OnvifActions> onvif_;
};

}  // namespace vdz
