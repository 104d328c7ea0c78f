#include "ui/wnd_manager.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

#include "ui/wnd_ctrl.h"
#include "ui/wnd_layout.h"

namespace vdz {
namespace {

// Shared by every grid of the process: the preview reuses busy cells in turn.
int g_free_cell_counter = 0;

}  // namespace

CWndManager::CWndManager(QWidget* parent) : QFrame(parent) {
  setFrameStyle(QFrame::Box | QFrame::Plain);
  setFocusPolicy(Qt::ClickFocus);
  for (int i = 0; i < kMaxCells; ++i) {
    cells_[static_cast<std::size_t>(i)] = new CWndCtrl(i, *this, this);
    cells_[static_cast<std::size_t>(i)]->hide();
  }
  LayoutCells();
}

CWndManager::~CWndManager() = default;

CWndCtrl* CWndManager::Cell(int index) const {
  if (index < 0 || index >= kMaxCells) {
    return nullptr;
  }
  return cells_[static_cast<std::size_t>(index)];
}

bool CWndManager::SetLayout(int rows, int columns) {
  // A zero or negative count would divide by zero in the layout.
  if (rows < 1 || columns < 1 || rows > kMaxCells || columns > kMaxCells ||
      rows * columns > kMaxCells) {
    return false;
  }
  rows_ = rows;
  columns_ = columns;
  LayoutCells();
  return true;
}

void CWndManager::LayoutCells() {
  const std::vector<QRect> rects = ComputeCellRects(contentsRect(), rows_, columns_);
  for (int i = 0; i < kMaxCells; ++i) {
    CWndCtrl* cell = cells_[static_cast<std::size_t>(i)];
    if (static_cast<std::size_t>(i) < rects.size()) {
      cell->setGeometry(rects[static_cast<std::size_t>(i)]);
      cell->show();
    } else {
      cell->hide();
    }
  }
}

int CWndManager::GetPort(int index) const {
  const CWndCtrl* cell = Cell(index);
  return cell != nullptr ? cell->Port() : 0;
}

int CWndManager::GetFreeCell() {
  const int shown = rows_ * columns_;
  for (int i = 0; i < shown; ++i) {
    if (cells_[static_cast<std::size_t>(i)]->IsFree()) {
      return i;
    }
  }
  // The counter may still hold a value of a larger layout; reduce it so the cell handed out
  // is always one that is shown.
  const int cell = g_free_cell_counter % shown;
  g_free_cell_counter = (cell + 1) % shown;
  return cell;
}

void CWndManager::SetLabel(int index, const QString& text) {
  if (CWndCtrl* cell = Cell(index)) {
    cell->SetLabel(text);
  }
}

QString CWndManager::GetLabel(int index) const {
  const CWndCtrl* cell = Cell(index);
  return cell != nullptr ? cell->Label() : QString();
}

void CWndManager::Select(int index) {
  if (index < 0 || index >= kMaxCells) {
    return;
  }
  const int old = selected_;
  selected_ = index;
  cells_[static_cast<std::size_t>(old)]->update();
  cells_[static_cast<std::size_t>(index)]->update();
  Q_EMIT CellSelected(index);
}

void CWndManager::EnterFullScreen() {
  if (full_screen_) {
    return;
  }
  saved_geometry_ = geometry();
  if (parentWidget() != nullptr) {
    detached_from_ = parentWidget();
    setParent(nullptr, Qt::Window | Qt::FramelessWindowHint);
  }
  QScreen* target = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
  // The work area leaves the desktop's reserved strips (the task bar) uncovered.
  const QRect area = target != nullptr ? target->availableGeometry() : saved_geometry_;
  full_screen_ = true;
  setGeometry(area);
  showNormal();
  LayoutCells();
}

void CWndManager::LeaveFullScreen() {
  if (!full_screen_) {
    return;
  }
  full_screen_ = false;
  if (detached_from_ != nullptr) {
    setParent(detached_from_, Qt::Widget);
    detached_from_ = nullptr;
  }
  setGeometry(saved_geometry_);
  show();
  LayoutCells();
}

void CWndManager::NotifyDoubleClick(int index) {
  Q_EMIT CellDoubleClicked(index);
}

void CWndManager::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  LayoutCells();
}

void CWndManager::ForwardEscape() {
  Q_EMIT EscapePressed();
  QWidget* target = key_target_;
  if (target == nullptr && !isWindow()) {
    target = window();
  }
  if (target != nullptr && target != this) {
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &escape);
  }
}

void CWndManager::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      event->accept();
      return;
    case Qt::Key_Escape:
      event->accept();
      ForwardEscape();
      return;
    default:
      QFrame::keyPressEvent(event);
  }
}

}  // namespace vdz
