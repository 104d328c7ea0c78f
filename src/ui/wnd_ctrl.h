// One cell of the video grid: a render surface with its own player port, a label that marks
// the cell as busy, and a selection border.
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

namespace vdz {

class CWndManager;

class CWndCtrl : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kBorderWidth = 2;
  static QColor SelectedBorderColour() { return QColor(255, 0, 0); }
  static QColor NormalBorderColour() { return QColor(236, 233, 216); }

  CWndCtrl(int index, CWndManager& grid, QWidget* parent);
  ~CWndCtrl() override;

  int Index() const { return index_; }
  // The player port of the render surface; 0 when the player library gave none.
  int Port() const { return port_; }
  // The surface the player draws into (the window handed to QM_PLAYER_CreatePlayer).
  QWidget* RenderSurface() const { return surface_; }

  const QString& Label() const { return label_; }
  bool IsFree() const { return label_.isEmpty(); }
  // An empty text frees the cell and blanks it.
  void SetLabel(const QString& text);

  bool IsSelected() const;
  QColor BorderColour() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  int index_;
  CWndManager& grid_;
  QWidget* surface_;
  int port_ = 0;
  QString label_;
};

}  // namespace vdz
