#include "ui/report_ctrl.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QHeaderView>
#include <QLineEdit>
#include <QLocale>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>
#include <memory>

namespace vdz {
namespace {

// Exposes the view's item option so a test can find the check box of a cell.
class TestReportCtrl : public CReportCtrl {
 public:
  QPoint CheckBoxCentre(int row) {
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QModelIndex index = model()->index(row, 0);
    option.rect = visualRect(index);
    option.features |= QStyleOptionViewItem::HasCheckIndicator;
    option.checkState = GetCheck(row) ? Qt::Checked : Qt::Unchecked;
    return style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, this).center();
  }
  QPoint CellCentre(int row, int column) {
    return visualRect(model()->index(row, column)).center();
  }
};

class ReportCtrlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    list_ = std::make_unique<TestReportCtrl>();
    list_->resize(900, 400);
    ASSERT_TRUE(list_->SetColumnHeader("IP,120;SN,130;MAC,130;VERSIONNUMBER,280;STATE,200"));
    list_->show();
  }

  void AddRows(const QStringList& first_column) {
    for (const QString& text : first_column) {
      const int row = list_->InsertItem(list_->GetItemCount(), text);
      ASSERT_GE(row, 0);
    }
  }

  QStringList Column(int column) const {
    QStringList texts;
    for (int row = 0; row < list_->GetItemCount(); ++row) {
      texts << list_->GetItemText(row, column);
    }
    return texts;
  }

  void ClickHeader(int column) {
    QHeaderView* header = list_->horizontalHeader();
    const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(x, header->height() / 2));
  }

  std::unique_ptr<TestReportCtrl> list_;
};

TEST_F(ReportCtrlTest, HeaderTextSetsHeadingsWidthsAndAlignment) {
  AddRows({"a", "b"});
  ASSERT_TRUE(list_->SetColumnHeader("Name,200;Size,80,2"));
  EXPECT_EQ(list_->GetItemCount(), 0);  // every row went with the old columns
  ASSERT_EQ(list_->GetColumnCount(), 2);
  QAbstractItemModel* model = list_->model();
  EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), "Name");
  EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), "Size");
  EXPECT_EQ(list_->horizontalHeader()->sectionSize(0), 200);
  EXPECT_EQ(list_->horizontalHeader()->sectionSize(1), 80);
  const auto align = [&](int column) {
    return model->headerData(column, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>() &
           Qt::AlignHorizontal_Mask;
  };
  EXPECT_EQ(align(0), Qt::AlignLeft);
  EXPECT_EQ(align(1), Qt::AlignRight);
  list_->InsertItem(0, "x");
  EXPECT_EQ(model->index(0, 1).data(Qt::TextAlignmentRole).value<Qt::Alignment>() &
                Qt::AlignHorizontal_Mask,
            Qt::AlignRight);
  EXPECT_FALSE(list_->SetColumnHeader(""));
  EXPECT_EQ(list_->GetColumnCount(), 0);
}

TEST_F(ReportCtrlTest, HeaderClicksSortAscendingThenDescending) {
  list_->SetSortable(true);
  AddRows({"A", "10", "9"});
  QSignalSpy sorted(list_.get(), &CReportCtrl::Sorted);
  ClickHeader(0);
  EXPECT_EQ(Column(0), QStringList({"9", "A", "10"}));
  ClickHeader(0);
  EXPECT_EQ(Column(0), QStringList({"10", "A", "9"}));
  ClickHeader(0);
  EXPECT_EQ(Column(0), QStringList({"9", "A", "10"}));
  ASSERT_EQ(sorted.count(), 3);
  EXPECT_EQ(sorted.at(0), QVariantList({0, true}));
  EXPECT_EQ(sorted.at(1), QVariantList({0, false}));
  EXPECT_EQ(sorted.at(2), QVariantList({0, true}));
  // Another column starts ascending again.
  for (int row = 0; row < 3; ++row) {
    list_->SetItemText(row, 1, QStringList({"2", "1.5", "10%"})[row]);
  }
  ClickHeader(1);
  EXPECT_EQ(Column(1), QStringList({"1.5", "2", "10%"}));
  EXPECT_EQ(list_->GetSortedColumn(), 1);
  EXPECT_TRUE(list_->IsSortAscending());
}

