#include "ui/report_ctrl.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMouseEvent>
#include <utility>

namespace vdz {

CReportCtrl::CReportCtrl(QWidget* parent)
    : QTableView(parent), model_(new ReportModel(this)), editor_(new QLineEdit(viewport())) {
  setModel(model_);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setTabKeyNavigation(false);
  setShowGrid(false);
  setWordWrap(false);
  setCornerButtonEnabled(false);
  // Fixed row heights keep insertion and scrolling independent of the cell contents.
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  horizontalHeader()->setSectionsClickable(true);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setStretchLastSection(false);
  editor_->hide();
  editor_->installEventFilter(this);
  connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &CReportCtrl::OnHeaderClicked);
  connect(this, &QAbstractItemView::clicked, this,
          [this](const QModelIndex& index) { Q_EMIT ItemClicked(index.row()); });
  connect(this, &QAbstractItemView::doubleClicked, this,
          [this](const QModelIndex& index) { Q_EMIT ItemDoubleClicked(index.row()); });
}

CReportCtrl::~CReportCtrl() = default;

bool CReportCtrl::SetColumnHeader(const QString& text) {
  EndEdit(false);
  std::vector<ReportColumn> columns = ParseReportHeaderText(
      {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())});
  const bool added = !columns.empty();
  std::vector<int> widths;
  widths.reserve(columns.size());
  for (const ReportColumn& column : columns) {
    widths.push_back(column.width);
  }
  model_->SetColumns(std::move(columns));
  sort_column_ = -1;
  sort_ascending_ = true;
  horizontalHeader()->setSortIndicatorShown(false);
  for (std::size_t i = 0; i < widths.size(); ++i) {
    horizontalHeader()->resizeSection(static_cast<int>(i), widths[i]);
  }
  return added;
}

void CReportCtrl::SetCheckBoxMode(int mode) {
  check_box_mode_ = mode;
  if (mode != kCheckNone) {
    model_->SetCheckBoxesShown(true);
  }
}

int CReportCtrl::InsertItem(int row, const QString& text, quintptr value) {
  if (row < 0) {
    return -1;
  }
  const int position = model_->InsertRows(std::min(row, model_->RowCount()), 1);
  if (position < 0) {
    return -1;
  }
  model_->SetItemData(position, value);
  if (!text.isEmpty()) {
    model_->SetText(position, 0, text);
  }
  return position;
}

int CReportCtrl::AppendItems(int count) {
  return model_->InsertRows(model_->RowCount(), count);
}

bool CReportCtrl::DeleteItem(int row) {
  if (row == edit_row_) {
    EndEdit(false);
  }
  const int editing_row = edit_row_;
  const bool removed = model_->RemoveRow(row);
  if (removed && editing_row > row) {
    edit_row_ = editing_row - 1;
  }
  return removed;
}

void CReportCtrl::DeleteAllItems() {
  EndEdit(false);
  model_->RemoveAll();
}

QString CReportCtrl::GetItemText(int row, int column) const {
  const QString* text = model_->Text(row, column);
  return text != nullptr ? *text : QString();
}

int CReportCtrl::SetItemText(int row, int column, const QString& text) {
  return model_->SetText(row, column, text);
}

int CReportCtrl::SetItemText(int row, int column, int value) {
  return model_->SetText(row, column, QString::number(value));
}

int CReportCtrl::SetItemText(int row, int column, unsigned value) {
  return model_->SetText(row, column, QString::number(value));
}

bool CReportCtrl::IsRowSelected(int row) const {
  return selectionModel()->isRowSelected(row, QModelIndex());
}

std::vector<char> CReportCtrl::SelectedMask() const {
  std::vector<char> mask(static_cast<std::size_t>(model_->RowCount()), 0);
  for (const QItemSelectionRange& range : selectionModel()->selection()) {
    for (int row = range.top(); row <= range.bottom(); ++row) {
      if (row >= 0 && row < model_->RowCount()) {
        mask[static_cast<std::size_t>(row)] = 1;
      }
    }
  }
  return mask;
}

bool CReportCtrl::ExamItemStates(int row, unsigned states) const {
  if (row < 0 || row >= model_->RowCount()) {
    return false;
  }
  if ((states & kItemAll) != 0) {
    return true;
  }
  const bool selected = (states & (kItemSelected | kItemUnselected)) != 0 && IsRowSelected(row);
  const bool focused = currentIndex().isValid() && currentIndex().row() == row;
  const bool checked = model_->Checked(row);
  return !(
      ((states & kItemSelected) != 0 && !selected) ||
      ((states & kItemUnselected) != 0 && selected) || ((states & kItemChecked) != 0 && !checked) ||
      ((states & kItemUnchecked) != 0 && checked) || ((states & kItemFocused) != 0 && !focused) ||
      ((states & kItemUnfocused) != 0 && focused));
}

