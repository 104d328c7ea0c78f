#include "ui/wnd_manager.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <memory>
#include <set>

#include "player/qm_player.h"
#include "ui/wnd_ctrl.h"
#include "ui/wnd_layout.h"

namespace vdz {
namespace {

// Stands in for the main window: records the keys that reach it.
class KeyRecorder : public QWidget {
 public:
  std::vector<int> keys;

 protected:
  void keyPressEvent(QKeyEvent* event) override { keys.push_back(event->key()); }
};

class WndManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    main_ = std::make_unique<KeyRecorder>();
    main_->resize(400, 300);
    grid_ = new CWndManager(main_.get());
    main_->show();
  }

  // Gives the grid a client area of exactly width × height inside its frame.
  void SetClientSize(int width, int height) {
    const int frame = grid_->frameWidth();
    grid_->setGeometry(5, 31, width + 2 * frame, height + 2 * frame);
  }

  std::unique_ptr<KeyRecorder> main_;
  CWndManager* grid_ = nullptr;
};

TEST(WndLayout, RemaindersGoToTheLastColumnAndRow) {
  const std::vector<QRect> cells = ComputeCellRects(QRect(0, 0, 101, 51), 2, 2);
  ASSERT_EQ(cells.size(), 4u);
  EXPECT_EQ(cells[0], QRect(0, 0, 50, 25));
  EXPECT_EQ(cells[1], QRect(50, 0, 51, 25));
  EXPECT_EQ(cells[2], QRect(0, 25, 50, 26));
  EXPECT_EQ(cells[3], QRect(50, 25, 51, 26));
  // An offset client area and a 3 × 4 layout cover the area without gaps.
  const QRect client(7, 3, 203, 98);
  const std::vector<QRect> grid = ComputeCellRects(client, 3, 4);
  ASSERT_EQ(grid.size(), 12u);
  int area = 0;
  for (const QRect& cell : grid) {
    EXPECT_TRUE(client.contains(cell));
    area += cell.width() * cell.height();
  }
  EXPECT_EQ(area, client.width() * client.height());
  EXPECT_EQ(grid[11].right(), client.right());
  EXPECT_EQ(grid[11].bottom(), client.bottom());
  EXPECT_TRUE(ComputeCellRects(client, 0, 4).empty());
}

TEST_F(WndManagerTest, LayoutPlacesCellsAndHidesTheRest) {
  EXPECT_EQ(grid_->Rows(), 2);
  EXPECT_EQ(grid_->Columns(), 2);
  SetClientSize(101, 51);
  ASSERT_TRUE(grid_->SetLayout(2, 2));
  const QPoint origin = grid_->contentsRect().topLeft();
  EXPECT_EQ(grid_->Cell(0)->geometry(), QRect(origin, QSize(50, 25)));
  EXPECT_EQ(grid_->Cell(1)->geometry(), QRect(origin + QPoint(50, 0), QSize(51, 25)));
  EXPECT_EQ(grid_->Cell(2)->geometry(), QRect(origin + QPoint(0, 25), QSize(50, 26)));
  EXPECT_EQ(grid_->Cell(3)->geometry(), QRect(origin + QPoint(50, 25), QSize(51, 26)));
  for (int i = 0; i < CWndManager::kMaxCells; ++i) {
    EXPECT_EQ(grid_->Cell(i)->isVisible(), i < 4) << i;
  }
  // The render surface overlaps its cell by one pixel on every side.
  EXPECT_EQ(grid_->Cell(1)->RenderSurface()->geometry(), QRect(-1, -1, 53, 27));
  // A size change lays the cells out again.
  SetClientSize(200, 100);
  EXPECT_EQ(grid_->Cell(3)->geometry(), QRect(origin + QPoint(100, 50), QSize(100, 50)));
}

TEST_F(WndManagerTest, LayoutsOverSixtyFourCellsAreIgnored) {
  SetClientSize(160, 90);
  struct Case {
    int rows;
    int columns;
    bool accepted;
  } cases[] = {{9, 8, false}, {8, 9, false},  {65, 1, false},
               {0, 4, false}, {3, -2, false}, {100000, 100000, false},
               {8, 8, true},  {1, 64, true},  {1, 1, true}};
  for (const Case& c : cases) {
    ASSERT_TRUE(grid_->SetLayout(3, 3));
    EXPECT_EQ(grid_->SetLayout(c.rows, c.columns), c.accepted) << c.rows << "x" << c.columns;
    const int shown_rows = c.accepted ? c.rows : 3;
    const int shown_columns = c.accepted ? c.columns : 3;
    EXPECT_EQ(grid_->Rows(), shown_rows);
    EXPECT_EQ(grid_->Columns(), shown_columns);
    int visible = 0;
    for (int i = 0; i < CWndManager::kMaxCells; ++i) {
      visible += grid_->Cell(i)->isVisible() ? 1 : 0;
    }
    EXPECT_EQ(visible, shown_rows * shown_columns);
  }
}

