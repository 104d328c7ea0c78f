#include "media/label/label_print.h"

#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>

namespace vdz {

int PrintLabel(QPagedPaintDevice& surface, int surface_dpi_x, int surface_dpi_y, int screen_dpi_x,
               int screen_dpi_y, const DeviceRecord* device, const LabelOptions& options,
               LabelLayout* layout) {
  if (device == nullptr)
    return -1;
  const LabelScale scale{std::max(1, surface_dpi_x / std::max(1, screen_dpi_x)),
                         std::max(1, surface_dpi_y / std::max(1, screen_dpi_y))};
  QPainter painter;
  if (!painter.begin(&surface))
    return -2;
  const QRect area(0, 0, surface.width(), surface.height());
  const int rc = RenderLabel(painter, area, device, options, scale, screen_dpi_y, layout);
  painter.end();
  return rc;
}

int WriteLabelPdf(const std::string& path, const DeviceRecord& device, const LabelOptions& options,
                  int screen_dpi, LabelLayout* layout) {
  constexpr int kDpi = 300;
  QPdfWriter pdf(QString::fromStdString(path));
  pdf.setTitle(QStringLiteral("printinformation"));
  pdf.setResolution(kDpi);
  pdf.setPageSize(QPageSize(QSizeF(60, 40), QPageSize::Millimeter, QStringLiteral("Label")));
  pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
  return PrintLabel(pdf, kDpi, kDpi, screen_dpi, screen_dpi, &device, options, layout);
}

}  // namespace vdz
