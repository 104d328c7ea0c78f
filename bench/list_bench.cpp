// The device list under the window's refresh load: 1,000 new rows of seven cells in one tick,
// then a tick that rewrites every cell with only a few real changes, then a sort by the address
// column. The reference is a bare QTableWidget doing the same insert, measured in the same run.
#include <QApplication>
#include <QTableWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

#include "ui/report_ctrl.h"

namespace {

constexpr int kRows = 1000;
constexpr int kColumns = 7;
constexpr int kRepeats = 15;
using Clock = std::chrono::steady_clock;

QString CellText(int row, int column, int generation) {
  switch (column) {
    case 0:
      return QString("192.168.%1.%2").arg(row / 250).arg(row % 250 + 1);
    case 2:
      return QString("00:1A:2B:%1:%2:%3")
          .arg(row / 65536, 2, 16, QChar('0'))
          .arg(row / 256 % 256, 2, 16, QChar('0'))
          .arg(row % 256, 2, 16, QChar('0'));
    case 5:
      return QString("%1 MIN%2 SEC").arg(generation / 60).arg(generation % 60);
    default:
      return QString("cell %1/%2").arg(row).arg(column);
  }
}

// Median milliseconds of fn over kRepeats runs; setup runs untimed before each.
double MedianMs(const std::function<void()>& setup, const std::function<void()>& fn) {
  std::vector<double> times;
  for (int i = 0; i < kRepeats; ++i) {
    setup();
    const auto start = Clock::now();
    fn();
    times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);

  // Precomputed so both sides measure the widget, not the text formatting.
  std::vector<QString> texts;
  for (int row = 0; row < kRows; ++row) {
    for (int column = 0; column < kColumns; ++column) {
      texts.push_back(CellText(row, column, 1));
    }
  }
  const auto text = [&](int row, int column) {
    return texts[static_cast<std::size_t>(row * kColumns + column)];
  };

  QTableWidget reference;
  reference.resize(1000, 600);
  reference.show();
  const double reference_ms = MedianMs(
      [&] {
        reference.clear();
        reference.setRowCount(0);
      },
      [&] {
        reference.setUpdatesEnabled(false);
        reference.setColumnCount(kColumns);
        reference.setRowCount(kRows);
        for (int row = 0; row < kRows; ++row) {
          for (int column = 0; column < kColumns; ++column) {
            reference.setItem(row, column, new QTableWidgetItem(text(row, column)));
          }
        }
        reference.setUpdatesEnabled(true);
        QApplication::processEvents();
      });

  vdz::CReportCtrl list;
  list.resize(1000, 600);
  list.SetColumnHeader(
      "IP,120;SN,130;MAC,130;VERSIONNUMBER,280;STATE,200;RUNNINGTIME,100;MODEL,100");
  list.SetCheckBoxMode(vdz::CReportCtrl::kCheckPlain);
  list.show();
  const auto fill = [&] {
    list.SetRedraw(false);
    const int first = list.AppendItems(kRows);
    for (int row = 0; row < kRows; ++row) {
      for (int column = 0; column < kColumns; ++column) {
        list.SetItemText(first + row, column, text(row, column));
      }
      list.SetItemData(first + row, static_cast<quintptr>(row + 1));
    }
    list.SetRedraw(true);
    QApplication::processEvents();
  };
  const double insert_ms = MedianMs([&] { list.DeleteAllItems(); }, fill);

  // One refresh tick: every cell written again, the running time of 1 row in 10 changed.
  int generation = 1;
  const double refresh_ms =
      MedianMs([&] { ++generation; },
               [&] {
                 list.SetRedraw(false);
                 for (int row = 0; row < kRows; ++row) {
                   for (int column = 0; column < kColumns; ++column) {
                     list.SetItemText(row, column,
                                      column == 5 && row % 10 == 0 ? CellText(row, 5, generation)
                                                                   : text(row, column));
                   }
                 }
                 list.SetRedraw(true);
                 QApplication::processEvents();
               });

  bool ascending = true;
  const double sort_ms = MedianMs([&] { ascending = !ascending; },
                                  [&] {
                                    list.SortItems(0, ascending);
                                    QApplication::processEvents();
                                  });

  std::printf("list_bench: %d rows x %d columns, median of %d runs\n", kRows, kColumns, kRepeats);
  std::printf("  reference QTableWidget insert   %8.2f ms\n", reference_ms);
  std::printf("  CReportCtrl insert              %8.2f ms  ratio %.2f\n", insert_ms,
              insert_ms / reference_ms);
  std::printf("  CReportCtrl refresh tick        %8.2f ms  ratio %.2f\n", refresh_ms,
              refresh_ms / reference_ms);
  std::printf("  CReportCtrl sort by address     %8.2f ms  ratio %.2f\n", sort_ms,
              sort_ms / reference_ms);
  return 0;
}
