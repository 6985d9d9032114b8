#pragma once

#include "chart/CellMapping.h"
#include "edit/ChartClipboard.h"
#include "edit/ChartCursor.h"
#include "model/ChartDocument.h"

#include <QObject>
#include <QPoint>
#include <optional>

class ChartGrid;
class ElementPictures;
class WindowContext;

// The chart as the window shows it: the page of cells (ChartGrid), the end
// marker `Shape5`, the step-number strip `Picture4` with its caption
// `Label28`, the group tabs, the selection and the keyboard's cursor. It
// follows the chart document: the cells a change wrote, the end marker at a
// new step count, and after an undo or a redo the group and page where it
// went. It keeps which group and page are shown; the window's handlers decide
// when the user may switch them.
//
// It turns what the user does to the cells and the tabs, with the mouse and
// the keys, into the reports below, and gives screen readers the chart as a
// table, the group tabs as a tab list, and what is shown after a switch.
class ChartView : public QObject
{
    Q_OBJECT

public:
    // `grid` is the page of cells the window built among its controls.
    ChartView(WindowContext& context, ChartGrid* grid, const ElementPictures& pictures);

    ChartGrid* grid() const { return m_grid; }

    // Paints the page of the group shown from the chart.
    void DrawPage(int page);
    // Moves the end marker to where the step count puts it on `page`.
    void PlaceEndMarker(int page);
    // The group shown has become `group`: the tabs, the cells.
    void showGroup(int group);
    // The page shown has become `page`: the strip, its caption, the cells and the end marker.
    void showPage(int page);

    ChartCell cellOf(int index) const;
    // The chart cell under the mouse pointer, if the pointer is on the chart.
    std::optional<ChartCell> cellUnderPointer() const;
    // The chart cell under the keyboard's cursor, while the cursor is shown.
    std::optional<ChartCell> shownCursor() const;
    // The chart cell the cursor is on, shown or not: the cell last clicked, or the cursor's.
    ChartCell cursorCell() const;
    // An operation moved the block `before` to `after`: the cursor goes along, to the page
    // where it lands, and a selection becomes the block moved where the page shows it.
    void follow(const CellBlock& before, const CellBlock& after);

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

protected:
    // Left and Right on a group tab.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void documentChanged(const ChartChange& change, ChartDocument::Origin origin);
    // Switches to the group and page of `cell` without asking, as an undo or a redo goes where it acted.
    void showWhere(ChartCell cell);
    // The chart's keys.
    void moveCursor(CursorMove move, bool select);
    void chooseGroup(int group);
    void actAtCursor();
    void openMenuAtCursor();
    // Asks for the group and page of `cell` as the tabs and page buttons do; whether they are shown then.
    bool goTo(ChartCell cell);
    // What the window shows now, for screen readers.
    void announceShown();
    // Where `cell` is in the page of cells, if the group and page shown hold it.
    std::optional<int> shownIndexOf(ChartCell cell) const;
    // The selection, a block on the page shown, framed and told to screen readers.
    void frameSelection();

    WindowContext& m_context;
    const ElementPictures& m_pictures;
    ChartGrid* m_grid;
    std::optional<CellBlock> m_selection;
    ChartCell m_selectionAnchor{};
    // While a key moves the cursor, the cell it lands on is told once the view has settled.
    bool m_keyMove = false;
};
