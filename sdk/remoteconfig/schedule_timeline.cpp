#include "schedule_timeline.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace vdz::remoteconfig {
namespace {
constexpr int kBarHeight = 18;
constexpr int kRowHeight = 24;
constexpr int kScaleHeight = 14;
constexpr int kDayMinutes = 24 * 60;
}  // namespace

ScheduleTimeline::ScheduleTimeline(QWidget* parent) : QWidget(parent) {
  setMinimumHeight(kScaleHeight + kRowHeight);
}

void ScheduleTimeline::SetEntries(std::vector<Entry> entries) {
  entries_ = std::move(entries);
  setMinimumHeight(kScaleHeight +
                   kRowHeight * static_cast<int>(std::max<std::size_t>(1, entries_.size())));
  updateGeometry();
  update();
}

QSize ScheduleTimeline::sizeHint() const {
  return {420, minimumHeight()};
}

int ScheduleTimeline::LabelWidth() const {
  int w = 0;
  for (const Entry& e : entries_)
    w = std::max(w, fontMetrics().horizontalAdvance(e.day));
  return w + 8;
}

QRect ScheduleTimeline::BarRect(int i) const {
  const int left = LabelWidth();
  return {left, kScaleHeight + i * kRowHeight + (kRowHeight - kBarHeight) / 2,
          std::max(10, width() - left - 4), kBarHeight};
}

int ScheduleTimeline::MinutesAt(int x) const {
  const QRect bar = BarRect(0);
  const int minutes = (x - bar.left()) * kDayMinutes / std::max(1, bar.width());
  return std::clamp((minutes + 7) / 15 * 15, 0, kDayMinutes);
}

void ScheduleTimeline::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect first = BarRect(0);
  p.setPen(palette().color(QPalette::WindowText));
  for (int h = 0; h <= 24; h += 6) {
    const int x = first.left() + first.width() * h / 24;
    const QRect place =
        h == 24 ? QRect(x - 24, 0, 24, kScaleHeight) : QRect(x - 12, 0, 24, kScaleHeight);
    p.drawText(place, h == 24 ? Qt::AlignRight | Qt::AlignVCenter : Qt::AlignCenter,
               QString::number(h));
  }
  for (int i = 0; i < static_cast<int>(entries_.size()); ++i) {
    const Entry& e = entries_[i];
    const QRect bar = BarRect(i);
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(QRect(0, bar.top(), bar.left() - 4, bar.height()), Qt::AlignRight | Qt::AlignVCenter,
               e.day);
    p.fillRect(bar, palette().color(QPalette::Base));
    const int start = std::clamp(e.start_minutes(), 0, kDayMinutes);
    const int end = std::clamp(e.end_minutes(), 0, kDayMinutes);
    if (end > start) {
      const int x0 = bar.left() + bar.width() * start / kDayMinutes;
      const int x1 = bar.left() + bar.width() * end / kDayMinutes;
      p.fillRect(QRect(x0, bar.top(), std::max(1, x1 - x0), bar.height()), QColor(60, 140, 220));
    }
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(bar.adjusted(0, 0, -1, -1));
  }
}

void ScheduleTimeline::mousePressEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  for (int i = 0; i < static_cast<int>(entries_.size()); ++i) {
    if (BarRect(i).adjusted(0, -3, 0, 3).contains(pos)) {
      dragging_ = i;
      drag_from_ = MinutesAt(pos.x());
      return;
    }
  }
}

void ScheduleTimeline::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_ < 0)
    return;
  const int at = MinutesAt(event->position().toPoint().x());
  if (at != drag_from_)
    entries_[dragging_].set_span(std::min(at, drag_from_), std::max(at, drag_from_));
  update();
}

void ScheduleTimeline::mouseReleaseEvent(QMouseEvent* event) {
  mouseMoveEvent(event);
  dragging_ = -1;
}

}  // namespace vdz::remoteconfig