TEST_F(ReportCtrlTest, HeaderClickDoesNothingWhenNotSortable) {
  AddRows({"b", "a"});
  QSignalSpy sorted(list_.get(), &CReportCtrl::Sorted);
  ClickHeader(0);
  EXPECT_EQ(Column(0), QStringList({"b", "a"}));
  EXPECT_EQ(sorted.count(), 0);
  list_->SortItems(7, true);  // outside the header
  EXPECT_EQ(sorted.count(), 0);
  EXPECT_EQ(list_->GetSortedColumn(), -1);
}

TEST_F(ReportCtrlTest, SortsLocaleDateTimes) {
  const QLocale locale = QLocale::system();
  const QDateTime base(QDate(2021, 3, 4), QTime(10, 20));
  // Written in the locale's own short format, whose text order differs from time order.
  const QStringList texts = {locale.toString(base.addDays(40), QLocale::ShortFormat),
                             locale.toString(base, QLocale::ShortFormat),
                             locale.toString(base.addDays(400), QLocale::ShortFormat),
                             locale.toString(base.addSecs(-3600), QLocale::ShortFormat)};
  AddRows(texts);
  list_->SortItems(0, true);
  EXPECT_EQ(Column(0), QStringList({texts[3], texts[1], texts[0], texts[2]}));
  list_->SortItems(0, false);
  EXPECT_EQ(Column(0), QStringList({texts[2], texts[0], texts[1], texts[3]}));
}

TEST_F(ReportCtrlTest, SeparatorRowsStayInPlace) {
  list_->SetSortSeparator(QString("----"));
  AddRows({"c", "a", "----", "z", "b"});
  list_->SortItems(0, true);
  EXPECT_EQ(Column(0), QStringList({"a", "c", "----", "b", "z"}));
}

TEST_F(ReportCtrlTest, ItemDataSelectionAndChecksFollowTheirRowsThroughASort) {
  AddRows({"30", "10", "20"});
  for (int row = 0; row < 3; ++row) {
    list_->SetItemData(row, static_cast<quintptr>(0x1000 + row));
    list_->SetItemText(row, 1, QString("sn%1").arg(row));
  }
  list_->SetCheck(0, true);
  list_->SetItemBkColor(0, -1, 0x0000FF);
  list_->SetItemStates(2, CReportCtrl::kItemSelected | CReportCtrl::kItemFocused);
  list_->SortItems(0, true);  // 10, 20, 30
  EXPECT_EQ(Column(0), QStringList({"10", "20", "30"}));
  EXPECT_EQ(Column(1), QStringList({"sn1", "sn2", "sn0"}));
  EXPECT_EQ(list_->GetItemData(0), 0x1001u);
  EXPECT_EQ(list_->GetItemData(1), 0x1002u);
  EXPECT_EQ(list_->GetItemData(2), 0x1000u);
  EXPECT_EQ(list_->FindItem(0x1000), 2);
  EXPECT_EQ(list_->FindItem(0x9999), -1);
  EXPECT_EQ(list_->GetCheckedItems(), std::vector<int>{2});
  EXPECT_EQ(list_->GetItemBkColor(2, 3), 0x0000FFu);
  EXPECT_EQ(list_->GetFirstSelectedItem(), 1);
  EXPECT_TRUE(list_->ExamItemStates(1, CReportCtrl::kItemFocused | CReportCtrl::kItemSelected));
  EXPECT_FALSE(list_->ExamItemStates(2, CReportCtrl::kItemSelected));
}

