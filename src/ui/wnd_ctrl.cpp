#include "ui/wnd_ctrl.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "player/qm_player.h"
#include "ui/wnd_manager.h"

namespace vdz {

CWndCtrl::CWndCtrl(int index, CWndManager& grid, QWidget* parent)
    : QWidget(parent), index_(index), grid_(grid), surface_(new QWidget(this)) {
  // The surface paints nothing of its own until the player draws into it, so the cell's
  // black background and its border show through an idle cell.
  surface_->setFocusPolicy(Qt::ClickFocus);
  surface_->setGeometry(-1, -1, width() + 2, height() + 2);
  const int port = QM_PLAYER_CreatePlayer(surface_);
  port_ = port < 1 ? 0 : port;
}

CWndCtrl::~CWndCtrl() {
  // After QM_PLAYER_ReleaseAll the number may belong to another window by now.
  if (port_ > 0 && QM_PLAYER_GetPlayerWindow(port_) == surface_) {
    QM_PLAYER_ReleasePlayer(port_);
  }
}

void CWndCtrl::SetLabel(const QString& text) {
  label_ = text;
  if (text.isEmpty()) {
    surface_->update();
    update();
  }
}

bool CWndCtrl::IsSelected() const {
  return grid_.Selected() == index_;
}

QColor CWndCtrl::BorderColour() const {
  return IsSelected() ? SelectedBorderColour() : NormalBorderColour();
}

void CWndCtrl::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  const QRect area = rect();
  painter.fillRect(area, Qt::black);
  const QColor border = BorderColour();
  const int w = area.width();
  const int h = area.height();
  painter.fillRect(0, 0, w, kBorderWidth, border);
  painter.fillRect(0, h - kBorderWidth, w, kBorderWidth, border);
  painter.fillRect(0, 0, kBorderWidth, h, border);
  painter.fillRect(w - kBorderWidth, 0, kBorderWidth, h, border);
}

void CWndCtrl::resizeEvent(QResizeEvent* event) {
  surface_->setGeometry(-1, -1, width() + 2, height() + 2);
  QWidget::resizeEvent(event);
}

void CWndCtrl::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    grid_.Select(index_);
    surface_->setFocus(Qt::MouseFocusReason);
  }
  // Left unaccepted so the main window still sees presses for pan/tilt steering.
  event->ignore();
}

void CWndCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
  grid_.NotifyDoubleClick(index_);
  event->accept();
}

void CWndCtrl::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();
    return;
  }
  // Escape and everything else go on to the grid.
  event->ignore();
}

}  // namespace vdz
