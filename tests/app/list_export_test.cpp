// The window's list export: what the filter shows, every cell, read back from the written
// CSV or JSON file under the command line's column names.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QTemporaryDir>
#include <memory>

#include "app/command_ids.h"
#include "app/device_list_presenter.h"
#include "app/list_export_commands.h"
#include "app/main_window.h"
#include "app/offline_window_options.h"
#include "discovery/readdress_fakes.h"
#include "support/recording_prompter.h"
#include "ui/report_ctrl.h"

namespace vdz {
namespace {

using Table = std::vector<std::vector<QString>>;

const QStringList kKeys = {"ip", "name", "mac", "version", "status", "running_time", "model"};

// RFC 4180 reading: quoted fields may hold commas, doubled quotes and line breaks.
Table ParseCsv(const QString& text) {
  Table rows(1);
  QString field;
  bool quoted = false;
  for (int i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (quoted && c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
      field += c;
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && (c == ',' || c == '\n')) {
      rows.back().push_back(field);
      field.clear();
      if (c == '\n')
        rows.emplace_back();
    } else {
      field += c;
    }
  }
  rows.pop_back();  // after the last line break
  return rows;
}

Table ParseJson(const QByteArray& bytes) {
  Table rows{{kKeys.begin(), kKeys.end()}};
  for (const QJsonValue& v : QJsonDocument::fromJson(bytes).array()) {
    const QJsonObject o = v.toObject();
    EXPECT_EQ(o.keys().size(), kKeys.size());
    auto& row = rows.emplace_back();
    for (const QString& key : kKeys)
      row.push_back(o.value(key).toString(QStringLiteral("<missing>")));
  }
  return rows;
}

QString Cell(int row, int column) {
  static const char* kTricky[] = {
      "门口机, \"东\" 1号", "a,b", "say \"hi\"", "line\nbreak", "tab\tback\\slash", "在线", ""};
  if (column == 0)
    return QStringLiteral("10.%1.%2.1").arg(row / 250).arg(row % 250);
  return QString::fromUtf8(kTricky[(row + column) % 7]) + QString::number(row * 7 + column);
}

TEST(ListExport, ShownRowsRoundTripThroughTheFile) {
  test::RecordingPrompter prompter;
  CQmDadIvidudEvuzDlg window(test::OfflineWindowOptions(prompter));
  CReportCtrl& list = *window.DeviceList();
  ASSERT_TRUE(list.SetColumnHeader(DeviceListPresenter::ColumnHeaderText()));
  ASSERT_EQ(list.AppendItems(1000), 0);
  for (int r = 0; r < 1000; ++r) {
    for (int c = 0; c < 7; ++c)
      list.SetItemText(r, c, Cell(r, c));
  }
  QTemporaryDir dir;
  QString chosen;
  window.ListExport().SetFileChooser([&](const QString&, const QString&) { return chosen; });

  struct Case {
    const char* file;
    const char* filter;  // typed into the filter box
  };
  const Case cases[] = {{"all.csv", ""}, {"all.JSON", ""}, {"some.csv", "10.1."}};
  for (const Case& c : cases) {
    window.FilterBox()->setText(QString::fromUtf8(c.filter));
    chosen = dir.filePath(QString::fromUtf8(c.file));
    ASSERT_TRUE(window.RunCommand(cmd::kExportList));
    QFile file(chosen);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << c.file;
    const QByteArray bytes = file.readAll();
    const Table read = chosen.endsWith(QStringLiteral(".csv")) ? ParseCsv(QString::fromUtf8(bytes))
                                                               : ParseJson(bytes);
    Table expected{{kKeys.begin(), kKeys.end()}};
    for (int r = 0; r < 1000; ++r) {
      if (!Cell(r, 0).contains(QString::fromUtf8(c.filter)))
        continue;
      auto& row = expected.emplace_back();
      for (int col = 0; col < 7; ++col)
        row.push_back(Cell(r, col));
    }
    ASSERT_EQ(read.size(), expected.size()) << c.file;
    for (std::size_t r = 0; r < read.size(); ++r)
      ASSERT_EQ(read[r], expected[r]) << c.file << " line " << r;
  }
  EXPECT_TRUE(prompter.boxes.empty());
  // A file that cannot be written is reported, not taken for done.
  chosen = dir.filePath(QStringLiteral("no-such-folder/list.csv"));
  ASSERT_TRUE(window.RunCommand(cmd::kExportList));
  ASSERT_EQ(prompter.boxes.size(), 1u);
  EXPECT_EQ(prompter.boxes[0].kind, "ERROR");
}

}  // namespace
}  // namespace vdz
