#include "app/camera_still.h"

#include "media/media_runtime.h"
#include "media/preview_controller.h"

namespace vdz {

namespace {
constexpr int kPollMs = 100;
}  // namespace

CameraStill::CameraStill(DeviceSdk& sdk, const MediaRuntime& media, Prompter& prompter,
                         QObject* parent)
    : QObject(parent),
      media_(media),
      preview_(std::make_unique<PreviewController>(
          sdk, prompter,
          PreviewController::Hooks{[](int) { return 0; }, nullptr, [] { return false; }, nullptr,
                                   nullptr})) {
  timer_.setInterval(kPollMs);
  connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
}

CameraStill::~CameraStill() {
  Stop();
}

void CameraStill::Take(const DeviceRow& row, Done done, int limit_ms) {
  Stop();
  // Quietly nothing for a device whose type has no stream: the grid is drawn without a picture.
  if (!RefusedPreviewType(row.record.DeviceType).empty())
    return;
  if (preview_->StartPreview(&row, 1, 0) != 0)
    return;
  done_ = std::move(done);
  polls_left_ = limit_ms / kPollMs;
  timer_.start();
}

void CameraStill::Stop() {
  timer_.stop();
  done_ = nullptr;
  if (preview_->Playing())
    preview_->StopPreview();
}

void CameraStill::Poll() {
  const auto picture = media_.LastPicture(preview_->State().player_port, 1);
  if (!picture) {
    if (--polls_left_ <= 0)
      Stop();
    return;
  }
  const QImage image = QImage(reinterpret_cast<const uchar*>(picture->pixels.data()),
                              picture->width, picture->height, QImage::Format_RGB32)
                           .copy();
  Done done = std::move(done_);
  Stop();
  if (done)
    done(image);
}

}  // namespace vdz