TEST_F(ReportCtrlTest, UnchangedTextIsNotWritten) {
  AddRows({"a"});
  QSignalSpy changed(list_->model(), &QAbstractItemModel::dataChanged);
  EXPECT_EQ(list_->SetItemText(0, 2, QString("00:11:22")), 1);
  EXPECT_EQ(changed.count(), 1);
  EXPECT_EQ(list_->SetItemText(0, 2, QString("00:11:22")), 0);
  EXPECT_EQ(changed.count(), 1);
  EXPECT_EQ(list_->SetItemText(0, 3, 42), 1);
  EXPECT_EQ(list_->SetItemText(0, 3, QString("42")), 0);
  EXPECT_EQ(list_->SetItemText(0, 4, 4000000000u), 1);
  EXPECT_EQ(list_->GetItemText(0, 4), "4000000000");
  EXPECT_EQ(list_->SetItemText(0, 4, -7), 1);
  EXPECT_EQ(list_->GetItemText(0, 4), "-7");
  EXPECT_EQ(changed.count(), 4);
  EXPECT_EQ(list_->SetItemText(1, 0, QString("x")), -1);
  EXPECT_EQ(list_->SetItemText(0, 5, QString("x")), -1);
  EXPECT_EQ(list_->GetItemText(0, 9), QString());
}

TEST_F(ReportCtrlTest, ColourRulesWidenOverBadRowsAndColumns) {
  AddRows({"r0", "r1", "r2"});
  const int columns = list_->GetColumnCount();
  struct Case {
    int row;
    int column;
    int expected_cells;  // how many of the 3 × 5 cells take the colour
  } cases[] = {{1, 2, 1}, {1, -1, 5}, {1, 99, 5}, {-1, 2, 3}, {7, 2, 3}, {-1, -1, 15}};
  for (const Case& c : cases) {
    list_->SetItemBkColor(-1, -1, kColorDefault);
    list_->SetItemBkColor(c.row, c.column, 0x00C08040);
    int coloured = 0;
    for (int row = 0; row < 3; ++row) {
      for (int column = 0; column < columns; ++column) {
        const bool expected = (c.row < 0 || c.row >= 3 || c.row == row) &&
                              (c.column < 0 || c.column >= columns || c.column == column);
        const bool has = list_->GetItemBkColor(row, column) == 0x00C08040u;
        EXPECT_EQ(has, expected) << c.row << "," << c.column << " cell " << row << "," << column;
        coloured += has ? 1 : 0;
      }
    }
    EXPECT_EQ(coloured, c.expected_cells);
  }
}

TEST_F(ReportCtrlTest, ColoursAreWindowsValuesAndMinusOneIsTheSystemColour) {
  AddRows({"r0"});
  QAbstractItemModel* model = list_->model();
  list_->SetItemBkColor(0, 0, 0x0000FF);      // red in 0x00BBGGRR
  list_->SetItemTextColor(0, 1, 0x00FF0000);  // blue
  list_->SetItemTextColor(0, 2, 0x00336699);
  EXPECT_EQ(model->index(0, 0).data(Qt::BackgroundRole).value<QBrush>().color(), QColor(255, 0, 0));
  EXPECT_EQ(model->index(0, 1).data(Qt::ForegroundRole).value<QBrush>().color(), QColor(0, 0, 255));
  EXPECT_EQ(model->index(0, 2).data(Qt::ForegroundRole).value<QBrush>().color(),
            QColor(0x99, 0x66, 0x33));
  EXPECT_EQ(list_->GetItemBkColor(0, 0), 0x0000FFu);
  EXPECT_EQ(list_->GetItemTextColor(0, 2), 0x00336699u);
  // -1 hands the cell back to the system colours: the view paints it with the palette.
  list_->SetItemBkColor(0, 0, static_cast<ColorRef>(-1));
  EXPECT_FALSE(model->index(0, 0).data(Qt::BackgroundRole).isValid());
  const QColor window = list_->palette().color(QPalette::Base);
  const ColorRef expected_window = static_cast<ColorRef>(window.red()) |
                                   static_cast<ColorRef>(window.green()) << 8 |
                                   static_cast<ColorRef>(window.blue()) << 16;
  EXPECT_EQ(list_->GetItemBkColor(0, 0), expected_window);
  EXPECT_EQ(list_->GetItemTextColor(5, 0), kColorDefault);
  EXPECT_EQ(list_->GetItemBkColor(0, -1), kColorDefault);
}

