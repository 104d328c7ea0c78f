// The column set of the report list, given as one text: "heading,width,alignment;...".
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vdz {

enum class ReportColumnAlign { kLeft = 0, kCentre = 1, kRight = 2 };

struct ReportColumn {
  std::u16string heading;
  int width = 100;
  ReportColumnAlign align = ReportColumnAlign::kLeft;
};

inline constexpr int kReportDefaultColumnWidth = 100;

// Columns are separated by ";", fields by ",". A missing or unreadable width is 100 pixels;
// alignment 1 centres, 2 right-aligns, anything else is left. Empty segments (a trailing ";")
// make no column.
std::vector<ReportColumn> ParseReportHeaderText(std::u16string_view text);

}  // namespace vdz
