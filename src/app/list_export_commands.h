// The window's list export: the rows the list shows, every column, in the order shown, to a
// CSV or JSON file under the names the command line's search writes.
#pragma once

#include <QString>
#include <vector>

#include "app/upgrade_commands.h"
#include "shell/prompter.h"
#include "shell/record_writer.h"

class QLabel;
class QWidget;

namespace vdz {

class CommandTable;
class CReportCtrl;

class ListExportCommands {
 public:
  // The same chooser the upgrade commands take: (default extension, filter in the
  // "Text(*.x)|*.x|...||" form), empty when cancelled; here it picks the file to write.
  using FileChooser = UpgradeCommands::FileChooser;

  ListExportCommands(CReportCtrl& list, Prompter& prompter, QWidget* parent, QLabel* status_line);

  void Register(CommandTable& table);
  void SetFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }

  // The cells of every row the filter leaves shown, in list order.
  static std::vector<RecordCells> ShownRows(const CReportCtrl& list);

 private:
  QString Choose(const QString& extension, const QString& filter);
  void Export();

  CReportCtrl& list_;
  Prompter& prompter_;
  QWidget* parent_;
  QLabel* status_line_;
  FileChooser chooser_;
};

}  // namespace vdz
