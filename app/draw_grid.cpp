#include "app/draw_grid.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>
#include <QScrollBar>
#include <QStringList>
#include <algorithm>

namespace vantoro {
namespace {

// A cell and the grid line to its right (or below it).
constexpr int kColumnPitch = DrawGrid::kDefaultColumnWidth + DrawGrid::kGridLineWidth;
constexpr int kRowPitch = DrawGrid::kDefaultRowHeight + DrawGrid::kGridLineWidth;
constexpr int kSizeHintRows = 10;

const QColor kGridLineColor(0xC0, 0xC0, 0xC0);

// Rounds towards minus infinity, so points left of or above the first cell
// land on the cell before it.
int floorDiv(int value, int divisor) {
    return value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor);
}

// Whole cells that fit `pixels` (the last cell needs no line after it).
int wholeCellsIn(int pixels, int pitch) {
    return std::max(1, (pixels + DrawGrid::kGridLineWidth) / pitch);
}

}  // namespace

DrawGrid::DrawGrid(QWidget* parent) : QAbstractScrollArea(parent) {
    setFont(defaultFont());
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    verticalScrollBar()->setSingleStep(1);
    horizontalScrollBar()->setSingleStep(1);
    updateScrollBars();
}

DrawGrid::~DrawGrid() = default;

QFont DrawGrid::defaultFont() {
    QFont font;
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"),
                      QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC")});
    font.setPixelSize(12);
    return font;
}

void DrawGrid::setSelectCellHandler(SelectCellHandler handler) {
    m_selectCell = std::move(handler);
}

void DrawGrid::setDrawCellHandler(DrawCellHandler handler) {
    m_drawCell = std::move(handler);
    viewport()->update();
}

void DrawGrid::setRowCount(int rows) {
    rows = std::max(1, rows);
    if (rows == m_rowCount) return;
    m_rowCount = rows;
    updateScrollBars();
    m_anchor = clampToGrid(m_anchor);
    if (m_current.row >= rows) moveCurrent({rows - 1, m_current.column});
    viewport()->update();
}

void DrawGrid::setCurrentRow(int row) {
    if (row < 0 || row >= m_rowCount || row == m_current.row) return;
    moveCurrent({row, m_current.column});
}

void DrawGrid::setCurrentColumn(int column) {
    if (column < 0 || column >= kColumnCount || column == m_current.column) return;
    moveCurrent({m_current.row, column});
}

QRect DrawGrid::selection() const {
    return QRect(
        QPoint(std::min(m_current.column, m_anchor.column), std::min(m_current.row, m_anchor.row)),
        QPoint(std::max(m_current.column, m_anchor.column), std::max(m_current.row, m_anchor.row)));
}

int DrawGrid::topRow() const {
    return verticalScrollBar()->value();
}
int DrawGrid::leftColumn() const {
    return horizontalScrollBar()->value();
}

int DrawGrid::visibleRowCount() const {
    return wholeCellsIn(viewport()->height(), kRowPitch);
}

int DrawGrid::visibleColumnCount() const {
    return wholeCellsIn(viewport()->width(), kColumnPitch);
}

QRect DrawGrid::cellRect(int column, int row) const {
    return QRect((column - leftColumn()) * kColumnPitch, (row - topRow()) * kRowPitch,
                 kDefaultColumnWidth, kDefaultRowHeight);
}

bool DrawGrid::cellAt(const QPoint& point, int& column, int& row) const {
    if (point.x() < 0 || point.y() < 0) return false;
    const Cell cell{topRow() + point.y() / kRowPitch, leftColumn() + point.x() / kColumnPitch};
    if (!contains(cell)) return false;
    column = cell.column;
    row = cell.row;
    return true;
}

void DrawGrid::setSelectionShown(bool shown) {
    if (shown == m_selectionShown) return;
    m_selectionShown = shown;
    invalidateCells(selection());
}

void DrawGrid::setEmptyText(const QString& text) {
    if (text == m_emptyText) return;
    m_emptyText = text;
    viewport()->update();
}

void DrawGrid::invalidateGrid() {
    viewport()->update();
}

