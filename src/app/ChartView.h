#pragma once

#include "chart/CellMapping.h"
#include "chart/ElementCode.h"
#include "edit/ChartClipboard.h"
#include "edit/ChartCursor.h"

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <array>
#include <optional>

class ChartGrid;
class ClickLabel;
class ElementPictures;
class GridCell;
class QLabel;
class QWidget;
class SelectionFrame;
class ShapeWidget;
struct WindowState;

// The chart as the window shows it: the 200 cells `Picture1` of the group and
// page shown, the end marker `Shape5`, the step-number strip `Picture4` with
// its caption `Label28`, the highlight of the group tabs, and the selection
// with its frame. It draws from the window's state, which it only reads, and
// reports what the user does to a cell or a group tab; the window decides
// what that means and sets the state before asking the view to show it.
//
// It also gives the chart to the keyboard and to screen readers: the chart's
// keyboard widget (ChartGrid) with its cursor, whose keys it turns into the
// same reports a click would make, and the cells' accessible names.
class ChartView : public QObject
{
    Q_OBJECT

public:
    ChartView(QWidget* window, const WindowState& state, const ElementPictures& pictures);

    // The 200 cells, as children of the window in front of everything built so
    // far: the window builds them between its panel and its other controls.
    void buildCells();
    // Takes over the controls the window built from its layout table.
    void attachControls();

    // Paints the 200 cells from the chart, for `page` of the group shown.
    void drawPage(int page);
    // Paints the page shown.
    void redraw();
    // Moves the end marker to where the step count puts it on `page`.
    void placeEndMarker(int page);
    // Paints one chart cell, when the group and page shown hold it. A value
    // that is no element leaves the picture as it was.
    void paintCell(ChartCell cell, const ElementCode& value);
    // The group shown has become `group`: the tabs' highlight and the cells.
    void showGroup(int group);
    // The page shown has become `page`: the strip, its caption, the cells and the end marker.
    void showPage(int page);

    ChartCell cellOf(int index) const;
    // The chart cell under the mouse pointer, if the pointer is on the chart.
    std::optional<ChartCell> cellUnderPointer() const;
    // The chart cell under the keyboard's cursor, while the cursor is shown.
    std::optional<ChartCell> shownCursor() const;

    // The selected block on the page shown. A selection grows from the cell
    // it was started on (its anchor) to the cell given last.
    const std::optional<CellBlock>& selection() const { return m_selection; }
    void selectTo(ChartCell cell);
    void clearSelection();

signals:
    // A left click on grid member `index`, with the keys held; Space or
    // Return at the cursor, and Shift with an arrow, come the same way.
    void cellClicked(int index, Qt::KeyboardModifiers keys);
    // A right click on grid member `index`, at `globalPosition`, or the Menu key at the cursor.
    void cellMenuRequested(int index, const QPoint& globalPosition);
    // A click on a group tab, or a key that asks for a group.
    void groupTabClicked(int group);
    // A key asks for page `to` while `from` is shown, as the page button from one to the other does.
    void pageRequested(int from, int to);

private:
    // The chart's keys, from the chart's keyboard widget.
    void moveCursor(CursorMove move, bool select);
    void chooseGroup(int group);
    void actAtCursor();
    void openMenuAtCursor();
    // Asks for the group and page of `cell` as the tabs and page buttons do; whether they are shown then.
    bool goTo(ChartCell cell);
    // Tells assistive technology that the cell under the cursor has the focus.
    void announceCursor();
    // The same, where the cursor is on another cell, or its cell was renamed, since last told.
    void announceCursorChange();
    // Paints grid member `index` with `value` and names it.
    void showCell(int index, ChartCell cell, const ElementCode& value);

    QWidget* m_window;
    const WindowState& m_state;
    const ElementPictures& m_pictures;
    std::array<GridCell*, GridSize> m_cells{};
    ChartGrid* m_grid = nullptr;
    // While a key moves the cursor, the cell it lands on is told once the view has settled.
    bool m_keyMove = false;
    QPointer<GridCell> m_announcedCell;
    QString m_announcedName;
    std::array<ShapeWidget*, 8> m_groupTabs{};
    ShapeWidget* m_endMarker = nullptr;
    QLabel* m_pageStrip = nullptr;
    QLabel* m_pageCaption = nullptr;
    SelectionFrame* m_selectionFrame = nullptr;
    std::optional<CellBlock> m_selection;
    ChartCell m_selectionAnchor{};
};