TEST_F(ReportCtrlTest, SingleChoiceModeKeepsOneRowChecked) {
  list_->SetCheckBoxMode(CReportCtrl::kCheckSingle);
  AddRows({"a", "b", "c"});
  list_->SetItemStates(1, CReportCtrl::kItemSelected);
  QSignalSpy changed(list_.get(), &CReportCtrl::CheckChanged);
  QTest::mouseClick(list_->viewport(), Qt::LeftButton, Qt::NoModifier, list_->CheckBoxCentre(0));
  EXPECT_EQ(list_->GetCheckedItems(), std::vector<int>{0});
  QTest::mouseClick(list_->viewport(), Qt::LeftButton, Qt::NoModifier, list_->CheckBoxCentre(2));
  EXPECT_EQ(list_->GetCheckedItems(), std::vector<int>{2});
  EXPECT_EQ(list_->GetItems(CReportCtrl::kItemSelected), std::vector<int>{2});
  EXPECT_TRUE(list_->ExamItemStates(2, CReportCtrl::kItemFocused));
  ASSERT_EQ(changed.count(), 2);
  EXPECT_EQ(changed.at(1).at(0).toInt(), 2);
  // Unchecking the only checked row leaves none checked.
  QTest::mouseClick(list_->viewport(), Qt::LeftButton, Qt::NoModifier, list_->CheckBoxCentre(2));
  EXPECT_TRUE(list_->GetCheckedItems().empty());
  EXPECT_EQ(changed.count(), 3);
}

TEST_F(ReportCtrlTest, PlainModeChecksSeveralRows) {
  list_->SetCheckBoxMode(CReportCtrl::kCheckPlain);
  AddRows({"a", "b"});
  QTest::mouseClick(list_->viewport(), Qt::LeftButton, Qt::NoModifier, list_->CheckBoxCentre(0));
  QTest::mouseClick(list_->viewport(), Qt::LeftButton, Qt::NoModifier, list_->CheckBoxCentre(1));
  EXPECT_EQ(list_->GetCheckedItems(), (std::vector<int>{0, 1}));
}

TEST_F(ReportCtrlTest, FixedModeIgnoresClicksButNotTheProgram) {
  list_->SetCheckBoxMode(CReportCtrl::kCheckFixed);
  AddRows({"a", "b"});
  list_->SetCheck(1, true);
  QSignalSpy changed(list_.get(), &CReportCtrl::CheckChanged);
  QTest::mouseClick(list_->viewport(), Qt::LeftButton, Qt::NoModifier, list_->CheckBoxCentre(0));
  QTest::mouseClick(list_->viewport(), Qt::LeftButton, Qt::NoModifier, list_->CheckBoxCentre(1));
  EXPECT_EQ(list_->GetCheckedItems(), std::vector<int>{1});
  EXPECT_EQ(changed.count(), 0);
  EXPECT_TRUE(list_->SetCheck(0, true));
  EXPECT_EQ(list_->GetCheckedItems(), (std::vector<int>{0, 1}));
}