QSize DrawGrid::sizeHint() const {
    const int frame = 2 * frameWidth();
    const int scrollBar = verticalScrollBar()->sizeHint().width();
    return {kColumnCount * kColumnPitch + frame + scrollBar, kSizeHintRows * kRowPitch + frame};
}

bool DrawGrid::contains(Cell cell) const {
    return cell.row >= 0 && cell.row < m_rowCount && cell.column >= 0 && cell.column < kColumnCount;
}

DrawGrid::Cell DrawGrid::clampToGrid(Cell cell) const {
    return {std::clamp(cell.row, 0, m_rowCount - 1), std::clamp(cell.column, 0, kColumnCount - 1)};
}

DrawGrid::Cell DrawGrid::cellUnder(const QPoint& point) const {
    return clampToGrid({topRow() + floorDiv(point.y(), kRowPitch),
                        leftColumn() + floorDiv(point.x(), kColumnPitch)});
}

// The one way the current cell changes: the owner hears of the new cell
// first, then the highlighted rectangle collapses onto it.
void DrawGrid::moveCurrent(Cell target) {
    if (!contains(target)) return;
    m_selectionShown = true;  // the handler may hide it again
    if (m_selectCell) m_selectCell(target.column, target.row);
    // The handler may have changed the row count meanwhile.
    target = clampToGrid(target);
    invalidateCells(selection());
    m_current = target;
    m_anchor = target;
    invalidateCells(selection());
    scrollToCell(m_current);
}

void DrawGrid::moveAnchor(Cell target) {
    target = clampToGrid(target);
    if (target == m_anchor) return;
    invalidateCells(selection());
    m_anchor = target;
    m_selectionShown = true;
    invalidateCells(selection());
    scrollToCell(m_anchor);
}

void DrawGrid::invalidateCells(const QRect& cells) {
    const QRect first = cellRect(cells.left(), cells.top());
    const QRect last = cellRect(cells.right(), cells.bottom());
    // The grid lines after the last cell go with it.
    viewport()->update(first.united(last).adjusted(0, 0, kGridLineWidth, kGridLineWidth));
}

void DrawGrid::scrollToCell(Cell cell) {
    int top = topRow();
    const int rows = visibleRowCount();
    if (cell.row < top)
        top = cell.row;
    else if (cell.row >= top + rows)
        top = cell.row - rows + 1;
    verticalScrollBar()->setValue(top);

    int left = leftColumn();
    const int columns = visibleColumnCount();
    if (cell.column < left)
        left = cell.column;
    else if (cell.column >= left + columns)
        left = cell.column - columns + 1;
    horizontalScrollBar()->setValue(left);
}

// The scroll bars count whole rows and columns: the last position shows the
// last row (column) whole at the bottom (right).
void DrawGrid::updateScrollBars() {
    const int rows = visibleRowCount();
    verticalScrollBar()->setPageStep(rows);
    verticalScrollBar()->setRange(0, std::max(0, m_rowCount - rows));
    const int columns = visibleColumnCount();
    horizontalScrollBar()->setPageStep(columns);
    horizontalScrollBar()->setRange(0, std::max(0, kColumnCount - columns));
}

void DrawGrid::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const QRect dirty = event->rect();
    painter.fillRect(dirty, Qt::white);
    const int width = viewport()->width();
    const int height = viewport()->height();
    // Only the rows and columns that reach into the viewport.
    const int lastRow = std::min(m_rowCount - 1, topRow() + height / kRowPitch);
    const int lastColumn = std::min(kColumnCount - 1, leftColumn() + width / kColumnPitch);
    for (int row = topRow(); row <= lastRow; ++row) {
        for (int column = leftColumn(); column <= lastColumn; ++column) {
            const QRect rect = cellRect(column, row);
            if (!rect.adjusted(0, 0, kGridLineWidth, kGridLineWidth).intersects(dirty)) continue;
            painter.fillRect(QRect(rect.right() + 1, rect.top(), kGridLineWidth, kRowPitch),
                             kGridLineColor);
            painter.fillRect(QRect(rect.left(), rect.bottom() + 1, kColumnPitch, kGridLineWidth),
                             kGridLineColor);
            paintCell(painter, {row, column}, rect);
        }
    }
    paintEmptyText(painter);
}

