// The motion detection grid drawn over a still of the camera. A press on a block starts a
// rectangle; every block the rectangle covers when the mouse is released takes the opposite
// of the pressed block's state, so one drag switches an area on or off.
#pragma once

#include <QImage>
#include <QPoint>
#include <QWidget>
#include <string>

namespace vdz::remoteconfig {

class MotionGridWidget : public QWidget {
  Q_OBJECT

 public:
  explicit MotionGridWidget(QWidget* parent);

  // blocks: one '0'/'1' per block, row by row; a string of another length switches all on.
  void SetGrid(int columns, int rows, const std::string& blocks);
  const std::string& blocks() const { return blocks_; }
  int columns() const { return columns_; }
  int rows() const { return rows_; }
  void SetPicture(const QImage& picture);
  bool has_picture() const { return !picture_.isNull(); }
  // The rectangle of a block in widget coordinates (tests drag from block to block).
  QRect BlockRect(int column, int row) const;
  QSize sizeHint() const override { return {352, 288}; }

 Q_SIGNALS:
  void BlocksChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QRect Area() const;
  QPoint BlockAt(const QPoint& pos) const;
  bool Covered(int column, int row) const;

  int columns_ = 0;
  int rows_ = 0;
  std::string blocks_;
  QImage picture_;
  bool dragging_ = false;
  char target_ = '1';
  QPoint from_;
  QPoint to_;
};

}  // namespace vdz::remoteconfig
