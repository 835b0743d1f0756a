#include "app/draw_grid.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <map>
#include <set>
#include <utility>
#include <vector>

namespace vantoro {
namespace {

// One run of the select-cell handler: the cell it was given and the
// grid's current cell at that moment.
struct SelectCall {
    int column, row, currentColumn, currentRow;
    bool operator==(const SelectCall&) const = default;
};

class DrawGridTest : public ::testing::Test {
protected:
    void SetUp() override {
        grid = std::make_unique<DrawGrid>();
        grid->resize(411, 300);
        grid->setRowCount(20);
        grid->show();
        grid->setSelectCellHandler([this](int column, int row) {
            calls.push_back({column, row, grid->currentColumn(), grid->currentRow()});
        });
    }

    void click(int column, int row, QEvent::Type type = QEvent::MouseButtonPress) {
        const QPointF at = grid->cellRect(column, row).center();
        QMouseEvent press(type, at, grid->viewport()->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(grid->viewport(), &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, grid->viewport()->mapToGlobal(at),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(grid->viewport(), &release);
    }

    void key(int code, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QKeyEvent event(QEvent::KeyPress, code, modifiers);
        QCoreApplication::sendEvent(grid.get(), &event);
    }

    std::pair<int, int> current() const { return {grid->currentColumn(), grid->currentRow()}; }

    std::unique_ptr<DrawGrid> grid;
    std::vector<SelectCall> calls;
};

TEST_F(DrawGridTest, EveryClickSelectsBeforeTheCellMovesEvenOnTheCurrentCell) {
    click(0, 0);
    click(3, 2);
    click(3, 2, QEvent::MouseButtonDblClick);
    EXPECT_EQ(calls, (std::vector<SelectCall>{{0, 0, 0, 0}, {3, 2, 0, 0}, {3, 2, 3, 2}}));
    EXPECT_EQ(current(), std::make_pair(3, 2));
    // Below the last row there is no cell to click.
    grid->setRowCount(1);
    calls.clear();
    const QPointF below = grid->cellRect(0, 2).center();
    QMouseEvent press(QEvent::MouseButtonPress, below, grid->viewport()->mapToGlobal(below),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(grid->viewport(), &press);
    EXPECT_TRUE(calls.empty());
}

TEST_F(DrawGridTest, SettersRunOnlyOnChangeRowFirstThenColumn) {
    grid->setCurrentRow(0);
    grid->setCurrentColumn(0);
    grid->setCurrentRow(20);  // outside the grid
    grid->setCurrentColumn(6);
    EXPECT_TRUE(calls.empty());
    // What SelectImage does to reach index 15 (row 2, column 3).
    grid->setCurrentRow(2);
    grid->setCurrentColumn(3);
    EXPECT_EQ(calls, (std::vector<SelectCall>{{0, 2, 0, 0}, {3, 2, 0, 2}}));
    grid->setCurrentColumn(3);
    EXPECT_EQ(calls.size(), 2u);
}

TEST_F(DrawGridTest, SmallerRowCountMovesTheCurrentCellUpToTheLastRow) {
    grid->setCurrentRow(9);
    grid->setCurrentColumn(4);
    calls.clear();
    int rowsDuringCall = 0;
    grid->setSelectCellHandler([&](int column, int row) {
        calls.push_back({column, row, grid->currentColumn(), grid->currentRow()});
        rowsDuringCall = grid->rowCount();
    });
    grid->setRowCount(12);  // the current row still exists
    grid->setRowCount(3);
    EXPECT_EQ(calls, (std::vector<SelectCall>{{4, 2, 4, 9}}));
    EXPECT_EQ(rowsDuringCall, 3);
    EXPECT_EQ(current(), std::make_pair(4, 2));
    grid->setRowCount(0);  // one row at least
    EXPECT_EQ(grid->rowCount(), 1);
    EXPECT_EQ(current(), std::make_pair(4, 0));
    grid->setRowCount(30);
    EXPECT_EQ(calls.size(), 2u);
}

TEST_F(DrawGridTest, KeyboardMovesSelectOnlyWhenTheCellChanges) {
    key(Qt::Key_Up);
    key(Qt::Key_Left);
    key(Qt::Key_Home);
    EXPECT_TRUE(calls.empty());  // already at the edge
    key(Qt::Key_Down);
    key(Qt::Key_Right);
    key(Qt::Key_End);
    EXPECT_EQ(calls, (std::vector<SelectCall>{{0, 1, 0, 0}, {1, 1, 0, 1}, {5, 1, 1, 1}}));
    key(Qt::Key_Right);
    EXPECT_EQ(calls.size(), 3u);
    key(Qt::Key_PageDown);
    EXPECT_EQ(current(), std::make_pair(5, 1 + grid->visibleRowCount()));
    key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(current(), std::make_pair(5, 19));
    key(Qt::Key_PageDown);
    key(Qt::Key_Home);
    EXPECT_EQ(current(), std::make_pair(0, 19));
    key(Qt::Key_PageUp);
    EXPECT_EQ(current(), std::make_pair(0, 19 - grid->visibleRowCount()));
    key(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(current(), std::make_pair(0, 0));
    EXPECT_EQ(calls.size(), 8u);
}

TEST_F(DrawGridTest, HighlightedRectangleGrowsWithoutSelecting) {
    click(1, 1);
    calls.clear();
    key(Qt::Key_Right, Qt::ShiftModifier);
    key(Qt::Key_Down, Qt::ShiftModifier);
    key(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(grid->selection(), QRect(QPoint(1, 1), QPoint(2, 3)));
    EXPECT_EQ(current(), std::make_pair(1, 1));
    key(Qt::Key_Left);  // a plain move collapses it onto the new current cell
    EXPECT_EQ(grid->selection(), QRect(0, 1, 1, 1));

    // Dragging from (0, 0) to (2, 1) selects once, at the press.
    calls.clear();
    const QPointF from = grid->cellRect(0, 0).center();
    const QPointF to = grid->cellRect(2, 1).center();
    QMouseEvent press(QEvent::MouseButtonPress, from, grid->viewport()->mapToGlobal(from),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QMouseEvent move(QEvent::MouseMove, to, grid->viewport()->mapToGlobal(to), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(grid->viewport(), &press);
    QCoreApplication::sendEvent(grid->viewport(), &move);
    EXPECT_EQ(calls.size(), 1u);
    EXPECT_EQ(grid->selection(), QRect(QPoint(0, 0), QPoint(2, 1)));
}

TEST_F(DrawGridTest, CurrentCellIsScrolledIntoViewAndOnlyVisibleRowsPaint) {
    const int visible = grid->visibleRowCount();
    ASSERT_GE(visible, 2);
    ASSERT_LT(visible, 20);
    grid->setCurrentRow(15);
    EXPECT_EQ(grid->topRow(), 15 - visible + 1);  // just enough to show it whole
    EXPECT_TRUE(grid->viewport()->rect().contains(grid->cellRect(0, 15)));
    grid->setCurrentRow(2);
    EXPECT_EQ(grid->topRow(), 2);
    key(Qt::Key_Up);
    EXPECT_EQ(grid->topRow(), 1);

    std::set<int> paintedRows;
    std::set<std::pair<int, int>> selectedCells;
    grid->setDrawCellHandler([&](int column, int row, const QRect& rect, bool selected, QPainter&) {
        paintedRows.insert(row);
        if (selected) selectedCells.insert({column, row});
        EXPECT_EQ(rect, grid->cellRect(column, row));
    });
    grid->viewport()->grab();
    ASSERT_FALSE(paintedRows.empty());
    EXPECT_EQ(*paintedRows.begin(), 1);
    EXPECT_LE(*paintedRows.rbegin(), 1 + visible);
    EXPECT_EQ(selectedCells, (std::set<std::pair<int, int>>{{0, 1}}));
    // Scrolling away from the current cell does not select anything.
    grid->verticalScrollBar()->setValue(10);
    EXPECT_EQ(grid->topRow(), 10);
    EXPECT_EQ(current(), std::make_pair(0, 1));
}

TEST_F(DrawGridTest, PaintsLinesHighlightAndHandsTheCellColourToTheOwner) {
    grid->setRowCount(2);
    grid->clearFocus();
    key(Qt::Key_Right, Qt::ShiftModifier);
    std::map<std::pair<int, int>, std::pair<bool, QRgb>> cells;  // selected, brush
    grid->setDrawCellHandler([&](int column, int row, const QRect&, bool selected, QPainter& p) {
        cells[{column, row}] = {selected, p.brush().color().rgb()};
    });
    const QImage shot = grid->viewport()->grab().toImage();
    const QRgb highlight = grid->palette().color(QPalette::Highlight).rgb();
    const QRgb white = qRgb(255, 255, 255);
    EXPECT_EQ(shot.pixel(64, 10), qRgb(0xC0, 0xC0, 0xC0));  // the line after column 0
    EXPECT_EQ(shot.pixel(10, 64), qRgb(0xC0, 0xC0, 0xC0));  // and after row 0
    EXPECT_EQ(shot.pixel(10, 10), highlight);
    EXPECT_EQ(shot.pixel(75, 10), highlight);
    EXPECT_EQ(shot.pixel(140, 10), white);
    EXPECT_EQ(shot.pixel(10, 2 * 65 + 10), white);  // below the last row
    ASSERT_EQ(cells.size(), 12u);
    EXPECT_EQ(cells[std::make_pair(1, 0)], std::make_pair(true, highlight));
    EXPECT_EQ(cells[std::make_pair(2, 0)], std::make_pair(false, white));
    EXPECT_EQ(cells[std::make_pair(0, 1)], std::make_pair(false, white));
}

}  // namespace
}  // namespace vantoro