TEST_F(ReportCtrlTest, ItemStatesBulkOperations) {
  list_->SetCheckBoxMode(CReportCtrl::kCheckPlain);
  AddRows({"a", "b", "c", "d"});
  EXPECT_EQ(list_->SetAllItemStates(CReportCtrl::kItemAll, CReportCtrl::kItemChecked), 4);
  list_->SetItemStates(1, CReportCtrl::kItemUnchecked);
  EXPECT_EQ(list_->GetItems(CReportCtrl::kItemUnchecked), std::vector<int>{1});
  EXPECT_EQ(list_->SetAllItemStates(CReportCtrl::kItemChecked, CReportCtrl::kItemSelected), 3);
  EXPECT_EQ(list_->GetItems(CReportCtrl::kItemSelected), (std::vector<int>{0, 2, 3}));
  EXPECT_EQ(list_->GetFirstItem(CReportCtrl::kItemSelected, 0), 2);
  list_->SetItemStates(2, 0x22);
  EXPECT_TRUE(list_->ExamItemStates(2, CReportCtrl::kItemFocused));
  list_->SetItemStates(2, 0x44);
  EXPECT_TRUE(list_->ExamItemStates(2, CReportCtrl::kItemUnselected | CReportCtrl::kItemUnfocused));
  EXPECT_EQ(list_->GetItems(CReportCtrl::kItemSelected | CReportCtrl::kItemChecked),
            (std::vector<int>{0, 3}));
  EXPECT_FALSE(list_->SetItemStates(4, CReportCtrl::kItemSelected));
  EXPECT_FALSE(list_->ExamItemStates(-1, CReportCtrl::kItemAll));
}

TEST_F(ReportCtrlTest, SpaceDoesNotToggleTheCheckBox) {
  list_->SetCheckBoxMode(CReportCtrl::kCheckPlain);
  AddRows({"a"});
  list_->SetItemStates(0, 0x22);
  list_->setFocus();
  QTest::keyClick(list_.get(), Qt::Key_Space);
  EXPECT_FALSE(list_->GetCheck(0));
  // The plain table view would have toggled it.
  QTableView plain;
  plain.setModel(list_->model());
  plain.setCurrentIndex(list_->model()->index(0, 0));
  plain.show();
  QTest::keyClick(&plain, Qt::Key_Space);
  EXPECT_TRUE(list_->GetCheck(0));
}

TEST_F(ReportCtrlTest, ContextMenuNeedsASelectedRowUnderTheCursor) {
  AddRows({"a", "b"});
  QSignalSpy requested(list_.get(), &CReportCtrl::ContextMenuRequested);
  const QPoint on_row = list_->CellCentre(1, 1);
  const QPoint below = QPoint(on_row.x(), list_->viewport()->height() - 2);
  auto right_click = [&](QPoint at) {
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, list_->viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(list_->viewport(), &event);
  };
  right_click(on_row);  // nothing selected
  EXPECT_EQ(requested.count(), 0);
  list_->SetItemStates(0, CReportCtrl::kItemSelected);
  right_click(below);  // no row under the cursor
  EXPECT_EQ(requested.count(), 0);
  // A real right press selects the row first, as the list does.
  list_->SetAllItemStates(CReportCtrl::kItemAll, CReportCtrl::kItemUnselected);
  QTest::mousePress(list_->viewport(), Qt::RightButton, Qt::NoModifier, on_row);
  right_click(on_row);
  ASSERT_EQ(requested.count(), 1);
  EXPECT_EQ(requested.at(0).at(0).toInt(), 1);
}

