#pragma once

#include "chart/CellMapping.h"
#include "chart/ElementCode.h"
#include "edit/ChartCursor.h"

#include <QRect>
#include <QWidget>
#include <array>
#include <optional>

class ChartDocument;
class ElementPictures;
struct WindowState;

// The page of the chart the window shows, `Picture1`: the 5 x 40 cells of the
// group and page shown, painted by this one widget from the element pictures,
// with the selection's frame and the keyboard's cursor over them. It lies in
// front of the chart panel and the end marker and paints nothing between the
// cells, so the marker shows there as it always did.
//
// It takes the clicks of the cells (left, right, with Shift), the chart's
// keys and the keyboard focus for the chart, and reports them; the chart view
// decides what they mean. The cursor is a grid member (column and row), so it
// stays on its column and row when the group or the page shown changes.
// Nothing shows until a key asks for the cursor: a click on a cell puts the
// cursor there unseen, Tab brings it in on the first cell. Screen readers see
// it as a table of the page shown (ChartAccessibility).
class ChartGrid : public QWidget
{
    Q_OBJECT

public:
    ChartGrid(QWidget* window, const ChartDocument& document, const WindowState& state,
              const ElementPictures& pictures);

    // Paints grid member `index` with the picture of `value`. A value that is
    // no element leaves the picture the member showed before.
    void showCell(int index, const ElementCode& value);
    // The chart cell grid member `index` shows, on the group and page shown.
    ChartCell cellOf(int index) const;
    // Where grid member `index` lies, in the window's pixels.
    QRect cellRect(int index) const;
    // The grid member at `position` of this widget, if any.
    std::optional<int> memberAt(const QPoint& position) const;

    int cursor() const { return m_cursor; }
    bool cursorShown() const { return m_cursorShown; }
    // Puts the cursor on grid member `index`, shown or not.
    void placeCursor(int index, bool shown);
    void showCursor() { placeCursor(m_cursor, true); }

    // The selected cells, as columns (x) and rows (y) of the grid; empty for none.
    void setSelection(const QRect& members);
    const QRect& selection() const { return m_selection; }
    bool isSelected(int index) const;

    const ChartDocument& document() const { return m_document; }
    const WindowState& state() const { return m_state; }

signals:
    // A left click on grid member `index`, with the keys held.
    void cellClicked(int index, Qt::KeyboardModifiers keys);
    // A right click on grid member `index`, at `globalPosition`.
    void cellMenuRequested(int index, const QPoint& globalPosition);
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
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // Grid member `index` in this widget's pixels.
    QRect memberRect(int index) const;
    // A click on a cell gives the chart the keyboard, with the cursor on that
    // cell, unseen until a key moves it.
    void takeKeyboard(int index);

    const ChartDocument& m_document;
    const WindowState& m_state;
    const ElementPictures& m_pictures;
    // The element each member shows, by ordinal; -1 before it shows one.
    std::array<qint8, GridSize> m_shownElement;
    int m_cursor = 0;
    bool m_cursorShown = false;
    QRect m_selection;
    // The member a left button went down on, until it comes up.
    std::optional<int> m_pressed;
};
