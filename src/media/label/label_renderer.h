// Draws a device label: text lines in boxes, the pictures, the QR square at the right edge.
// The same drawing serves the preview (scale 1) and the printer (its resolution over the
// screen's), so what the operator sees is what prints.
#pragma once

#include <QRect>

#include "media/label_text.h"

class QPainter;

namespace vdz {

struct LabelScale {
  int x = 1;
  int y = 1;
};

// What the drawing did, for the window's tests and the command-line summary.
struct LabelLayout {
  int lines = 0;
  int text_width = 0;  // widest right edge of the address and account lines
  int qr_top = 0;
  QRect qr;  // empty when no QR was drawn
  int pictures = 0;
};

// The label face: the classic one when installed, else a CJK font so Chinese never prints
// as boxes.
QString LabelFontFamily();

// Draws the label of device into rect of target; -1 when device is null, else 0.
// screen_dpi_y turns the 5.5-point text into pixels the way the screen shows it.
int RenderLabel(QPainter& target, const QRect& rect, const DeviceRecord* device,
                const LabelOptions& options, LabelScale scale, int screen_dpi_y,
                LabelLayout* layout = nullptr);

}  // namespace vdz
