// The video area: a grid of up to 64 cells laid out in rows and columns, which tells the
// preview which cell is free and which player port a cell has, and can cover the screen.
#pragma once

#include <QFrame>
#include <QPointer>
#include <QRect>
#include <array>

namespace vdz {

class CWndCtrl;

class CWndManager : public QFrame {
  Q_OBJECT

 public:
  static constexpr int kMaxCells = 64;

  explicit CWndManager(QWidget* parent = nullptr);
  ~CWndManager() override;

  // Ignored (false) when rows × columns exceeds 64 or either is below 1.
  bool SetLayout(int rows, int columns);
  int Rows() const { return rows_; }
  int Columns() const { return columns_; }

  // The cell's player port; 0 for an index outside 0..63 or a cell without a player.
  int GetPort(int index) const;
  // The first unlabelled cell among those shown; when all are busy, the next one in turn
  // from a process-wide counter.
  int GetFreeCell();
  // Index outside 0..63 ignored; an empty text frees the cell and blanks it.
  void SetLabel(int index, const QString& text);
  QString GetLabel(int index) const;

  // Moves the highlighted border; an index outside 0..63 is ignored.
  void Select(int index);
  int Selected() const { return selected_; }

  // Covers the screen's work area as a frameless top-level window; detaches itself from its
  // parent when the owner has not done so, and re-attaches on leaving.
  void EnterFullScreen();
  void LeaveFullScreen();
  bool IsFullScreen() const { return full_screen_; }

  // Null outside 0..63.
  CWndCtrl* Cell(int index) const;

  // Where Escape goes as a key press. Without one it goes to the window the grid sits in.
  void SetKeyTarget(QWidget* target) { key_target_ = target; }

  // Called by a cell.
  void NotifyDoubleClick(int index);

 Q_SIGNALS:
  void EscapePressed();
  void CellDoubleClicked(int index);
  void CellSelected(int index);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void LayoutCells();
  void ForwardEscape();

  std::array<CWndCtrl*, kMaxCells> cells_{};
  int rows_ = 2;
  int columns_ = 2;
  int selected_ = 0;
  bool full_screen_ = false;
  QRect saved_geometry_;
  QPointer<QWidget> detached_from_;
  QPointer<QWidget> key_target_;
};

}  // namespace vdz