TEST_F(WndManagerTest, OneByOneAlwaysUsesCellZero) {
  ASSERT_TRUE(grid_->SetLayout(1, 1));
  EXPECT_EQ(grid_->GetFreeCell(), 0);
  grid_->SetLabel(0, "17");
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(grid_->GetFreeCell(), 0);
  }
  grid_->SetLabel(0, QString());
  EXPECT_TRUE(grid_->Cell(0)->IsFree());
  EXPECT_EQ(grid_->GetFreeCell(), 0);
}

TEST_F(WndManagerTest, FreeCellsInIndexOrderThenInTurn) {
  ASSERT_TRUE(grid_->SetLayout(2, 2));
  grid_->SetLabel(0, "1");
  grid_->SetLabel(2, "3");
  EXPECT_EQ(grid_->GetFreeCell(), 1);
  grid_->SetLabel(1, "2");
  EXPECT_EQ(grid_->GetFreeCell(), 3);
  grid_->SetLabel(3, "4");
  grid_->SetLabel(64, "x");  // outside the grid: ignored
  grid_->SetLabel(-1, "x");
  EXPECT_EQ(grid_->GetLabel(64), QString());
  // All busy: the process-wide counter hands out the shown cells in turn.
  const int first = grid_->GetFreeCell();
  ASSERT_GE(first, 0);
  ASSERT_LT(first, 4);
  for (int i = 1; i < 9; ++i) {
    EXPECT_EQ(grid_->GetFreeCell(), (first + i) % 4);
  }
  // A cell outside the shown ones (index 5 in a 2 × 2 layout) does not count as free.
  grid_->SetLabel(5, "6");
  grid_->SetLabel(2, QString());
  EXPECT_EQ(grid_->GetFreeCell(), 2);
}

TEST_F(WndManagerTest, CounterLeftByALargerLayoutStaysInsideTheShownCells) {
  ASSERT_TRUE(grid_->SetLayout(8, 8));
  for (int i = 0; i < 64; ++i) {
    grid_->SetLabel(i, QString::number(i + 1));
  }
  // Advance the shared counter until it sits beyond what a 2 × 2 layout shows.
  int value = 0;
  for (int i = 0; i < 64 && value < 10; ++i) {
    value = grid_->GetFreeCell();
  }
  ASSERT_GE(value, 10);
  ASSERT_TRUE(grid_->SetLayout(2, 2));
  for (int i = 0; i < 6; ++i) {
    const int cell = grid_->GetFreeCell();
    EXPECT_GE(cell, 0);
    EXPECT_LT(cell, 4);
  }
}

TEST_F(WndManagerTest, EveryCellHasItsOwnPlayerPort) {
  std::set<int> ports;
  for (int i = 0; i < CWndManager::kMaxCells; ++i) {
    const int port = grid_->GetPort(i);
    EXPECT_GE(port, 1);
    EXPECT_EQ(QM_PLAYER_GetPlayerWindow(port), grid_->Cell(i)->RenderSurface());
    ports.insert(port);
  }
  EXPECT_EQ(ports.size(), 64u);
  EXPECT_EQ(grid_->GetPort(-1), 0);
  EXPECT_EQ(grid_->GetPort(64), 0);
  EXPECT_EQ(grid_->Cell(64), nullptr);
  // Destroying the grid gives its ports back.
  delete grid_;
  grid_ = nullptr;
  for (int port : ports) {
    EXPECT_EQ(QM_PLAYER_GetPlayerWindow(port), nullptr);
  }
}

