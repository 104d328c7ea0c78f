// The device list's remote configuration menu: one host window at a time, in the language the
// menu entry names.
#pragma once

#include <QPointer>
#include <QRect>
#include <functional>

#include "app/remote_cfg_dlg.h"
#include "devops/sdk_runtime.h"
#include "discovery/device_list_port.h"
#include "shell/prompter.h"

class QWidget;

namespace vdz {

class DeviceSdk;
class MediaRuntime;
class CommandTable;

class RemoteConfigCommands : public SdkEventSubscriber {
 public:
  using SelectedRow = std::function<int()>;
  using ScreenArea = std::function<QRect()>;

  RemoteConfigCommands(DeviceListPort& list, Prompter& prompter, QWidget* parent,
                       SelectedRow selected);
  ~RemoteConfigCommands() override;

  void Register(CommandTable& table);
  // The pages read their answers through the host's one auxiliary callback.
  void Attach(SdkRuntime* runtime);
  void Detach();
  void OnSdkEvent(SdkEventKind kind, std::shared_ptr<const SdkEventRecord> record) override;

  void Open(const char* language_code);
  void CloseWindow();
  CRemoteCfgDlg* window() const { return window_; }
  // Where the motion page's still of the camera comes from; without it the grid has no picture.
  void SetStillSource(DeviceSdk* sdk, const MediaRuntime* media) {
    still_sdk_ = sdk;
    still_media_ = media;
  }
  // The available screen area; tests pretend to other screens.
  void SetScreenArea(ScreenArea area) { screen_ = std::move(area); }

 private:
  DeviceListPort& list_;
  Prompter& prompter_;
  QWidget* parent_;
  SelectedRow selected_;
  ScreenArea screen_;
  SdkRuntime* runtime_ = nullptr;
  QPointer<CRemoteCfgDlg> window_;
  DeviceSdk* still_sdk_ = nullptr;
  const MediaRuntime* still_media_ = nullptr;
};

}  // namespace vdz
