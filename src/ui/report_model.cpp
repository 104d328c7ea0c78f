#include "ui/report_model.h"

#include <QBrush>
#include <QLocale>
#include <algorithm>
#include <string_view>

#include "ui/report_date_key.h"
#include "ui/report_sort.h"

namespace vdz {
namespace {

std::u16string_view View(const QString& text) {
  return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())};
}

Qt::Alignment ToQtAlignment(ReportColumnAlign align) {
  switch (align) {
    case ReportColumnAlign::kCentre:
      return Qt::AlignHCenter | Qt::AlignVCenter;
    case ReportColumnAlign::kRight:
      return Qt::AlignRight | Qt::AlignVCenter;
    case ReportColumnAlign::kLeft:
      break;
  }
  return Qt::AlignLeft | Qt::AlignVCenter;
}

}  // namespace

ReportModel::ReportModel(QObject* parent) : QAbstractTableModel(parent) {}

int ReportModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : RowCount();
}

int ReportModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ColumnCount();
}

bool ReportModel::IsValidCell(int row, int column) const {
  return row >= 0 && row < RowCount() && column >= 0 && column < ColumnCount();
}

QVariant ReportModel::ColourVariant(const std::vector<ColorRef>& colours, int column) {
  if (colours.empty()) {
    return {};
  }
  const ColorRef value = colours[static_cast<std::size_t>(column)];
  if (value == kColorDefault) {
    return {};
  }
  return QBrush(ColorFromRef(value));
}

QVariant ReportModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || !IsValidCell(index.row(), index.column())) {
    return {};
  }
  const Row& row = rows_[static_cast<std::size_t>(index.row())];
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
      return row.texts[static_cast<std::size_t>(index.column())];
    case Qt::CheckStateRole:
      if (check_boxes_shown_ && index.column() == 0) {
        return row.checked ? Qt::Checked : Qt::Unchecked;
      }
      return {};
    case Qt::ForegroundRole:
      return ColourVariant(row.text_colours, index.column());
    case Qt::BackgroundRole:
      return ColourVariant(row.background_colours, index.column());
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(
          ToQtAlignment(columns_[static_cast<std::size_t>(index.column())].align));
    default:
      return {};
  }
}

QVariant ReportModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount()) {
    return {};
  }
  const ReportColumn& column = columns_[static_cast<std::size_t>(section)];
  if (role == Qt::DisplayRole) {
    return QString::fromStdU16String(column.heading);
  }
  if (role == Qt::TextAlignmentRole) {
    return QVariant::fromValue(ToQtAlignment(column.align));
  }
  return {};
}

Qt::ItemFlags ReportModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) {
    return Qt::NoItemFlags;
  }
  Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
  if (check_boxes_shown_ && index.column() == 0) {
    result |= Qt::ItemIsUserCheckable;
  }
  return result;
}

bool ReportModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::CheckStateRole || !check_boxes_shown_ || !index.isValid() ||
      index.column() != 0 || !IsValidCell(index.row(), 0)) {
    return false;
  }
  return SetChecked(index.row(), value.toInt() == Qt::Checked) >= 0;
}

void ReportModel::SetColumns(std::vector<ReportColumn> columns) {
  FlushPending();
  beginResetModel();
  rows_.clear();
  columns_ = std::move(columns);
  endResetModel();
}

void ReportModel::SetCheckBoxesShown(bool shown) {
  if (shown == check_boxes_shown_) {
    return;
  }
  check_boxes_shown_ = shown;
  if (RowCount() > 0 && ColumnCount() > 0) {
    EmitCells(0, RowCount() - 1, 0, 0, Qt::CheckStateRole);
  }
}

int ReportModel::InsertRows(int row, int count) {
  if (row < 0 || row > RowCount() || count <= 0) {
    return -1;
  }
  FlushPending();
  beginInsertRows(QModelIndex(), row, row + count - 1);
  Row blank;
  blank.texts.resize(columns_.size());
  rows_.insert(rows_.begin() + row, static_cast<std::size_t>(count), blank);
  endInsertRows();
  return row;
}

bool ReportModel::RemoveRow(int row) {
  FlushPending();
  if (row < 0 || row >= RowCount()) {
    return false;
  }
  beginRemoveRows(QModelIndex(), row, row);
  rows_.erase(rows_.begin() + row);
  endRemoveRows();
  return true;
}

void ReportModel::RemoveAll() {
  FlushPending();
  if (rows_.empty()) {
    return;
  }
  beginResetModel();
  rows_.clear();
  endResetModel();
}

const QString* ReportModel::Text(int row, int column) const {
  if (!IsValidCell(row, column)) {
    return nullptr;
  }
  return &rows_[static_cast<std::size_t>(row)].texts[static_cast<std::size_t>(column)];
}

int ReportModel::SetText(int row, int column, const QString& text) {
  if (!IsValidCell(row, column)) {
    return -1;
  }
  QString& cell = rows_[static_cast<std::size_t>(row)].texts[static_cast<std::size_t>(column)];
  if (cell == text) {
    return 0;
  }
  cell = text;
  EmitCells(row, row, column, column, Qt::DisplayRole);
  return 1;
}

quintptr ReportModel::ItemData(int row) const {
  if (row < 0 || row >= RowCount()) {
    return 0;
  }
  return rows_[static_cast<std::size_t>(row)].data;
}