TEST_F(ReportCtrlTest, InPlaceEditKeys) {
  list_->SetEditable(true);
  AddRows({"a", "b", "c"});
  QSignalSpy edited(list_.get(), &CReportCtrl::CellEdited);
  ASSERT_TRUE(list_->StartEdit(1, 4));
  QLineEdit* editor = list_->Editor();
  EXPECT_TRUE(editor->isVisible());
  EXPECT_EQ(editor->selectedText(), list_->GetItemText(1, 4));
  QTest::keyClicks(editor, "online");
  // Tab: write, then edit the next column; after the last comes column 0.
  QTest::keyClick(editor, Qt::Key_Tab);
  EXPECT_EQ(list_->GetItemText(1, 4), "online");
  EXPECT_EQ(list_->GetEditRow(), 1);
  EXPECT_EQ(list_->GetEditColumn(), 0);
  EXPECT_EQ(editor->text(), "b");
  // Down: the same column one row lower.
  QTest::keyClick(editor, Qt::Key_Down);
  EXPECT_EQ(list_->GetEditRow(), 2);
  EXPECT_EQ(list_->GetEditColumn(), 0);
  // Down on the last row only ends the edit.
  QTest::keyClick(editor, Qt::Key_Down);
  EXPECT_FALSE(list_->IsEditing());
  // Escape drops the typed text.
  list_->StartEdit(0, 2);
  QTest::keyClicks(editor, "zz");
  QTest::keyClick(editor, Qt::Key_Escape);
  EXPECT_FALSE(list_->IsEditing());
  EXPECT_EQ(list_->GetItemText(0, 2), "");
  // Up then Enter.
  list_->StartEdit(1, 2);
  QTest::keyClick(editor, Qt::Key_Up);
  EXPECT_EQ(list_->GetEditRow(), 0);
  QTest::keyClicks(editor, "mac");
  QTest::keyClick(editor, Qt::Key_Return);
  EXPECT_FALSE(list_->IsEditing());
  EXPECT_FALSE(editor->isVisible());
  EXPECT_EQ(list_->GetItemText(0, 2), "mac");
  ASSERT_EQ(edited.count(), 2);
  EXPECT_EQ(edited.at(1), QVariantList({0, 2}));
  // EndEdit tells whether the text differed.
  list_->StartEdit(0, 2);
  EXPECT_EQ(list_->EndEdit(), 0);
  list_->StartEdit(0, 2);
  editor->setText("other");
  EXPECT_EQ(list_->EndEdit(), 1);
  EXPECT_FALSE(list_->StartEdit(0, 5));
}

TEST_F(ReportCtrlTest, ClickOnSelectedRowEditsOnlyTheEditableColumns) {
  list_->SetEditable(true);
  AddRows({"a", "b"});
  list_->SetItemStates(1, 0x22);
  QTest::mouseClick(list_->viewport(), Qt::LeftButton, Qt::NoModifier, list_->CellCentre(1, 3));
  EXPECT_FALSE(list_->IsEditing());
  QTest::mouseClick(list_->viewport(), Qt::LeftButton, Qt::NoModifier, list_->CellCentre(1, 2));
  EXPECT_TRUE(list_->IsEditing());
  EXPECT_EQ(list_->GetEditColumn(), 2);
  // A row that was not selected yet only gets selected.
  list_->EndEdit(false);
  QTest::mouseClick(list_->viewport(), Qt::LeftButton, Qt::NoModifier, list_->CellCentre(0, 4));
  EXPECT_FALSE(list_->IsEditing());
  QTest::mouseClick(list_->viewport(), Qt::LeftButton, Qt::NoModifier, list_->CellCentre(0, 4));
  EXPECT_TRUE(list_->IsEditing());
  EXPECT_EQ(list_->GetEditRow(), 0);
}

TEST_F(ReportCtrlTest, RowsInsertDeleteAndBatchAppend) {
  EXPECT_EQ(list_->InsertItem(0, "first", 7), 0);
  EXPECT_EQ(list_->InsertItem(0, "zeroth"), 0);
  EXPECT_EQ(list_->InsertItem(99, "last"), 2);  // past the end appends
  EXPECT_EQ(list_->InsertItem(-1, "bad"), -1);
  EXPECT_EQ(Column(0), QStringList({"zeroth", "first", "last"}));
  EXPECT_EQ(list_->GetItemData(1), 7u);
  EXPECT_EQ(list_->AppendItems(1000), 3);
  EXPECT_EQ(list_->GetItemCount(), 1003);
  EXPECT_EQ(list_->AppendItems(0), -1);
  EXPECT_TRUE(list_->DeleteItem(0));
  EXPECT_FALSE(list_->DeleteItem(5000));
  EXPECT_EQ(list_->GetItemText(0, 0), "first");
  list_->DeleteAllItems();
  EXPECT_EQ(list_->GetItemCount(), 0);
}