std::vector<int> CReportCtrl::GetItems(unsigned states) const {
  std::vector<int> rows;
  const int count = model_->RowCount();
  const bool all = (states & kItemAll) != 0;
  const bool needs_selection = !all && (states & (kItemSelected | kItemUnselected)) != 0;
  const std::vector<char> selected = needs_selection ? SelectedMask() : std::vector<char>();
  const int focused_row = currentIndex().isValid() ? currentIndex().row() : -1;
  for (int row = 0; row < count; ++row) {
    if (!all) {
      const bool is_selected = needs_selection && selected[static_cast<std::size_t>(row)] != 0;
      const bool checked = model_->Checked(row);
      if (((states & kItemSelected) != 0 && !is_selected) ||
          ((states & kItemUnselected) != 0 && is_selected) ||
          ((states & kItemChecked) != 0 && !checked) ||
          ((states & kItemUnchecked) != 0 && checked) ||
          ((states & kItemFocused) != 0 && row != focused_row) ||
          ((states & kItemUnfocused) != 0 && row == focused_row)) {
        continue;
      }
    }
    rows.push_back(row);
  }
  return rows;
}

int CReportCtrl::GetFirstItem(unsigned states, int start_after) const {
  for (int row : GetItems(states)) {
    if (row > start_after) {
      return row;
    }
  }
  return -1;
}