void DrawGrid::paintEmptyText(QPainter& painter) {
    if (m_emptyText.isEmpty()) return;
    constexpr int kMargin = 6;
    const QRect below(kMargin, cellRect(0, 1).top() + kMargin, viewport()->width() - 2 * kMargin,
                      viewport()->height());
    painter.save();
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::PlaceholderText));
    painter.drawText(below, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, m_emptyText);
    painter.restore();
}

// A cell of the highlighted rectangle shows the highlight colour, except the
// current cell while the grid has the focus: that one keeps the normal colour
// and gets a focus frame.
void DrawGrid::paintCell(QPainter& painter, Cell cell, const QRect& rect) {
    const bool selected = m_selectionShown && selection().contains(QPoint(cell.column, cell.row));
    const bool focused = hasFocus() && cell == m_current;
    const bool highlighted = selected && !focused;
    const QColor fill = highlighted ? palette().color(QPalette::Highlight) : QColor(Qt::white);
    painter.save();
    painter.fillRect(rect, fill);
    painter.setBrush(fill);
    painter.setPen(highlighted ? palette().color(QPalette::HighlightedText) : QColor(Qt::black));
    painter.setFont(font());
    if (m_drawCell) m_drawCell(cell.column, cell.row, rect, selected, painter);
    painter.restore();
    if (focused) {
        painter.save();
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
        painter.drawRect(rect.adjusted(0, 0, -1, -1));
        painter.restore();
    }
}

void DrawGrid::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

// Every left click runs the selection, also on the current cell; dragging
// afterwards extends the highlighted rectangle from there.
void DrawGrid::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    event->accept();
    int column = 0;
    int row = 0;
    if (!cellAt(event->position().toPoint(), column, row)) return;
    moveCurrent({row, column});
    m_dragging = true;
}

void DrawGrid::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging || !(event->buttons() & Qt::LeftButton)) {
        QAbstractScrollArea::mouseMoveEvent(event);
        return;
    }
    event->accept();
    moveAnchor(cellUnder(event->position().toPoint()));
}

void DrawGrid::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) m_dragging = false;
    QAbstractScrollArea::mouseReleaseEvent(event);
}

// The second press of a double click is a click like any other.
void DrawGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    mousePressEvent(event);
}

bool DrawGrid::keyboardTarget(const QKeyEvent& event, Cell from, Cell& target) const {
    const bool control = event.modifiers() & Qt::ControlModifier;
    target = from;
    switch (event.key()) {
        case Qt::Key_Up:
            --target.row;
            break;
        case Qt::Key_Down:
            ++target.row;
            break;
        case Qt::Key_Left:
            --target.column;
            break;
        case Qt::Key_Right:
            ++target.column;
            break;
        case Qt::Key_PageUp:
            target.row -= visibleRowCount();
            break;
        case Qt::Key_PageDown:
            target.row += visibleRowCount();
            break;
        case Qt::Key_Home:
            target.column = 0;
            if (control) target.row = 0;
            break;
        case Qt::Key_End:
            target.column = kColumnCount - 1;
            if (control) target.row = m_rowCount - 1;
            break;
        default:
            return false;
    }
    target = clampToGrid(target);
    return true;
}

// Shift with a moving key extends the highlighted rectangle; without it the
// current cell moves, and only a move to another cell runs the selection.
void DrawGrid::keyPressEvent(QKeyEvent* event) {
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    Cell target;
    if (!keyboardTarget(*event, extend ? m_anchor : m_current, target)) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
    if (extend) {
        moveAnchor(target);
    } else if (!(target == m_current)) {
        // Page Up/Down also scroll by a page, keeping the cell's place on screen.
        if (event->key() == Qt::Key_PageUp || event->key() == Qt::Key_PageDown) {
            verticalScrollBar()->setValue(topRow() + (target.row - m_current.row));
        }
        moveCurrent(target);
    }
}

void DrawGrid::scrollContentsBy(int /*dx*/, int /*dy*/) {
    viewport()->update();
}

void DrawGrid::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    invalidateCells(selection());
}

void DrawGrid::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    invalidateCells(selection());
}

}  // namespace vantoro
