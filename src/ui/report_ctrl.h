// Multi-column report list: columns from one header text, click-to-sort with fixed comparison
// rules, check boxes with three behaviours, per-cell colours, a caller's value per row and
// in-place cell editing. It owns no device logic.
#pragma once

#include <QPoint>
#include <QString>
#include <QTableView>
#include <optional>
#include <vector>

#include "ui/report_colour.h"
#include "ui/report_model.h"

class QLineEdit;

namespace vdz {

class CReportCtrl : public QTableView {
  Q_OBJECT

 public:
  // Item-state flags of ExamItemStates, SetItemStates, SetAllItemStates and GetItems.
  static constexpr unsigned kItemAll = 0x0001;
  static constexpr unsigned kItemSelected = 0x0002;
  static constexpr unsigned kItemUnselected = 0x0004;
  static constexpr unsigned kItemChecked = 0x0008;
  static constexpr unsigned kItemUnchecked = 0x0010;
  static constexpr unsigned kItemFocused = 0x0020;
  static constexpr unsigned kItemUnfocused = 0x0040;

  // Check-box behaviours: none leaves a click's toggle alone; plain and single choice make
  // the clicked row the only selected one and report it; single choice also unchecks every
  // other row; fixed puts the state back, so only the program sets it.
  static constexpr int kCheckNone = 0;
  static constexpr int kCheckPlain = 1;
  static constexpr int kCheckSingle = 2;
  static constexpr int kCheckFixed = 3;

  // Notification codes of CheckChanged and Sorted, for owners that log or route by code.
  static constexpr int kNotifyCheckChanged = 0xA710;
  static constexpr int kNotifySorted = 0xA711;

  explicit CReportCtrl(QWidget* parent = nullptr);
  ~CReportCtrl() override;

  // Columns: "heading,width,alignment;..." (see report_header_text.h). Deletes every row
  // and column first; true when at least one column was added.
  bool SetColumnHeader(const QString& text);
  int GetColumnCount() const { return model_->ColumnCount(); }

  void SetGridLines(bool on) { setShowGrid(on); }
  // A non-zero mode also shows the check boxes; mode 0 leaves them as they are.
  void SetCheckBoxMode(int mode);
  int GetCheckBoxMode() const { return check_box_mode_; }
  void SetSortable(bool sortable) { sortable_ = sortable; }
  bool IsSortable() const { return sortable_; }
  // Rows whose sort-column text equals this stay in place as dividers; nullopt for none.
  void SetSortSeparator(std::optional<QString> text) { separator_ = std::move(text); }
  void SetEditable(bool editable) { editable_ = editable; }
  bool IsEditable() const { return editable_; }

  // Rows. Positions change when the list is sorted; keep the item data to find a row again.
  int GetItemCount() const { return model_->RowCount(); }
  // The new row's position, or -1. A position past the end appends.
  int InsertItem(int row, const QString& text = QString(), quintptr value = 0);
  // Appends count empty rows in one step; the first new position, or -1.
  int AppendItems(int count);
  bool DeleteItem(int row);
  void DeleteAllItems();

  QString GetItemText(int row, int column) const;
  // 1 when written, 0 when the cell already showed that text (nothing is redrawn), -1 for
  // a bad cell.
  int SetItemText(int row, int column, const QString& text);
  int SetItemText(int row, int column, int value);
  int SetItemText(int row, int column, unsigned value);

  quintptr GetItemData(int row) const { return model_->ItemData(row); }
  bool SetItemData(int row, quintptr value) { return model_->SetItemData(row, value); }
  // The row carrying value, or -1.
  int FindItem(quintptr value) const { return model_->FindItemData(value); }

  bool GetCheck(int row) const { return model_->Checked(row); }
  bool SetCheck(int row, bool checked) { return model_->SetChecked(row, checked) >= 0; }
  std::vector<int> GetCheckedItems() const { return GetItems(kItemChecked); }
  int GetFirstSelectedItem() const { return GetFirstItem(kItemSelected); }

  // True when the row has every state in states (kItemAll: any existing row).
  bool ExamItemStates(int row, unsigned states) const;
  // Rows having every state in states, in position order.
  std::vector<int> GetItems(unsigned states) const;
  // The first such row after start_after, or -1.
  int GetFirstItem(unsigned states, int start_after = -1) const;
  // Applies the select, unselect, check, uncheck, focus and unfocus bits to one row.
  bool SetItemStates(int row, unsigned states);
  // The same for every row that has match_states; returns how many rows that was.
  int SetAllItemStates(unsigned match_states, unsigned states);

  // Colours are Windows values 0x00BBGGRR; kColorDefault (-1) means the system text or
  // window colour. A bad column widens to the whole row, a bad row to the whole column, both
  // to every cell.
  void SetItemTextColor(int row, int column, ColorRef colour, bool repaint = true);
  void SetItemBkColor(int row, int column, ColorRef colour, bool repaint = true);
  // The cell's colour (the system colour when none was set); kColorDefault for a bad cell.
  ColorRef GetItemTextColor(int row, int column) const;
  ColorRef GetItemBkColor(int row, int column) const;

  void SortItems(int column, bool ascending);
  int GetSortedColumn() const { return sort_column_; }
  bool IsSortAscending() const { return sort_ascending_; }

  // In-place editing of one cell. StartEdit ends any other edit first.
  bool StartEdit(int row, int column);
  // Ends the edit; with commit the typed text is written to the cell. 1 when it differed
  // from the cell text, else 0 (always 0 without commit).
  int EndEdit(bool commit = true);
  bool IsEditing() const { return edit_row_ >= 0; }
  int GetEditRow() const { return edit_row_; }
  int GetEditColumn() const { return edit_column_; }
  QLineEdit* Editor() const { return editor_; }

  // Suspends change notices for a batch of writes; the view updates once, for the cells that
  // changed, when the outermost call resumes. Calls nest.
  void SetRedraw(bool redraw);
  bool IsRedrawSuspended() const { return redraw_suspended_ > 0; }

  ReportModel* Model() const { return model_; }

 Q_SIGNALS:
  // A click changed a row's check box (modes 1 and 2); mouse_event is the QEvent::Type.
  void CheckChanged(int row, int mouse_event);
  void Sorted(int column, bool ascending);
  // Right click or menu key on a row while at least one row is selected.
  void ContextMenuRequested(int row, const QPoint& global_position);
  void ItemClicked(int row);
  void ItemDoubleClicked(int row);
  // An in-place edit wrote a new text into the cell.
  void CellEdited(int row, int column);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void HandleMouse(QMouseEvent* event);
  void OnHeaderClicked(int column);
  bool EditorKey(int key);
  bool IsRowSelected(int row) const;
  void SelectOnly(int row);
  std::vector<char> SelectedMask() const;

  ReportModel* model_;
  QLineEdit* editor_;
  int check_box_mode_ = kCheckPlain;
  bool sortable_ = false;
  std::optional<QString> separator_;
  bool editable_ = false;
  int sort_column_ = -1;
  bool sort_ascending_ = true;
  int edit_row_ = -1;
  int edit_column_ = -1;
  int redraw_suspended_ = 0;
};

}  // namespace vdz