bool CReportCtrl::SetItemStates(int row, unsigned states) {
  if (row < 0 || row >= model_->RowCount()) {
    return false;
  }
  QItemSelectionModel* selection = selectionModel();
  const QModelIndex first = model_->index(row, 0);
  if ((states & kItemSelected) != 0) {
    selection->select(first, QItemSelectionModel::Select | QItemSelectionModel::Rows);
  } else if ((states & kItemUnselected) != 0) {
    selection->select(first, QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
  }
  if ((states & kItemChecked) != 0) {
    model_->SetChecked(row, true);
  } else if ((states & kItemUnchecked) != 0) {
    model_->SetChecked(row, false);
  }
  if ((states & kItemFocused) != 0) {
    selection->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
  } else if ((states & kItemUnfocused) != 0 && currentIndex().isValid() &&
             currentIndex().row() == row) {
    selection->clearCurrentIndex();
  }
  return true;
}

int CReportCtrl::SetAllItemStates(unsigned match_states, unsigned states) {
  const std::vector<int> rows = GetItems(match_states);
  if (rows.empty()) {
    return 0;
  }
  // One selection change for the whole batch instead of one per row.
  QItemSelection batch;
  for (int row : rows) {
    batch.select(model_->index(row, 0), model_->index(row, model_->ColumnCount() - 1));
  }
  if ((states & kItemSelected) != 0) {
    selectionModel()->select(batch, QItemSelectionModel::Select | QItemSelectionModel::Rows);
  } else if ((states & kItemUnselected) != 0) {
    selectionModel()->select(batch, QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
  }
  const unsigned per_row = states & ~(kItemSelected | kItemUnselected);
  if (per_row != 0) {
    for (int row : rows) {
      SetItemStates(row, per_row);
    }
  }
  return static_cast<int>(rows.size());
}

void CReportCtrl::SetItemTextColor(int row, int column, ColorRef colour, bool repaint) {
  // Text colours never force a repaint of the list; the changed cells update when shown.
  (void)repaint;
  model_->SetColour(ReportModel::ColourKind::kText, row, column, colour);
}

void CReportCtrl::SetItemBkColor(int row, int column, ColorRef colour, bool repaint) {
  model_->SetColour(ReportModel::ColourKind::kBackground, row, column, colour);
  if (repaint) {
    viewport()->update();
  }
}

ColorRef CReportCtrl::GetItemTextColor(int row, int column) const {
  if (!model_->IsValidCell(row, column)) {
    return kColorDefault;
  }
  const ColorRef colour = model_->Colour(ReportModel::ColourKind::kText, row, column);
  return colour != kColorDefault ? colour : RefFromColor(palette().color(QPalette::Text));
}

ColorRef CReportCtrl::GetItemBkColor(int row, int column) const {
  if (!model_->IsValidCell(row, column)) {
    return kColorDefault;
  }
  const ColorRef colour = model_->Colour(ReportModel::ColourKind::kBackground, row, column);
  return colour != kColorDefault ? colour : RefFromColor(palette().color(QPalette::Base));
}

void CReportCtrl::OnHeaderClicked(int column) {
  if (!sortable_) {
    return;
  }
  SortItems(column, !(column == sort_column_ && sort_ascending_));
}

void CReportCtrl::SortItems(int column, bool ascending) {
  EndEdit(true);
  if (column < 0 || column >= model_->ColumnCount()) {
    return;
  }
  sort_column_ = column;
  sort_ascending_ = ascending;
  model_->Sort(column, ascending, separator_);
  horizontalHeader()->setSortIndicatorShown(true);
  horizontalHeader()->setSortIndicator(column,
                                       ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
  Q_EMIT Sorted(column, ascending);
}

void CReportCtrl::SetRedraw(bool redraw) {
  // Qt paints only from the event loop, so a batch run in one go is never drawn half-done;
  // what needs holding back is the stream of change notices, and switching updates off
  // would only force a repaint of the whole list on resume.
  if (!redraw) {
    if (redraw_suspended_++ == 0) {
      model_->BeginBatch();
    }
    return;
  }
  if (redraw_suspended_ > 0 && --redraw_suspended_ == 0) {
    model_->EndBatch();
  }
}

void CReportCtrl::SelectOnly(int row) {
  const QModelIndex first = model_->index(row, 0);
  selectionModel()->setCurrentIndex(
      first, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void CReportCtrl::HandleMouse(QMouseEvent* event) {
  const QModelIndex hit = indexAt(event->position().toPoint());
  const int row = hit.isValid() ? hit.row() : -1;
  const bool was_checked = model_->Checked(row);
  const bool was_editing = IsEditing();
  // Presses end an edit; the release of the press that began one must leave it open. The
  // release still counts for the check box, which the view toggles on release.
  if (event->type() != QEvent::MouseButtonRelease) {
    EndEdit(true);
  }
  const bool left_press =
      event->type() == QEvent::MouseButtonPress && event->button() == Qt::LeftButton;
  const bool was_selected_and_focused =
      left_press && row >= 0 && IsRowSelected(row) && currentIndex().row() == row;

  switch (event->type()) {
    case QEvent::MouseButtonPress:
      QTableView::mousePressEvent(event);
      break;
    case QEvent::MouseButtonRelease:
      QTableView::mouseReleaseEvent(event);
      break;
    default:
      QTableView::mouseDoubleClickEvent(event);
      break;
  }

  if (row < 0 || row >= model_->RowCount()) {
    return;
  }
  const bool checked = model_->Checked(row);
  if (checked != was_checked && check_box_mode_ != kCheckNone) {
    if (check_box_mode_ == kCheckFixed) {
      model_->SetChecked(row, was_checked);
      return;
    }
    if (check_box_mode_ == kCheckSingle && checked) {
      for (int other : GetItems(kItemChecked)) {
        if (other != row) {
          model_->SetChecked(other, false);
        }
      }
    }
    if (check_box_mode_ == kCheckPlain || check_box_mode_ == kCheckSingle) {
      SelectOnly(row);
      Q_EMIT CheckChanged(row, static_cast<int>(event->type()));
    }
    return;
  }
  // Only the columns that owners fill by hand take an in-place edit.
  const int column = hit.column();
  if (editable_ && checked == was_checked && !was_editing && was_selected_and_focused &&
      (column == 2 || column == 4 || column == 5)) {
    StartEdit(row, column);
  }
}

void CReportCtrl::mousePressEvent(QMouseEvent* event) {
  HandleMouse(event);
}

void CReportCtrl::mouseReleaseEvent(QMouseEvent* event) {
  HandleMouse(event);
}

void CReportCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
  HandleMouse(event);
}

void CReportCtrl::keyPressEvent(QKeyEvent* event) {
  // The check boxes change by mouse only; space would toggle them behind the owner's back.
  if (event->key() == Qt::Key_Space && !IsEditing()) {
    event->accept();
    return;
  }
  QTableView::keyPressEvent(event);
}

void CReportCtrl::contextMenuEvent(QContextMenuEvent* event) {
  event->accept();
  const int row = event->reason() == QContextMenuEvent::Mouse
                      ? rowAt(event->pos().y())
                      : (currentIndex().isValid() ? currentIndex().row() : -1);
  if (row < 0 || !selectionModel()->hasSelection()) {
    return;
  }
  Q_EMIT ContextMenuRequested(row, event->globalPos());
}

}  // namespace vdz
