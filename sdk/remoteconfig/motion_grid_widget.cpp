#include "motion_grid_widget.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace vdz::remoteconfig {

MotionGridWidget::MotionGridWidget(QWidget* parent) : QWidget(parent) {
  setMinimumSize(220, 180);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void MotionGridWidget::SetGrid(int columns, int rows, const std::string& blocks) {
  columns_ = std::max(columns, 0);
  rows_ = std::max(rows, 0);
  const auto count = static_cast<std::size_t>(columns_ * rows_);
  blocks_ = blocks.size() == count && blocks.find_first_not_of("01") == std::string::npos
                ? blocks
                : std::string(count, '1');
  update();
}

void MotionGridWidget::SetPicture(const QImage& picture) {
  picture_ = picture;
  update();
}

QRect MotionGridWidget::Area() const {
  // The grid keeps the picture's 16:9 (or its own) shape inside the widget.
  const double aspect =
      picture_.isNull() ? 16.0 / 9.0
                        : static_cast<double>(picture_.width()) / std::max(1, picture_.height());
  int w = width() - 2;
  int h = static_cast<int>(w / aspect);
  if (h > height() - 2) {
    h = height() - 2;
    w = static_cast<int>(h * aspect);
  }
  return {(width() - w) / 2, (height() - h) / 2, w, h};
}

QRect MotionGridWidget::BlockRect(int column, int row) const {
  const QRect a = Area();
  if (columns_ == 0 || rows_ == 0)
    return {};
  const int x0 = a.left() + a.width() * column / columns_;
  const int x1 = a.left() + a.width() * (column + 1) / columns_;
  const int y0 = a.top() + a.height() * row / rows_;
  const int y1 = a.top() + a.height() * (row + 1) / rows_;
  return {x0, y0, x1 - x0, y1 - y0};
}

QPoint MotionGridWidget::BlockAt(const QPoint& pos) const {
  const QRect a = Area();
  const int c = (pos.x() - a.left()) * columns_ / std::max(1, a.width());
  const int r = (pos.y() - a.top()) * rows_ / std::max(1, a.height());
  return {std::clamp(c, 0, std::max(0, columns_ - 1)), std::clamp(r, 0, std::max(0, rows_ - 1))};
}

bool MotionGridWidget::Covered(int column, int row) const {
  return dragging_ && column >= std::min(from_.x(), to_.x()) &&
         column <= std::max(from_.x(), to_.x()) && row >= std::min(from_.y(), to_.y()) &&
         row <= std::max(from_.y(), to_.y());
}

void MotionGridWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect a = Area();
  if (picture_.isNull())
    p.fillRect(a, QColor(40, 40, 40));
  else
    p.drawImage(a, picture_);
  for (int r = 0; r < rows_; ++r) {
    for (int c = 0; c < columns_; ++c) {
      const QRect b = BlockRect(c, r);
      const bool on = Covered(c, r) ? target_ == '1' : blocks_[r * columns_ + c] == '1';
      if (on)
        p.fillRect(b, QColor(255, 40, 40, Covered(c, r) ? 120 : 80));
      p.setPen(QColor(255, 255, 255, 140));
      p.drawRect(b.adjusted(0, 0, -1, -1));
    }
  }
}

void MotionGridWidget::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || columns_ == 0 || rows_ == 0 ||
      !Area().contains(event->position().toPoint()))
    return;
  from_ = to_ = BlockAt(event->position().toPoint());
  target_ = blocks_[from_.y() * columns_ + from_.x()] == '1' ? '0' : '1';
  dragging_ = true;
  update();
}

void MotionGridWidget::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_)
    return;
  to_ = BlockAt(event->position().toPoint());
  update();
}

void MotionGridWidget::mouseReleaseEvent(QMouseEvent* event) {
  if (!dragging_ || event->button() != Qt::LeftButton)
    return;
  to_ = BlockAt(event->position().toPoint());
  for (int r = 0; r < rows_; ++r)
    for (int c = 0; c < columns_; ++c)
      if (Covered(c, r))
        blocks_[r * columns_ + c] = target_;
  dragging_ = false;
  update();
  Q_EMIT BlocksChanged();
}

}  // namespace vdz::remoteconfig
