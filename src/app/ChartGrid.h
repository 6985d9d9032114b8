#pragma once

#include "app/Controls.h"
#include "chart/CellMapping.h"
#include "edit/ChartCursor.h"

#include <QRect>
#include <QWidget>
#include <array>

class ChartGrid;

// A chart cell `Picture1(i)`: a picture label that reports its clicks and
// knows its place in the grid, so that a screen reader is told which cell of
// the chart it is (ChartAccessibility).
class GridCell : public ClickLabel
{
    Q_OBJECT

public:
    GridCell(QWidget* window, int index);

    int index() const { return m_index; }
    // The chart's keyboard over it, once the grid has been built.
    ChartGrid* grid() const { return m_grid; }
    // Its accessible name, what it shows and where (cellName). Only a change
    // is set, as every change is told to assistive technology.
    void setCellName(const QString& name);

protected:
    // The system's window background under the picture, painted rather than
    // kept in a palette of each cell's own, which 200 cells would each hold.
    void paintEvent(QPaintEvent* event) override;

private:
    friend class ChartGrid;
    int m_index;
    ChartGrid* m_grid = nullptr;
};

// The chart's keyboard: a widget over the grid that takes the keyboard focus
// for the chart and shows its cursor, a frame around one cell. It lets clicks
// through to the cells and draws nothing but the cursor's frame, around the
// cell and outside it, so that the cell's picture stays as it is. The cells
// stay the window's children, where the layout puts them; this widget only
// lies in front of them.
//
// It keeps the cursor as a grid member (column and row), so that the cursor
// stays on its column and row when the group or the page shown changes. The
// chart view decides what the keys do; this widget turns key presses into
// the requests below. Nothing shows until a key asks for the cursor: a click
// on a cell puts the cursor there unseen, Tab brings it in on the first cell.
class ChartGrid : public QWidget
{
    Q_OBJECT

public:
    ChartGrid(QWidget* window, const std::array<GridCell*, GridSize>& cells);

    GridCell* cell(int index) const { return m_cells[std::size_t(index)]; }
    int cursor() const { return m_cursor; }
    bool cursorShown() const { return m_shown; }
    // Puts the cursor on grid member `index`, shown or not.
    void placeCursor(int index, bool shown);
    void showCursor() { placeCursor(m_cursor, true); }

    // The selected cells, as columns (x) and rows (y) of the grid; empty for none.
    void setSelection(const QRect& members);
    bool isSelected(int index) const;

signals:
    // An arrow, Home, End or page key; `select` for Shift with an arrow.
    void moveRequested(CursorMove move, bool select);
    // Ctrl+1 to Ctrl+8.
    void groupRequested(int group);
    // Space or Return.
    void activated();
    // The Menu key or Shift+F10.
    void menuRequested();
    // The chart has the keyboard focus again. Queued by the receiver: Qt tells
    // assistive technology of the chart's own focus after this.
    void focusEntered();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QRect cursorArea() const;

    std::array<GridCell*, GridSize> m_cells;
    int m_cursor = 0;
    bool m_shown = false;
    QRect m_selection;
};
