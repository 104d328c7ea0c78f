// A label on a printer or in a PDF file, at the surface's own resolution.
#pragma once

#include <string>

#include "media/label/label_renderer.h"

class QPagedPaintDevice;

namespace vdz {

// Renders into the whole surface with the scale of its resolution over the screen's. The
// print job is named "printinformation".
int PrintLabel(QPagedPaintDevice& surface, int surface_dpi_x, int surface_dpi_y, int screen_dpi_x,
               int screen_dpi_y, const DeviceRecord* device, const LabelOptions& options,
               LabelLayout* layout = nullptr);

// A 60 x 40 mm PDF page at 300 dpi; 0, -1 no device, -2 the file cannot be written.
int WriteLabelPdf(const std::string& path, const DeviceRecord& device, const LabelOptions& options,
                  int screen_dpi, LabelLayout* layout = nullptr);

}  // namespace vdz
