// Cell rectangles of the video grid.
#pragma once

#include <QRect>
#include <vector>

namespace vdz {

// rows × columns rectangles in index order (row by row, left to right) covering client.
// Every cell gets the integer share of the width and height; the last column and the last
// row also take the remainders. Empty when rows or columns is below 1.
std::vector<QRect> ComputeCellRects(const QRect& client, int rows, int columns);

}  // namespace vdz
