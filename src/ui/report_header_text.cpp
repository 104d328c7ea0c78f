#include "ui/report_header_text.h"

#include <cstddef>
#include <utility>

namespace vdz {
namespace {

std::u16string_view Trim(std::u16string_view text) {
  while (!text.empty() && (text.front() == u' ' || text.front() == u'\t')) {
    text.remove_prefix(1);
  }
  while (!text.empty() && (text.back() == u' ' || text.back() == u'\t')) {
    text.remove_suffix(1);
  }
  return text;
}

// A non-negative decimal integer of reasonable size, or -1.
int ParseCount(std::u16string_view text) {
  text = Trim(text);
  if (text.empty() || text.size() > 6) {
    return -1;
  }
  int value = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') {
      return -1;
    }
    value = value * 10 + (c - u'0');
  }
  return value;
}

std::vector<std::u16string_view> Split(std::u16string_view text, char16_t separator) {
  std::vector<std::u16string_view> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find(separator, start);
    if (end == std::u16string_view::npos) {
      parts.push_back(text.substr(start));
      return parts;
    }
    parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}

}  // namespace

std::vector<ReportColumn> ParseReportHeaderText(std::u16string_view text) {
  std::vector<ReportColumn> columns;
  for (std::u16string_view segment : Split(text, u';')) {
    if (segment.empty()) {
      continue;
    }
    const std::vector<std::u16string_view> fields = Split(segment, u',');
    ReportColumn column;
    column.heading = std::u16string(fields[0]);
    if (fields.size() > 1) {
      const int width = ParseCount(fields[1]);
      column.width = width >= 0 ? width : kReportDefaultColumnWidth;
    }
    if (fields.size() > 2) {
      const int align = ParseCount(fields[2]);
      if (align == 1) {
        column.align = ReportColumnAlign::kCentre;
      } else if (align == 2) {
        column.align = ReportColumnAlign::kRight;
      }
    }
    columns.push_back(std::move(column));
  }
  return columns;
}

}  // namespace vdz
