// Table model behind CReportCtrl: one record per row with its texts, check state, the
// caller's value and per-cell colours. Writes that change nothing emit nothing, so a refresh
// that rewrites every cell each second costs only the cells that really changed.
#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QRect>
#include <QString>
#include <optional>
#include <vector>

#include "ui/report_colour.h"
#include "ui/report_header_text.h"

namespace vdz {

class ReportModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum class ColourKind { kText, kBackground };

  explicit ReportModel(QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  // Only the check state is writable through the view (the check box's own click).
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

  // Replaces the column set; every row goes with the old columns.
  void SetColumns(std::vector<ReportColumn> columns);
  const std::vector<ReportColumn>& Columns() const { return columns_; }

  void SetCheckBoxesShown(bool shown);
  bool CheckBoxesShown() const { return check_boxes_shown_; }

  // Inserts count empty rows before position row (row == RowCount() appends). Returns the
  // position of the first new row, or -1 for a bad position or count.
  int InsertRows(int row, int count);
  bool RemoveRow(int row);
  void RemoveAll();
  int RowCount() const { return static_cast<int>(rows_.size()); }
  int ColumnCount() const { return static_cast<int>(columns_.size()); }
  bool IsValidCell(int row, int column) const;

  // Null for a bad cell.
  const QString* Text(int row, int column) const;
  // 1 when written, 0 when the cell already showed that text, -1 for a bad cell.
  int SetText(int row, int column, const QString& text);

  quintptr ItemData(int row) const;
  bool SetItemData(int row, quintptr value);
  // The first row carrying value, or -1.
  int FindItemData(quintptr value) const;

  bool Checked(int row) const;
  // 1 when changed, 0 when it already had that state, -1 for a bad row.
  int SetChecked(int row, bool checked);

  // kColorDefault when the cell uses the system colour or does not exist.
  ColorRef Colour(ColourKind kind, int row, int column) const;
  // A bad row or column widens the write to every row or every column.
  void SetColour(ColourKind kind, int row, int column, ColorRef value);

  // Between these, cell writes are gathered and announced as one change at the end, so a
  // refresh of a thousand rows costs the view one update instead of one per cell. Row
  // insertions, removals and sorts announce what was gathered before they act. Calls nest.
  void BeginBatch() { ++batch_depth_; }
  void EndBatch();

  // Sorts by a column; rows equal to the separator stay where they are. Persistent indexes
  // (selection, focus) follow their rows. False for a bad column.
  bool Sort(int column, bool ascending, const std::optional<QString>& separator);

 private:
  struct Row {
    quintptr data = 0;
    bool checked = false;
    std::vector<QString> texts;
    std::vector<ColorRef> text_colours;  // empty until a colour is set; then one per column
    std::vector<ColorRef> background_colours;
  };

  static QVariant ColourVariant(const std::vector<ColorRef>& colours, int column);
  void EmitCells(int first_row, int last_row, int first_column, int last_column, int role);
  void FlushPending();

  std::vector<ReportColumn> columns_;
  std::vector<Row> rows_;
  bool check_boxes_shown_ = false;
  int batch_depth_ = 0;
  bool pending_ = false;
  QRect pending_cells_;  // x = column, y = row
  QList<int> pending_roles_;
};

}  // namespace vdz
