#include "app/list_export_commands.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QStandardPaths>
#include <iterator>

#include "app/command_ids.h"
#include "app/command_table.h"
#include "discovery/device_list_columns.h"
#include "discovery/device_list_export.h"
#include "shell/language_keys.h"
#include "shell/language_table.h"
#include "ui/report_ctrl.h"

namespace vdz {

namespace {

constexpr char kExportFilter[] = "CSV(*.csv)|*.csv|JSON(*.json)|*.json||";

QString Text(const char* key) {
  return QString::fromStdString(LookupText(key));
}

}  // namespace

ListExportCommands::ListExportCommands(CReportCtrl& list, Prompter& prompter, QWidget* parent,
                                       QLabel* status_line)
    : list_(list), prompter_(prompter), parent_(parent), status_line_(status_line) {}

void ListExportCommands::Register(CommandTable& t) {
  t.Add(cmd::kExportList, [this] { Export(); });
}

std::vector<RecordCells> ListExportCommands::ShownRows(const CReportCtrl& list) {
  const int rows = list.GetItemCount();
  const int columns = list.GetColumnCount();
  std::vector<RecordCells> records;
  records.reserve(static_cast<std::size_t>(rows));
  for (int row = 0; row < rows; ++row) {
    if (list.isRowHidden(row))
      continue;
    RecordCells& cells = records.emplace_back();
    cells.reserve(static_cast<std::size_t>(columns));
    for (int column = 0; column < columns; ++column)
      cells.push_back(list.GetItemText(row, column).toStdString());
  }
  return records;
}

QString ListExportCommands::Choose(const QString& extension, const QString& filter) {
  if (chooser_)
    return chooser_(extension, filter);
  const QString csv = QStringLiteral("CSV (*.csv)");
  const QString json = QStringLiteral("JSON (*.json)");
  QString selected = csv;
  const QString start = QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
                            .filePath(QStringLiteral("devices.csv"));
  QString path = QFileDialog::getSaveFileName(parent_, Text(keys::EXPORT_LIST), start,
                                              csv + QStringLiteral(";;") + json, &selected);
  // A name typed without either extension takes the one of the chosen file type.
  if (!path.isEmpty() && !ListFileFormatFor(path.toStdString()))
    path += selected == json ? QStringLiteral(".json") : QStringLiteral(".csv");
  return path;
}

void ListExportCommands::Export() {
  // The rows are taken before the dialog: what was on screen when the button was pressed.
  const std::vector<RecordCells> records = ShownRows(list_);
  const QString path = Choose(QStringLiteral("*.csv"), QString::fromLatin1(kExportFilter));
  if (path.isEmpty())
    return;
  // Names with neither extension get CSV, the form spreadsheets open directly.
  const std::string file = QFile::encodeName(path).toStdString();
  const ListFileFormat format = ListFileFormatFor(file).value_or(ListFileFormat::kCsv);
  const std::vector<RecordColumn> columns(std::begin(device_columns::kWindowList),
                                          std::end(device_columns::kWindowList));
  std::string error;
  if (!WriteDeviceListFile(file, format, columns, records, &error)) {
    prompter_.ShowError(LookupText(keys::EXPORT_LIST_FAILED) + "\n" + error);
    return;
  }
  if (status_line_ != nullptr) {
    status_line_->setText(
        QStringLiteral("%1: %2 (%3)").arg(Text(keys::EXPORT_LIST_DONE), path).arg(records.size()));
  }
}

}  // namespace vdz
