#include "app/ChartView.h"

#include "app/ChartGeometry.h"
#include "app/ChartGrid.h"
#include "app/ControlFactory.h"
#include "app/Controls.h"
#include "app/ElementPictures.h"
#include "chart/CellName.h"
#include "edit/PageSwitch.h"
#include "state/WindowState.h"

#include <QAccessible>
#include <QCursor>
#include <QScopedValueRollback>

namespace {

// Each group tab: the caption that takes the click and the shape that shows the highlight.
struct GroupTab
{
    const char* label;
    const char* shape;
};

constexpr std::array<GroupTab, 8> GroupTabs{{{"Label1", "Shape1"},
                                             {"Label2", "Shape2"},
                                             {"Label3", "Shape3"},
                                             {"Label4", "Shape6"},
                                             {"Label5", "Shape7"},
                                             {"Label6", "Shape8"},
                                             {"Label7", "Shape9"},
                                             {"Label8", "Shape10"}}};

template <typename T> T* child(QWidget* window, const char* name)
{
    T* found = window->findChild<T*>(QString::fromLatin1(name));
    Q_ASSERT_X(found, "ChartView", name);
    return found;
}

} // namespace

ChartView::ChartView(QWidget* window, const WindowState& state, const ElementPictures& pictures)
    : QObject(window), m_window(window), m_state(state), m_pictures(pictures)
{
}

void ChartView::buildCells()
{
    for (int i = 0; i < GridSize; ++i) {
        auto* cell = new GridCell(m_window, i);
        cell->setObjectName(QStringLiteral("Picture1(%1)").arg(i));
        cell->setGeometry(pixelRect(ChartGeometry::gridCell(i)));
        // A click on a cell gives the chart the keyboard, with the cursor on
        // that cell, unseen until a key moves it.
        const auto takeKeyboard = [this, i] {
            m_grid->placeCursor(i, false);
            m_grid->setFocus(Qt::MouseFocusReason);
        };
        connect(cell, &ClickLabel::clicked, this, [this, i, takeKeyboard](Qt::KeyboardModifiers keys) {
            takeKeyboard();
            emit cellClicked(i, keys);
        });
        // A right click opens the chart menu; the cell's click stays the left button's.
        cell->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(cell, &QWidget::customContextMenuRequested, this,
                [this, cell, i, takeKeyboard](const QPoint& at) {
                    takeKeyboard();
                    emit cellMenuRequested(i, cell->mapToGlobal(at));
                });
        m_cells[std::size_t(i)] = cell;
    }
    // In front of the cells, so that the cursor is drawn over them.
    m_grid = new ChartGrid(m_window, m_cells);
    m_grid->setObjectName(QStringLiteral("ChartGrid"));
    connect(m_grid, &ChartGrid::moveRequested, this, &ChartView::moveCursor);
    connect(m_grid, &ChartGrid::groupRequested, this, &ChartView::chooseGroup);
    connect(m_grid, &ChartGrid::activated, this, &ChartView::actAtCursor);
    connect(m_grid, &ChartGrid::menuRequested, this, &ChartView::openMenuAtCursor);
    connect(m_grid, &ChartGrid::focusEntered, this, &ChartView::announceCursor, Qt::QueuedConnection);
}

void ChartView::attachControls()
{
    for (std::size_t group = 0; group < GroupTabs.size(); ++group) {
        m_groupTabs[group] = child<ShapeWidget>(m_window, GroupTabs[group].shape);
        auto* label = child<ClickLabel>(m_window, GroupTabs[group].label);
        // Reached with Tab and pressed with Space or Return; a click leaves the focus where it is.
        label->setFocusPolicy(Qt::TabFocus);
        connect(label, &ClickLabel::clicked, this, [this, group] { emit groupTabClicked(int(group)); });
    }
    m_endMarker = child<ShapeWidget>(m_window, "Shape5");
    m_pageStrip = child<QLabel>(m_window, "Picture4");
    m_pageCaption = child<QLabel>(m_window, "Label28");
    m_selectionFrame = new SelectionFrame(m_window);
    m_selectionFrame->setObjectName(QStringLiteral("SelectionFrame"));
}

void ChartView::drawPage(int page)
{
    for (int index = 0; index < GridSize; ++index) {
        const ChartCell cell = cellOfGridIndex(index, page, m_state.CurrentGroup);
        showCell(index, cell, m_state.PatternData.at(cell.step, cell.channel));
    }
}

void ChartView::showCell(int index, ChartCell cell, const ElementCode& value)
{
    GridCell* shown = m_cells[std::size_t(index)];
    const QPixmap picture = m_pictures.ElementPicture(value);
    if (!picture.isNull())
        shown->setPixmap(picture);
    shown->setCellName(cellName(cell, value));
    if (index == m_grid->cursor() && !m_keyMove)
        announceCursorChange();
}

void ChartView::redraw()
{
    if (m_state.CurrentPage == 0 || m_state.CurrentPage == 1)
        drawPage(m_state.CurrentPage);
}

void ChartView::placeEndMarker(int page)
{
    m_endMarker->setRectPt(ChartGeometry::endMarker(page, m_state.StepCount));
}

void ChartView::paintCell(ChartCell cell, const ElementCode& value)
{
    if (const std::optional<int> index = gridIndexOfCell(cell, m_state.CurrentPage, m_state.CurrentGroup))
        showCell(*index, cell, value);
}