bool ReportModel::SetItemData(int row, quintptr value) {
  if (row < 0 || row >= RowCount()) {
    return false;
  }
  rows_[static_cast<std::size_t>(row)].data = value;
  return true;
}

int ReportModel::FindItemData(quintptr value) const {
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].data == value) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

bool ReportModel::Checked(int row) const {
  return row >= 0 && row < RowCount() && rows_[static_cast<std::size_t>(row)].checked;
}

int ReportModel::SetChecked(int row, bool checked) {
  if (row < 0 || row >= RowCount()) {
    return -1;
  }
  bool& state = rows_[static_cast<std::size_t>(row)].checked;
  if (state == checked) {
    return 0;
  }
  state = checked;
  if (check_boxes_shown_ && ColumnCount() > 0) {
    EmitCells(row, row, 0, 0, Qt::CheckStateRole);
  }
  return 1;
}

ColorRef ReportModel::Colour(ColourKind kind, int row, int column) const {
  if (!IsValidCell(row, column)) {
    return kColorDefault;
  }
  const Row& record = rows_[static_cast<std::size_t>(row)];
  const std::vector<ColorRef>& colours =
      kind == ColourKind::kText ? record.text_colours : record.background_colours;
  return colours.empty() ? kColorDefault : colours[static_cast<std::size_t>(column)];
}

void ReportModel::SetColour(ColourKind kind, int row, int column, ColorRef value) {
  if (RowCount() == 0 || ColumnCount() == 0) {
    return;
  }
  const bool whole_column_set = row < 0 || row >= RowCount();
  const bool whole_row = column < 0 || column >= ColumnCount();
  const int first_row = whole_column_set ? 0 : row;
  const int last_row = whole_column_set ? RowCount() - 1 : row;
  const int first_column = whole_row ? 0 : column;
  const int last_column = whole_row ? ColumnCount() - 1 : column;
  for (int r = first_row; r <= last_row; ++r) {
    Row& record = rows_[static_cast<std::size_t>(r)];
    std::vector<ColorRef>& colours =
        kind == ColourKind::kText ? record.text_colours : record.background_colours;
    if (colours.empty()) {
      if (value == kColorDefault) {
        continue;
      }
      colours.assign(columns_.size(), kColorDefault);
    }
    for (int c = first_column; c <= last_column; ++c) {
      colours[static_cast<std::size_t>(c)] = value;
    }
  }
  EmitCells(first_row, last_row, first_column, last_column,
            kind == ColourKind::kText ? Qt::ForegroundRole : Qt::BackgroundRole);
}

void ReportModel::EmitCells(int first_row, int last_row, int first_column, int last_column,
                            int role) {
  if (batch_depth_ == 0) {
    Q_EMIT dataChanged(index(first_row, first_column), index(last_row, last_column), {role});
    return;
  }
  const QRect cells(QPoint(first_column, first_row), QPoint(last_column, last_row));
  pending_cells_ = pending_ ? pending_cells_.united(cells) : cells;
  pending_ = true;
  if (!pending_roles_.contains(role)) {
    pending_roles_.append(role);
  }
}

void ReportModel::FlushPending() {
  if (!pending_) {
    return;
  }
  pending_ = false;
  const QRect cells = pending_cells_;
  QList<int> roles;
  roles.swap(pending_roles_);
  // Rows and columns only grow inside a batch (structural changes flush first), but clamp
  // anyway: an index past the end would break the views.
  const int last_row = std::min(cells.bottom(), RowCount() - 1);
  const int last_column = std::min(cells.right(), ColumnCount() - 1);
  if (cells.top() <= last_row && cells.left() <= last_column) {
    Q_EMIT dataChanged(index(cells.top(), cells.left()), index(last_row, last_column), roles);
  }
}

void ReportModel::EndBatch() {
  if (batch_depth_ > 0 && --batch_depth_ == 0) {
    FlushPending();
  }
}

bool ReportModel::Sort(int column, bool ascending, const std::optional<QString>& separator) {
  if (column < 0 || column >= ColumnCount()) {
    return false;
  }
  const LocaleDateReader dates(QLocale::system());
  std::vector<ReportSortKey> keys;
  keys.reserve(rows_.size());
  for (const Row& row : rows_) {
    const QString& text = row.texts[static_cast<std::size_t>(column)];
    ReportSortKey key = MakeReportSortKey(View(text));
    key.date_time = dates.Read(text);
    keys.push_back(key);
  }
  std::optional<std::u16string_view> separator_view;
  if (separator) {
    separator_view = View(*separator);
  }
  const std::vector<int> order = ReportSortOrder(keys, separator_view, ascending);
  FlushPending();

  Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  std::vector<int> new_position(rows_.size());
  std::vector<Row> sorted;
  sorted.reserve(rows_.size());
  for (std::size_t i = 0; i < order.size(); ++i) {
    new_position[static_cast<std::size_t>(order[i])] = static_cast<int>(i);
    sorted.push_back(std::move(rows_[static_cast<std::size_t>(order[i])]));
  }
  rows_.swap(sorted);
  const QModelIndexList from = persistentIndexList();
  QModelIndexList to;
  to.reserve(from.size());
  for (const QModelIndex& old_index : from) {
    to.append(index(new_position[static_cast<std::size_t>(old_index.row())], old_index.column()));
  }
  changePersistentIndexList(from, to);
  Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
  return true;
}

}  // namespace vdz
