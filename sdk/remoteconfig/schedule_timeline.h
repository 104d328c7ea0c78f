// The detection schedule as a day timeline: one bar per work-day entry, its span painted over
// 0 to 24 hours. Dragging along a bar sets that entry's span (to the quarter hour).
#pragma once

#include <QString>
#include <QTime>
#include <QWidget>
#include <functional>
#include <vector>

namespace vdz::remoteconfig {

class ScheduleTimeline : public QWidget {
  Q_OBJECT

 public:
  struct Entry {
    QString day;  // the entry's day as the page shows it
    std::function<int()> start_minutes;
    std::function<int()> end_minutes;  // 1440 for the end of the day
    std::function<void(int start, int end)> set_span;
  };
  explicit ScheduleTimeline(QWidget* parent);
  void SetEntries(std::vector<Entry> entries);
  // The bar of entry i (tests drag along it).
  QRect BarRect(int i) const;
  int MinutesAt(int x) const;
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  int LabelWidth() const;
  std::vector<Entry> entries_;
  int dragging_ = -1;
  int drag_from_ = 0;
};

}  // namespace vdz::remoteconfig
