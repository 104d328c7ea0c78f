// Paints a decoded picture over a whole widget from inside its paint event, converting it once.
// Where the widget is painted into a raster backing store, the picture is converted straight
// into that store; anywhere else (a grab, a scaled screen, another kind of store) it is
// converted into a buffer of its own that is then drawn.
#pragma once

#include <QRegion>
#include <cstdint>
#include <vector>

#include "player/picture_scaler.h"

class QPainter;
class QWidget;
struct AVFrame;

namespace vdz::player {

// The pixels as painted; valid until the paint event returns.
struct PaintedPixels {
  const uint32_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  int stride_pixels = 0;
};

// Window thread only.
class FramePainter {
 public:
  // Paints frame scaled to the widget; region is the paint event's. False when nothing could
  // be painted (the widget then paints itself).
  bool Paint(QWidget* widget, const QRegion& region, const AVFrame& frame, PaintedPixels* out);

 private:
  bool PaintIntoStore(QPainter& painter, QWidget* widget, const QRegion& region,
                      const AVFrame& frame, PaintedPixels* out);
  bool PaintThroughBuffer(QPainter& painter, const AVFrame& frame, int width, int height,
                          PaintedPixels* out);

  PictureScaler scaler_;
  std::vector<uint32_t> buffer_;  // for pictures not converted into the store
  std::vector<uint32_t> kept_;    // store pixels right of the widget, over the scaler's overrun
};

}  // namespace vdz::player
