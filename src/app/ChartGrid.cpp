#include "app/ChartGrid.h"

#include "app/ChartAccessibility.h"
#include "app/ControlFactory.h"

#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>

namespace {

// Wide enough to see on the cells' pictures, drawn wholly outside the cell as
// the selection's frame is, in dashes of black and white where the selection
// is one orange line: it shows on the light pictures and on the panel alike,
// and apart from the selection where the two meet.
constexpr int FrameWidth = 2;

const struct
{
    QKeyCombination keys;
    CursorMove move;
    bool select;
} MoveKeys[] = {
    {Qt::Key_Left, CursorMove::Left, false},
    {Qt::Key_Right, CursorMove::Right, false},
    {Qt::Key_Up, CursorMove::Up, false},
    {Qt::Key_Down, CursorMove::Down, false},
    {Qt::SHIFT | Qt::Key_Left, CursorMove::Left, true},
    {Qt::SHIFT | Qt::Key_Right, CursorMove::Right, true},
    {Qt::SHIFT | Qt::Key_Up, CursorMove::Up, true},
    {Qt::SHIFT | Qt::Key_Down, CursorMove::Down, true},
    {Qt::Key_Home, CursorMove::FirstStep, false},
    {Qt::Key_End, CursorMove::LastStep, false},
    {Qt::Key_PageUp, CursorMove::PreviousPage, false},
    {Qt::Key_PageDown, CursorMove::NextPage, false},
    {Qt::CTRL | Qt::Key_PageUp, CursorMove::PreviousGroup, false},
    {Qt::CTRL | Qt::Key_PageDown, CursorMove::NextGroup, false},
};

} // namespace

GridCell::GridCell(QWidget* window, int index) : ClickLabel(window), m_index(index)
{
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void GridCell::paintEvent(QPaintEvent* event)
{
    QPainter(this).fillRect(rect(), layoutColour(Layout::SystemWindowBackground));
    ClickLabel::paintEvent(event);
}

void GridCell::setCellName(const QString& name)
{
    if (accessibleName() != name)
        setAccessibleName(name);
}

ChartGrid::ChartGrid(QWidget* window, const std::array<GridCell*, GridSize>& cells)
    : QWidget(window), m_cells(cells)
{
    installChartAccessibility();
    QRect grid;
    for (GridCell* cell : m_cells) {
        grid |= cell->geometry();
        cell->m_grid = this;
    }
    setGeometry(grid.adjusted(-FrameWidth, -FrameWidth, FrameWidth, FrameWidth));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // Clicks never reach it: a click on a cell gives it the focus itself.
    setFocusPolicy(Qt::TabFocus);
}

void ChartGrid::placeCursor(int index, bool shown)
{
    if (index == m_cursor && shown == m_shown)
        return;
    m_cursor = index;
    m_shown = shown;
    update();
}

void ChartGrid::setSelection(const QRect& members)
{
    m_selection = members;
}

bool ChartGrid::isSelected(int index) const
{
    return m_selection.contains(index / ChannelsPerGroup, index % ChannelsPerGroup);
}

void ChartGrid::keyPressEvent(QKeyEvent* event)
{
    const QKeyCombination pressed(event->modifiers() & ~Qt::KeypadModifier, Qt::Key(event->key()));
    for (const auto& row : MoveKeys)
        if (pressed == row.keys) {
            emit moveRequested(row.move, row.select);
            return;
        }
    if (pressed == QKeyCombination(Qt::Key_Space) || pressed == QKeyCombination(Qt::Key_Return) ||
        pressed == QKeyCombination(Qt::Key_Enter)) {
        emit activated();
        return;
    }
    if (pressed == (Qt::SHIFT | Qt::Key_F10)) {
        emit menuRequested();
        return;
    }
    if (pressed.keyboardModifiers() == Qt::ControlModifier && pressed.key() >= Qt::Key_1 &&
        pressed.key() <= Qt::Key_8) {
        emit groupRequested(pressed.key() - Qt::Key_1);
        return;
    }
    QWidget::keyPressEvent(event);
}

// The platform turns the Menu key into this event for the widget with the focus.
void ChartGrid::contextMenuEvent(QContextMenuEvent* event)
{
    if (event->reason() == QContextMenuEvent::Keyboard)
        emit menuRequested();
    else
        event->ignore();
}

void ChartGrid::focusInEvent(QFocusEvent* event)
{
    // Tab and Shift+Tab come in on channel 1 of the first step of the page shown.
    if (event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason)
        placeCursor(0, true);
    QWidget::focusInEvent(event);
    emit focusEntered();
}

void ChartGrid::focusOutEvent(QFocusEvent* event)
{
    // A menu or another window only borrows the keyboard: the cursor stays where the user left it.
    if (event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason)
        placeCursor(m_cursor, false);
    QWidget::focusOutEvent(event);
}

QRect ChartGrid::cursorArea() const
{
    return cell(m_cursor)->geometry().translated(-pos());
}

void ChartGrid::paintEvent(QPaintEvent*)
{
    if (!m_shown)
        return;
    QPainter painter(this);
    // A line of FrameWidth centred on this rectangle covers the FrameWidth pixels around the cell.
    const QRectF frame =
        QRectF(cursorArea())
            .adjusted(-FrameWidth / 2.0, -FrameWidth / 2.0, FrameWidth / 2.0, FrameWidth / 2.0);
    painter.setPen(QPen(Qt::white, FrameWidth));
    painter.drawRect(frame);
    QPen dashes(Qt::black, FrameWidth);
    dashes.setDashPattern({2, 2});
    painter.setPen(dashes);
    painter.drawRect(frame);
}
