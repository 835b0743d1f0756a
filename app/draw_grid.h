// The thumbnail grid: an owner-drawn grid of six 64-pixel columns and
// 64-pixel rows with 1-pixel grid lines, white, no fixed rows or columns.
//
// The grid owns only its geometry, its current cell, its highlighted
// rectangle and its scrolling; what a cell shows comes from the draw-cell
// handler and what choosing a cell means from the select-cell handler.
//
// The select-cell handler runs BEFORE the current cell changes (during the
// call currentRow()/currentColumn() still answer the old cell), with the
// cell about to become current, exactly:
//   - on every left click on a cell, also on the cell that already is current;
//   - on every keyboard move of the current cell (arrows, Page Up/Down,
//     Home, End, Ctrl+Home, Ctrl+End) that lands on another cell;
//   - on every setCurrentRow/setCurrentColumn that changes the value;
//   - when setRowCount leaves the current cell below the last row: the
//     current cell then moves to the last row, same column.
// Nothing else runs it: not setting a value the grid already has, not the
// highlighted rectangle (dragging, Shift+arrows), not scrolling.
//
// The highlighted rectangle is shown while something is selected: every move
// of the current cell shows it, and the owner hides it when its selection is
// gone (the current cell stays where it is, and keys and clicks go on from
// there). It starts hidden.
//
// Rows scroll whole (the vertical scroll bar counts rows, as does the
// horizontal one columns); the current cell is kept in view. Only the
// visible cells are painted.
#pragma once

#include <QAbstractScrollArea>
#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>
#include <functional>

namespace vantoro {

class DrawGrid : public QAbstractScrollArea {
    Q_OBJECT

public:
    static constexpr int kColumnCount = 6;
    static constexpr int kDefaultColumnWidth = 64;
    static constexpr int kDefaultRowHeight = 64;
    static constexpr int kGridLineWidth = 1;

    // (column, row) of the cell that is about to become current.
    using SelectCellHandler = std::function<void(int column, int row)>;
    // Paints one visible cell. The grid has already filled `rect` with the
    // cell's colour (white, or the highlight colour for a cell of the
    // highlighted rectangle other than the focused current cell); the
    // painter's brush holds that colour, its font is the grid's font and its
    // pen the grid's text colour. `selected`: the cell lies in the
    // highlighted rectangle (which always holds the current cell).
    using DrawCellHandler = std::function<void(int column, int row, const QRect& rect,
                                               bool selected, QPainter& painter)>;

    explicit DrawGrid(QWidget* parent = nullptr);
    ~DrawGrid() override;

    // "宋体" at 12 pixels; another CJK face where that one is not installed.
    static QFont defaultFont();

    void setSelectCellHandler(SelectCellHandler handler);
    void setDrawCellHandler(DrawCellHandler handler);

    int columnCount() const { return kColumnCount; }
    int rowCount() const { return m_rowCount; }
    // At least one row. A smaller count that leaves the current cell below
    // the last row moves it to the last row (select-cell handler first).
    void setRowCount(int rows);

    int currentRow() const { return m_current.row; }
    int currentColumn() const { return m_current.column; }
    // A value outside the grid is ignored; the value the grid already has
    // runs nothing.
    void setCurrentRow(int row);
    void setCurrentColumn(int column);

    // The highlighted rectangle in cells: columns left..right, rows
    // top..bottom (QRect's left/top/right/bottom); always holds the current
    // cell.
    QRect selection() const;

    // First fully or partly visible row and column (the scroll position).
    int topRow() const;
    int leftColumn() const;
    // Rows / columns that fit the viewport whole; at least 1.
    int visibleRowCount() const;
    int visibleColumnCount() const;

    // A cell's rectangle in viewport coordinates (it may lie outside the
    // viewport), and the cell at a viewport point, if any.
    QRect cellRect(int column, int row) const;
    bool cellAt(const QPoint& point, int& column, int& row) const;

    bool selectionShown() const { return m_selectionShown; }
    void setSelectionShown(bool shown);

    // A line drawn under the first row while it is not empty: why the grid
    // holds no entries.
    QString emptyText() const { return m_emptyText; }
    void setEmptyText(const QString& text);

    // Repaints every visible cell (the cells ask their owner again).
    void invalidateGrid();

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    struct Cell {
        int row = 0;
        int column = 0;
        bool operator==(const Cell&) const = default;
    };

    bool contains(Cell cell) const;
    Cell clampToGrid(Cell cell) const;
    void moveCurrent(Cell target);
    void moveAnchor(Cell target);
    void invalidateCells(const QRect& cells);
    Cell cellUnder(const QPoint& point) const;  // clamped to the grid
    void scrollToCell(Cell cell);
    void updateScrollBars();
    void paintCell(QPainter& painter, Cell cell, const QRect& rect);
    void paintEmptyText(QPainter& painter);
    bool keyboardTarget(const QKeyEvent& event, Cell from, Cell& target) const;

    int m_rowCount = 1;
    Cell m_current;
    Cell m_anchor;  // the far corner of the highlighted rectangle
    bool m_dragging = false;
    bool m_selectionShown = false;
    QString m_emptyText;
    SelectCellHandler m_selectCell;
    DrawCellHandler m_drawCell;
};

}  // namespace vantoro
