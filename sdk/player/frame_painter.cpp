#include "player/frame_painter.h"

#include <QBackingStore>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QTransform>
#include <QWidget>
#include <algorithm>
#include <cstring>

namespace vdz::player {

bool FramePainter::Paint(QWidget* widget, const QRegion& region, const AVFrame& frame,
                         PaintedPixels* out) {
  const int width = widget->width();
  const int height = widget->height();
  if (width < 1 || height < 1)
    return false;
  QPainter painter(widget);
  if (!painter.isActive())
    return false;
  return PaintIntoStore(painter, widget, region, frame, out) ||
         PaintThroughBuffer(painter, frame, width, height, out);
}

// Converting into the store saves a full-picture copy per picture (8 MB at 1080p). It is
// done only where writing the pixels is exactly what drawing them would do: the painter
// draws on the window's own raster store, 1:1 (no scaling for the screen), the paint covers
// the whole widget, and nothing outside the widget can be overwritten.
bool FramePainter::PaintIntoStore(QPainter& painter, QWidget* widget, const QRegion& region,
                                  const AVFrame& frame, PaintedPixels* out) {
  QBackingStore* store = widget->backingStore();
  QPaintEngine* engine = painter.paintEngine();
  if (store == nullptr || engine == nullptr)
    return false;
  // A grab or render() paints on another device: that one is drawn on as usual.
  QPaintDevice* device = engine->paintDevice();
  if (device == nullptr || device != store->paintDevice() || device->devType() != QInternal::Image)
    return false;
  auto* image = static_cast<QImage*>(device);
  // Both formats hold 0xAARRGGBB; the scaler writes alpha opaque, which both read alike.
  if (image->format() != QImage::Format_RGB32 &&
      image->format() != QImage::Format_ARGB32_Premultiplied)
    return false;
  if (image->devicePixelRatio() != 1.0 || widget->devicePixelRatioF() != 1.0)
    return false;
  // Writing its bits must not make the store copy itself away from the painter's buffer.
  if (!image->isDetached())
    return false;
  const QTransform transform = painter.deviceTransform();
  if (transform.type() > QTransform::TxTranslate)
    return false;
  const QPoint offset(qRound(transform.dx()), qRound(transform.dy()));
  if (transform.dx() != offset.x() || transform.dy() != offset.y())
    return false;
  const QRect target(offset, widget->size());
  // Only a paint of the whole widget: children or siblings on top of it are cut out of the
  // region, and pixels outside the clip belong to someone else.
  if (!(QRegion(widget->rect()) - region).isEmpty())
    return false;
  const QRegion clip = engine->systemClip();
  if (!clip.isEmpty() && !(QRegion(target) - clip).isEmpty())
    return false;
  const int overrun = PictureScaler::Overrun(frame, target.width(), target.height());
  if (target.left() < 0 || target.top() < 0 || target.bottom() >= image->height() ||
      target.right() + overrun >= image->width())
    return false;

  const int stride = static_cast<int>(image->bytesPerLine() / 4);
  uint32_t* origin = reinterpret_cast<uint32_t*>(image->bits()) +
                     static_cast<std::ptrdiff_t>(target.top()) * stride + target.left();
  const auto rows = static_cast<std::size_t>(target.height());
  const auto kept_bytes = static_cast<std::size_t>(overrun) * sizeof(uint32_t);
  if (overrun > 0) {
    kept_.resize(rows * static_cast<std::size_t>(overrun));
    for (std::size_t y = 0; y < rows; ++y)
      std::memcpy(&kept_[y * static_cast<std::size_t>(overrun)],
                  origin + static_cast<std::ptrdiff_t>(y) * stride + target.width(), kept_bytes);
  }
  const bool scaled = scaler_.Scale(frame, target.width(), target.height(), origin, stride,
                                    /*write_through=*/true);
  if (overrun > 0) {
    for (std::size_t y = 0; y < rows; ++y)
      std::memcpy(origin + static_cast<std::ptrdiff_t>(y) * stride + target.width(),
                  &kept_[y * static_cast<std::size_t>(overrun)], kept_bytes);
  }
  if (!scaled)
    return false;
  *out = PaintedPixels{origin, target.width(), target.height(), stride};
  return true;
}

bool FramePainter::PaintThroughBuffer(QPainter& painter, const AVFrame& frame, int width,
                                      int height, PaintedPixels* out) {
  // Reused while the size stays, written over whole: no clearing, no new pages per picture.
  buffer_.resize(ScalerBufferPixels(width, height));
  if (!scaler_.Scale(frame, width, height, buffer_.data(), width))
    return false;
  const QImage image(reinterpret_cast<const uchar*>(buffer_.data()), width, height, width * 4,
                     QImage::Format_RGB32);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.drawImage(0, 0, image);
  *out = PaintedPixels{buffer_.data(), width, height, width};
  return true;
}

}  // namespace vdz::player