TEST_F(WndManagerTest, SelectionMovesTheHighlightedBorder) {
  QSignalSpy selected(grid_, &CWndManager::CellSelected);
  EXPECT_EQ(grid_->Selected(), 0);
  EXPECT_EQ(grid_->Cell(0)->BorderColour(), QColor(255, 0, 0));
  EXPECT_EQ(grid_->Cell(1)->BorderColour(), QColor(236, 233, 216));
  SetClientSize(200, 100);
  QTest::mouseClick(grid_->Cell(3)->RenderSurface(), Qt::LeftButton, Qt::NoModifier,
                    QPoint(20, 20));
  EXPECT_EQ(grid_->Selected(), 3);
  EXPECT_EQ(grid_->Cell(3)->BorderColour(), QColor(255, 0, 0));
  EXPECT_EQ(grid_->Cell(0)->BorderColour(), QColor(236, 233, 216));
  EXPECT_TRUE(grid_->Cell(3)->RenderSurface()->hasFocus() ||
              QApplication::focusWidget() == grid_->Cell(3)->RenderSurface() ||
              !main_->isActiveWindow());
  grid_->Select(64);  // ignored
  EXPECT_EQ(grid_->Selected(), 3);
  ASSERT_EQ(selected.count(), 1);
  // What is painted: black inside, the border colour along the edge.
  const QImage image = grid_->Cell(3)->grab().toImage();
  EXPECT_EQ(image.pixelColor(0, 0), QColor(255, 0, 0));
  EXPECT_EQ(image.pixelColor(1, image.height() / 2), QColor(255, 0, 0));
  EXPECT_EQ(image.pixelColor(image.width() / 2, image.height() / 2), QColor(Qt::black));
  const QImage other = grid_->Cell(0)->grab().toImage();
  EXPECT_EQ(other.pixelColor(other.width() - 1, 0), QColor(236, 233, 216));
}

TEST_F(WndManagerTest, EnterIsSwallowedAndEscapeReachesTheMainWindow) {
  SetClientSize(200, 100);
  QSignalSpy escape(grid_, &CWndManager::EscapePressed);
  QWidget* surface = grid_->Cell(2)->RenderSurface();
  QTest::keyClick(surface, Qt::Key_Return);
  QTest::keyClick(surface, Qt::Key_Enter);
  QTest::keyClick(grid_, Qt::Key_Return);
  EXPECT_TRUE(main_->keys.empty());
  QTest::keyClick(surface, Qt::Key_Escape);
  EXPECT_EQ(main_->keys, std::vector<int>{Qt::Key_Escape});
  QTest::keyClick(grid_, Qt::Key_Escape);
  EXPECT_EQ(main_->keys, (std::vector<int>{Qt::Key_Escape, Qt::Key_Escape}));
  EXPECT_EQ(escape.count(), 2);
  // Other keys go on to the main window as usual.
  QTest::keyClick(surface, Qt::Key_A);
  EXPECT_EQ(main_->keys.back(), Qt::Key_A);
}

TEST_F(WndManagerTest, FullScreenCoversTheWorkAreaAndComesBack) {
  SetClientSize(300, 200);
  grid_->SetKeyTarget(main_.get());
  ASSERT_TRUE(grid_->SetLayout(1, 1));
  const QRect placed = grid_->geometry();
  grid_->EnterFullScreen();
  EXPECT_TRUE(grid_->IsFullScreen());
  EXPECT_TRUE(grid_->isWindow());
  const QRect work = grid_->screen()->availableGeometry();
  EXPECT_EQ(grid_->geometry(), work);
  EXPECT_EQ(grid_->Cell(0)->geometry(), grid_->contentsRect());
  // Detached, Escape still reaches the main window through the key target.
  QTest::keyClick(grid_->Cell(0)->RenderSurface(), Qt::Key_Escape);
  EXPECT_EQ(main_->keys, std::vector<int>{Qt::Key_Escape});
  grid_->LeaveFullScreen();
  EXPECT_FALSE(grid_->IsFullScreen());
  EXPECT_EQ(grid_->parentWidget(), main_.get());
  EXPECT_EQ(grid_->geometry(), placed);
  EXPECT_TRUE(grid_->isVisible());
  EXPECT_EQ(grid_->Cell(0)->geometry(), grid_->contentsRect());
}

TEST_F(WndManagerTest, ClearingALabelFreesTheCell) {
  grid_->SetLabel(1, "4242");
  EXPECT_EQ(grid_->GetLabel(1), "4242");
  EXPECT_FALSE(grid_->Cell(1)->IsFree());
  grid_->SetLabel(1, QString());
  EXPECT_TRUE(grid_->Cell(1)->IsFree());
  EXPECT_EQ(grid_->GetLabel(1), QString());
}

}  // namespace
}  // namespace vdz
