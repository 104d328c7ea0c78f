// One still of a device's sub stream for the remote configuration's motion grid: the stream
// is opened on a player port of its own (no cell), the first decoded picture is handed over
// and the stream is closed again. Polled on the window thread by a timer; never waits.
#pragma once

#include <QImage>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

#include "discovery/device_row.h"

namespace vdz {

class DeviceSdk;
class MediaRuntime;
class PreviewController;
class Prompter;

class CameraStill : public QObject {
 public:
  using Done = std::function<void(const QImage&)>;
  CameraStill(DeviceSdk& sdk, const MediaRuntime& media, Prompter& prompter, QObject* parent);
  ~CameraStill() override;

  // Gives up after limit_ms; done is not called then.
  void Take(const DeviceRow& row, Done done, int limit_ms = 8000);
  void Stop();

 private:
  void Poll();

  const MediaRuntime& media_;
  std::unique_ptr<PreviewController> preview_;
  QTimer timer_;
  Done done_;
  int polls_left_ = 0;
};

}  // namespace vdz
