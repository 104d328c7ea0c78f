#include "ui/wnd_layout.h"

namespace vdz {

std::vector<QRect> ComputeCellRects(const QRect& client, int rows, int columns) {
  std::vector<QRect> cells;
  if (rows < 1 || columns < 1) {
    return cells;
  }
  const int width = client.width() / columns;
  const int height = client.height() / rows;
  const int extra_width = client.width() % columns;
  const int extra_height = client.height() % rows;
  cells.reserve(static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns));
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column) {
      const int w = width + (column == columns - 1 ? extra_width : 0);
      const int h = height + (row == rows - 1 ? extra_height : 0);
      cells.emplace_back(client.left() + column * width, client.top() + row * height, w, h);
    }
  }
  return cells;
}

}  // namespace vdz