void ChartView::showGroup(int group)
{
    clearSelection();
    // The tab of the group shown takes the panel's colour, as group A's does at start.
    for (std::size_t tab = 0; tab < m_groupTabs.size(); ++tab)
        m_groupTabs[tab]->setFillColor(layoutColour(int(tab) == group ? Layout::Violet : Layout::Lavender));
    redraw();
}

void ChartView::showPage(int page)
{
    clearSelection();
    m_pageCaption->setText(pageCaption(page));
    m_pageStrip->setPixmap(m_pictures.pageStrip(page));
    drawPage(page);
    placeEndMarker(page);
}

ChartCell ChartView::cellOf(int index) const
{
    return cellOfGridIndex(index, m_state.CurrentPage, m_state.CurrentGroup);
}

std::optional<ChartCell> ChartView::cellUnderPointer() const
{
    const QPoint pointer = m_window->mapFromGlobal(QCursor::pos());
    for (int i = 0; i < GridSize; ++i)
        if (m_cells[std::size_t(i)]->geometry().contains(pointer))
            return cellOf(i);
    return std::nullopt;
}

void ChartView::selectTo(ChartCell cell)
{
    if (!m_selection)
        m_selectionAnchor = cell;
    m_selection = CellBlock::spanning(m_selectionAnchor, cell);
    const auto shownAt = [this](ChartCell corner) {
        return m_cells[std::size_t(*gridIndexOfCell(corner, m_state.CurrentPage, m_state.CurrentGroup))]
            ->geometry();
    };
    m_selectionFrame->frame(shownAt(m_selection->first).united(shownAt(m_selection->last)));
    // The cursor is drawn over the selection's frame.
    m_grid->raise();
    const int firstColumn = m_selection->first.step % StepsPerPage;
    const int firstRow = m_selection->first.channel % ChannelsPerGroup;
    m_grid->setSelection(QRect(firstColumn, firstRow, m_selection->steps(), m_selection->channels()));
}

void ChartView::clearSelection()
{
    m_selection.reset();
    m_selectionFrame->frame({});
    m_grid->setSelection({});
}

std::optional<ChartCell> ChartView::shownCursor() const
{
    if (!m_grid->cursorShown())
        return std::nullopt;
    return cellOf(m_grid->cursor());
}

void ChartView::moveCursor(CursorMove move, bool select)
{
    const QScopedValueRollback<bool> keyMove(m_keyMove, true);
    // The first key shows the cursor, also one that cannot move it.
    m_grid->showCursor();
    const int from = m_grid->cursor();
    const std::optional<ChartCell> to = cursorTarget(cellOf(from), move, m_state.StepCount);
    if (!to)
        return;
    if (select) {
        // The selection stays on the page shown; it grows from the cell the cursor leaves.
        const std::optional<int> index = gridIndexOfCell(*to, m_state.CurrentPage, m_state.CurrentGroup);
        if (!index)
            return;
        if (!m_selection)
            emit cellClicked(from, Qt::ShiftModifier);
        m_grid->placeCursor(*index, true);
        emit cellClicked(*index, Qt::ShiftModifier);
    } else {
        if (!goTo(*to))
            return;
        m_grid->placeCursor(*gridIndexOfCell(*to, m_state.CurrentPage, m_state.CurrentGroup), true);
    }
    announceCursorChange();
}

bool ChartView::goTo(ChartCell cell)
{
    const int group = cell.channel / ChannelsPerGroup;
    if (group != m_state.CurrentGroup)
        emit groupTabClicked(group);
    const int page = cell.step / StepsPerPage;
    if (group == m_state.CurrentGroup && page != m_state.CurrentPage)
        emit pageRequested(m_state.CurrentPage, page);
    return group == m_state.CurrentGroup && page == m_state.CurrentPage;
}

void ChartView::chooseGroup(int group)
{
    const QScopedValueRollback<bool> keyMove(m_keyMove, true);
    m_grid->showCursor();
    emit groupTabClicked(group);
    announceCursorChange();
}

void ChartView::actAtCursor()
{
    m_grid->showCursor();
    emit cellClicked(m_grid->cursor(), Qt::NoModifier);
}

void ChartView::openMenuAtCursor()
{
    m_grid->showCursor();
    const GridCell* cell = m_cells[std::size_t(m_grid->cursor())];
    emit cellMenuRequested(m_grid->cursor(), cell->mapToGlobal(cell->rect().center()));
}

void ChartView::announceCursor()
{
    if (!m_grid->hasFocus())
        return;
    GridCell* cell = m_cells[std::size_t(m_grid->cursor())];
    // Qt 6.4 tells AT-SPI of a new name without the name, and Orca says nothing of it; a cell
    // renamed under the cursor (pressed, or shown on another page or group) is told as a new
    // object taking the focus, which screen readers speak.
    if (cell == m_announcedCell && cell->accessibleName() != m_announcedName)
        QAccessible::deleteAccessibleInterface(
            QAccessible::uniqueId(QAccessible::queryAccessibleInterface(cell)));
    m_announcedCell = cell;
    m_announcedName = cell->accessibleName();
    QAccessibleEvent event(cell, QAccessible::Focus);
    QAccessible::updateAccessibility(&event);
}

void ChartView::announceCursorChange()
{
    const GridCell* cell = m_cells[std::size_t(m_grid->cursor())];
    if (cell != m_announcedCell || cell->accessibleName() != m_announcedName)
        announceCursor();
}
