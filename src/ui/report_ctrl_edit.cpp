// In-place cell editing of CReportCtrl: an edit box over the cell and its keys.
#include <QKeyEvent>
#include <QLineEdit>

#include "ui/report_ctrl.h"

namespace vdz {

bool CReportCtrl::StartEdit(int row, int column) {
  EndEdit(true);
  if (!model_->IsValidCell(row, column)) {
    return false;
  }
  const QModelIndex cell = model_->index(row, column);
  scrollTo(cell);
  QRect area = visualRect(cell);
  // The check box sits in the first column; the box covers only the text beside it.
  if (column == 0 && model_->CheckBoxesShown()) {
    area.setLeft(area.left() + 16);
  }
  edit_row_ = row;
  edit_column_ = column;
  const std::vector<ReportColumn>& columns = model_->Columns();
  switch (columns[static_cast<std::size_t>(column)].align) {
    case ReportColumnAlign::kCentre:
      editor_->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
      break;
    case ReportColumnAlign::kRight:
      editor_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
      break;
    case ReportColumnAlign::kLeft:
      editor_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
      break;
  }
  editor_->setGeometry(area);
  editor_->setText(*model_->Text(row, column));
  editor_->selectAll();
  editor_->show();
  editor_->setFocus(Qt::OtherFocusReason);
  return true;
}

int CReportCtrl::EndEdit(bool commit) {
  if (!IsEditing()) {
    return 0;
  }
  const int row = edit_row_;
  const int column = edit_column_;
  edit_row_ = -1;
  edit_column_ = -1;
  const bool had_focus = editor_->hasFocus();
  editor_->hide();
  if (had_focus) {
    setFocus(Qt::OtherFocusReason);
  }
  if (!commit) {
    return 0;
  }
  // Writing the text back keeps what the operator typed instead of dropping it.
  const QString text = editor_->text();
  if (model_->SetText(row, column, text) <= 0) {
    return 0;
  }
  Q_EMIT CellEdited(row, column);
  return 1;
}

bool CReportCtrl::EditorKey(int key) {
  const int row = edit_row_;
  const int column = edit_column_;
  switch (key) {
    case Qt::Key_Tab:
      EndEdit(true);
      StartEdit(row, column + 1 < model_->ColumnCount() ? column + 1 : 0);
      return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      EndEdit(true);
      return true;
    case Qt::Key_Escape:
      EndEdit(false);
      return true;
    case Qt::Key_Up:
    case Qt::Key_Down: {
      EndEdit(true);
      const int next = key == Qt::Key_Up ? row - 1 : row + 1;
      if (next >= 0 && next < model_->RowCount()) {
        StartEdit(next, column);
      }
      return true;
    }
    default:
      return false;
  }
}

bool CReportCtrl::eventFilter(QObject* watched, QEvent* event) {
  // Tab reaches an edit box's event() before its key handler, so it is caught here.
  if (watched == editor_ && event->type() == QEvent::KeyPress && IsEditing()) {
    if (EditorKey(static_cast<QKeyEvent*>(event)->key())) {
      return true;
    }
  }
  return QTableView::eventFilter(watched, event);
}

}  // namespace vdz
