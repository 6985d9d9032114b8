#include "app/ChartGrid.h"

#include "app/ChartAccessibility.h"
#include "app/ChartGeometry.h"
#include "app/ControlFactory.h"
#include "app/ElementPictures.h"
#include "state/WindowState.h"

#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {

// The cursor's and the selection's frames: wide enough to see on the cells'
// pictures, drawn wholly outside the cells they frame, so that the pictures
// stay as they are. The cursor is dashes of black and white, which show on
// the light pictures and on the panel alike, and apart from the selection's
// one orange line where the two meet.
constexpr int FrameWidth = 2;
const QColor SelectionColour(0xFF, 0x40, 0x00);

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

// The rectangle of the grid's cells, in the window's pixels.
QRect gridArea()
{
    return pixelRect(ChartGeometry::gridCell(0)).united(pixelRect(ChartGeometry::gridCell(GridSize - 1)));
}

} // namespace

ChartGrid::ChartGrid(QWidget* window, const ChartDocument& document, const WindowState& state,
                     const ElementPictures& pictures)
    : QWidget(window), m_document(document), m_state(state), m_pictures(pictures)
{
    m_shownElement.fill(-1);
    installChartAccessibility();
    setGeometry(gridArea().adjusted(-FrameWidth, -FrameWidth, FrameWidth, FrameWidth));
    // The cursor and a click give the chart the focus; Tab reaches it too.
    setFocusPolicy(Qt::TabFocus);
}

QRect ChartGrid::cellRect(int index) const
{
    return pixelRect(ChartGeometry::gridCell(index));
}

QRect ChartGrid::memberRect(int index) const
{
    return cellRect(index).translated(-pos());
}

std::optional<int> ChartGrid::memberAt(const QPoint& position) const
{
    for (int index = 0; index < GridSize; ++index)
        if (memberRect(index).contains(position))
            return index;
    return std::nullopt;
}

ChartCell ChartGrid::cellOf(int index) const
{
    return cellOfGridIndex(index, m_state.CurrentPage, m_state.CurrentGroup);
}

void ChartGrid::showCell(int index, const ElementCode& value)
{
    const std::optional<int> ordinal = value.ordinal();
    qint8& shown = m_shownElement[std::size_t(index)];
    if (!ordinal || shown == *ordinal)
        return;
    shown = qint8(*ordinal);
    update(memberRect(index));
}

void ChartGrid::placeCursor(int index, bool shown)
{
    if (index == m_cursor && shown == m_cursorShown)
        return;
    // The frame around the cell it leaves and the one it comes to.
    update(memberRect(m_cursor).adjusted(-FrameWidth, -FrameWidth, FrameWidth, FrameWidth));
    m_cursor = index;
    m_cursorShown = shown;
    update(memberRect(m_cursor).adjusted(-FrameWidth, -FrameWidth, FrameWidth, FrameWidth));
}

void ChartGrid::setSelection(const QRect& members)
{
    if (members == m_selection)
        return;
    m_selection = members;
    update();
}

bool ChartGrid::isSelected(int index) const
{
    return m_selection.contains(index / ChannelsPerGroup, index % ChannelsPerGroup);
}

void ChartGrid::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QColor background = layoutColour(Layout::SystemWindowBackground);
    for (int index = 0; index < GridSize; ++index) {
        const QRect area = memberRect(index);
        if (!event->region().intersects(area))
            continue;
        painter.fillRect(area, background);
        if (const int ordinal = m_shownElement[std::size_t(index)]; ordinal >= 0)
            painter.drawPixmap(area.topLeft(), m_pictures.element(ordinal));
    }
    if (!m_selection.isEmpty()) {
        const int first = m_selection.left() * ChannelsPerGroup + m_selection.top();
        const int last = m_selection.right() * ChannelsPerGroup + m_selection.bottom();
        const QRect inner = memberRect(first).united(memberRect(last));
        const QRect outer = inner.adjusted(-FrameWidth, -FrameWidth, FrameWidth, FrameWidth);
        // The four bands between the outer edge and the framed cells.
        painter.fillRect(QRect(outer.left(), outer.top(), outer.width(), FrameWidth), SelectionColour);
        painter.fillRect(QRect(outer.left(), inner.bottom() + 1, outer.width(), FrameWidth), SelectionColour);
        painter.fillRect(QRect(outer.left(), inner.top(), FrameWidth, inner.height()), SelectionColour);
        painter.fillRect(QRect(inner.right() + 1, inner.top(), FrameWidth, inner.height()), SelectionColour);
    }
    if (m_cursorShown) {
        // A line of FrameWidth centred on this rectangle covers the FrameWidth pixels around the cell.
        const QRectF frame =
            QRectF(memberRect(m_cursor))
                .adjusted(-FrameWidth / 2.0, -FrameWidth / 2.0, FrameWidth / 2.0, FrameWidth / 2.0);
        painter.setPen(QPen(Qt::white, FrameWidth));
        painter.drawRect(frame);
        QPen dashes(Qt::black, FrameWidth);
        dashes.setDashPattern({2, 2});
        painter.setPen(dashes);
        painter.drawRect(frame);
    }
}

void ChartGrid::takeKeyboard(int index)
{
    placeCursor(index, false);
    setFocus(Qt::MouseFocusReason);
}

// A cell's click is the left button going down and coming up on it.
void ChartGrid::mousePressEvent(QMouseEvent* event)
{
    m_pressed.reset();
    const std::optional<int> member = memberAt(event->position().toPoint());
    if (event->button() != Qt::LeftButton || !member) {
        event->ignore();
        return;
    }
    m_pressed = member;
}

void ChartGrid::mouseReleaseEvent(QMouseEvent* event)
{
    const std::optional<int> pressed = std::exchange(m_pressed, std::nullopt);
    if (event->button() != Qt::LeftButton || !pressed || memberAt(event->position().toPoint()) != pressed) {
        event->ignore();
        return;
    }
    takeKeyboard(*pressed);
    emit cellClicked(*pressed, event->modifiers());
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

// A right click on a cell opens the chart menu there; the platform turns the
// Menu key into this event too, for the cell under the cursor.
void ChartGrid::contextMenuEvent(QContextMenuEvent* event)
{
    if (event->reason() == QContextMenuEvent::Keyboard) {
        emit menuRequested();
        return;
    }
    const std::optional<int> member = memberAt(event->pos());
    if (!member) {
        event->ignore();
        return;
    }
    takeKeyboard(*member);
    emit cellMenuRequested(*member, event->globalPos());
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