TEST_F(ReportCtrlTest, WritesWhileSuspendedAreAnnouncedOnceOnResume) {
  AddRows({"a", "b", "c", "d"});
  QSignalSpy changed(list_->model(), &QAbstractItemModel::dataChanged);
  list_->SetRedraw(false);
  list_->SetItemText(1, 2, QString("x"));
  list_->SetItemText(3, 0, QString("y"));
  list_->SetItemText(2, 2, QString("c"));  // unchanged cell: still nothing to announce for it
  list_->SetItemBkColor(2, 4, 0x0000FF);
  EXPECT_EQ(changed.count(), 0);
  // A new row announces the writes gathered so far before it is inserted.
  EXPECT_EQ(list_->AppendItems(2), 4);
  ASSERT_EQ(changed.count(), 1);
  list_->SetItemText(5, 1, QString("z"));
  list_->SetRedraw(true);
  ASSERT_EQ(changed.count(), 2);
  const QModelIndex top_left = changed.at(0).at(0).value<QModelIndex>();
  const QModelIndex bottom_right = changed.at(0).at(1).value<QModelIndex>();
  EXPECT_EQ(top_left.row(), 1);
  EXPECT_EQ(top_left.column(), 0);
  EXPECT_EQ(bottom_right.row(), 3);
  EXPECT_EQ(bottom_right.column(), 4);
  const QList<int> roles = changed.at(0).at(2).value<QList<int>>();
  EXPECT_TRUE(roles.contains(Qt::DisplayRole));
  EXPECT_TRUE(roles.contains(Qt::BackgroundRole));
  EXPECT_EQ(changed.at(1).at(0).value<QModelIndex>(), list_->model()->index(5, 1));
  EXPECT_EQ(list_->GetItemText(1, 2), "x");
}

TEST_F(ReportCtrlTest, RedrawSuspensionNests) {
  AddRows({"a"});
  QSignalSpy changed(list_->model(), &QAbstractItemModel::dataChanged);
  list_->SetRedraw(false);
  list_->SetRedraw(false);
  list_->SetItemText(0, 1, QString("x"));
  list_->SetRedraw(true);
  EXPECT_TRUE(list_->IsRedrawSuspended());
  EXPECT_EQ(changed.count(), 0);
  list_->SetRedraw(true);
  EXPECT_FALSE(list_->IsRedrawSuspended());
  EXPECT_EQ(changed.count(), 1);
  list_->SetRedraw(true);  // an unbalanced resume is harmless
  list_->SetItemText(0, 1, QString("y"));
  EXPECT_EQ(changed.count(), 2);
}

// Collects the model tester's complaints instead of letting them scroll by.
QStringList g_model_warnings;
void CollectWarnings(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type != QtDebugMsg && type != QtInfoMsg) {
    g_model_warnings << message;
  }
}

TEST_F(ReportCtrlTest, ModelKeepsQtContractsThroughEveryOperation) {
  g_model_warnings.clear();
  const QtMessageHandler previous = qInstallMessageHandler(CollectWarnings);
  {
    QAbstractItemModelTester tester(list_->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Warning);
    list_->SetCheckBoxMode(CReportCtrl::kCheckPlain);
    AddRows({"9", "A", "10"});
    list_->AppendItems(20);
    for (int row = 0; row < list_->GetItemCount(); ++row) {
      list_->SetItemText(row, 1, QString::number(row * 7 % 5));
    }
    list_->SetItemStates(4, 0x22);
    list_->SetRedraw(false);
    list_->SetItemBkColor(-1, 2, 0x00FF00);
    list_->AppendItems(3);
    list_->SetItemText(24, 3, QString("batched"));
    list_->SetRedraw(true);
    list_->SetItemTextColor(3, -1, 0x0000FF);
    list_->SetCheck(2, true);
    list_->SortItems(1, true);
    list_->SortItems(0, false);
    list_->DeleteItem(5);
    list_->InsertItem(3, "mid");
    list_->DeleteAllItems();
    list_->SetColumnHeader("One,50;Two,60,1");
    list_->InsertItem(0, "x");
  }
  qInstallMessageHandler(previous);
  EXPECT_TRUE(g_model_warnings.isEmpty()) << g_model_warnings.join("\n").toStdString();
}

}  // namespace
}  // namespace vdz
