#include "app/ChartView.h"

#include "app/Announcer.h"
#include "app/ChartAccessibility.h"
#include "app/ChartGeometry.h"
#include "app/ChartGrid.h"
#include "app/ControlAccess.h"
#include "app/ControlFactory.h"
#include "app/Controls.h"
#include "app/ElementPictures.h"
#include "app/FormControls.h"
#include "app/WindowContext.h"
#include "chart/CellName.h"
#include "edit/PageSwitch.h"
#include "state/WindowState.h"

#include <QCursor>
#include <QKeyEvent>
#include <QScopedValueRollback>
#include <algorithm>

namespace {

// "44" or "44～46".
QString span(int first, int last)
{
    return first == last ? QString::number(first) : QStringLiteral("%1～%2").arg(first).arg(last);
}

} // namespace

ChartView::ChartView(WindowContext& context, ChartGrid* grid, const ElementPictures& pictures)
    : QObject(&context.window), m_context(context), m_pictures(pictures), m_grid(grid)
{
    connect(m_grid, &ChartGrid::cellClicked, this, &ChartView::cellClicked);
    connect(m_grid, &ChartGrid::cellMenuRequested, this, &ChartView::cellMenuRequested);
    connect(m_grid, &ChartGrid::moveRequested, this, &ChartView::moveCursor);
    connect(m_grid, &ChartGrid::groupRequested, this, &ChartView::chooseGroup);
    connect(m_grid, &ChartGrid::activated, this, &ChartView::actAtCursor);
    connect(m_grid, &ChartGrid::menuRequested, this, &ChartView::openMenuAtCursor);
    connect(
        m_grid, &ChartGrid::focusEntered, this, [this] { tellChartFocus(m_grid); }, Qt::QueuedConnection);

    const FormControls& controls = m_context.controls;
    for (std::size_t group = 0; group < controls.groupTabs.size(); ++group) {
        ClickLabel* tab = controls.groupTabs[group];
        // One Tab stop for the tabs, at the group shown; Left and Right move between them, and
        // Space or Return presses one as a click does. A click leaves the focus where it is.
        tab->setFocusPolicy(int(group) == m_context.state.CurrentGroup ? Qt::TabFocus : Qt::NoFocus);
        tab->installEventFilter(this);
        connect(tab, &ClickLabel::clicked, this, [this, group] { emit groupTabClicked(int(group)); });
    }
    connect(&m_context.document, &ChartDocument::changed, this, &ChartView::documentChanged);
    connect(&m_context.document, &ChartDocument::stepCountChanged, this,
            [this] { PlaceEndMarker(m_context.state.CurrentPage); });
}

void ChartView::DrawPage(int page)
{
    const PatternTable& chart = m_context.document.PatternData();
    for (int index = 0; index < GridSize; ++index) {
        const ChartCell cell = cellOfGridIndex(index, page, m_context.state.CurrentGroup);
        m_grid->showCell(index, chart.at(cell.step, cell.channel));
    }
}

void ChartView::PlaceEndMarker(int page)
{
    // A page the buttons never show (the state may say so) leaves the marker where it is.
    if (page == 0 || page == 1)
        m_context.controls.endMarker->setRectPt(
            ChartGeometry::endMarker(page, m_context.document.StepCount()));
}

void ChartView::showGroup(int group)
{
    const int before = m_context.state.CurrentGroup;
    m_context.state.CurrentGroup = qint16(group);
    clearSelection();
    const FormControls& controls = m_context.controls;
    // The tab of the group shown takes the panel's colour, as group A's does at start.
    for (std::size_t tab = 0; tab < controls.groupTabs.size(); ++tab) {
        const bool shown = int(tab) == group;
        controls.groupTabShapes[tab]->setFillColor(layoutColour(shown ? Layout::Violet : Layout::Lavender));
        controls.groupTabs[tab]->setFocusPolicy(shown ? Qt::TabFocus : Qt::NoFocus);
    }
    tellGroupTabChoice(controls, before, group);
    if (m_context.state.CurrentPage == 0 || m_context.state.CurrentPage == 1)
        DrawPage(m_context.state.CurrentPage);
    renewChartCells(m_grid);
    announceShown();
}

void ChartView::showPage(int page)
{
    clearSelection();
    m_context.controls.pageCaption->setText(pageCaption(page));
    m_context.controls.pageStrip->setPixmap(m_pictures.pageStrip(page));
    DrawPage(page);
    PlaceEndMarker(page);
    renewChartCells(m_grid);
    announceShown();
}

void ChartView::announceShown()
{
    const int page = m_context.state.CurrentPage;
    m_context.announcer.announce(QStringLiteral("%1、ステップ%2～%3 を表示")
                                     .arg(groupName(m_context.state.CurrentGroup))
                                     .arg(page * StepsPerPage + 1)
                                     .arg(page * StepsPerPage + StepsPerPage));
    // A key that moved the cursor here tells the cell it lands on once the view has settled.
    if (!m_keyMove)
        tellChartFocus(m_grid);
}

void ChartView::documentChanged(const ChartChange& change, ChartDocument::Origin origin)
{
    if (origin == ChartDocument::Origin::History)
        if (const std::optional<ChartCell> first = change.firstCell())
            showWhere(*first);
    bool cursorCellChanged = false;
    for (const CellEdit& edit : change.cells)
        if (const std::optional<int> index = shownIndexOf(edit.cell)) {
            m_grid->showCell(*index, edit.after);
            renewChartCell(m_grid, *index);
            cursorCellChanged = cursorCellChanged || *index == m_grid->cursor();
        }
    if (cursorCellChanged)
        tellChartFocus(m_grid);
}

void ChartView::showWhere(ChartCell cell)
{
    WindowState& state = m_context.state;
    if (const int group = cell.channel / ChannelsPerGroup; group != state.CurrentGroup)
        showGroup(group);
    if (const int page = cell.step / StepsPerPage;
        page != state.CurrentPage && switchPage(state, state.CurrentPage, page))
        showPage(page);
}

ChartCell ChartView::cellOf(int index) const
{
    return m_grid->cellOf(index);
}

std::optional<ChartCell> ChartView::cellUnderPointer() const
{
    if (const std::optional<int> member = m_grid->memberAt(m_grid->mapFromGlobal(QCursor::pos())))
        return cellOf(*member);
    return std::nullopt;
}

std::optional<ChartCell> ChartView::shownCursor() const
{
    if (!m_grid->cursorShown())
        return std::nullopt;
    return cellOf(m_grid->cursor());
}

ChartCell ChartView::cursorCell() const
{
    return cellOf(m_grid->cursor());
}

void ChartView::follow(const CellBlock& before, const CellBlock& after)
{
    const bool selected = m_selection.has_value();
    ChartCell cursor = cursorCell();
    cursor.step =
        std::clamp(cursor.step + after.first.step - before.first.step, 0, PatternTable::UsedSteps - 1);
    showWhere(cursor);
    if (const std::optional<int> index = shownIndexOf(cursor))
        m_grid->placeCursor(*index, m_grid->cursorShown());
    clearSelection();
    if (selected && shownIndexOf(after.first) && shownIndexOf(after.last)) {
        m_selectionAnchor = after.first;
        m_selection = after;
        frameSelection();
    }
    tellChartFocus(m_grid);
}

void ChartView::selectTo(ChartCell cell)
{
    if (!m_selection)
        m_selectionAnchor = cell;
    m_selection = CellBlock::spanning(m_selectionAnchor, cell);
    frameSelection();
    m_context.announcer.announce(QStringLiteral("ステップ%1、CH%2 を選択")
                                     .arg(span(m_selection->first.step + 1, m_selection->last.step + 1),
                                          span(m_selection->first.channel % ChannelsPerGroup + 1,
                                               m_selection->last.channel % ChannelsPerGroup + 1)));
}

std::optional<int> ChartView::shownIndexOf(ChartCell cell) const
{
    return gridIndexOfCell(cell, m_context.state.CurrentPage, m_context.state.CurrentGroup);
}

void ChartView::frameSelection()
{
    m_grid->setSelection(QRect(m_selection->first.step % StepsPerPage,
                               m_selection->first.channel % ChannelsPerGroup, m_selection->steps(),
                               m_selection->channels()));
    tellChartSelection(m_grid);
}

void ChartView::clearSelection()
{
    if (!m_selection)
        return;
    m_selection.reset();
    m_grid->setSelection({});
    tellChartSelection(m_grid);
}

void ChartView::moveCursor(CursorMove move, bool select)
{
    const QScopedValueRollback<bool> keyMove(m_keyMove, true);
    // The first key shows the cursor, also one that cannot move it.
    m_grid->showCursor();
    const int from = m_grid->cursor();
    const std::optional<ChartCell> to = cursorTarget(cellOf(from), move, m_context.document.StepCount());
    if (!to)
        return;
    if (select) {
        // The selection stays on the page shown; it grows from the cell the cursor leaves.
        const std::optional<int> index = shownIndexOf(*to);
        if (!index)
            return;
        if (!m_selection)
            emit cellClicked(from, Qt::ShiftModifier);
        m_grid->placeCursor(*index, true);
        emit cellClicked(*index, Qt::ShiftModifier);
    } else {
        if (!goTo(*to))
            return;
        m_grid->placeCursor(*shownIndexOf(*to), true);
    }
    tellChartFocus(m_grid);
}

bool ChartView::goTo(ChartCell cell)
{
    const WindowState& state = m_context.state;
    const int group = cell.channel / ChannelsPerGroup;
    if (group != state.CurrentGroup)
        emit groupTabClicked(group);
    const int page = cell.step / StepsPerPage;
    if (group == state.CurrentGroup && page != state.CurrentPage)
        emit pageRequested(state.CurrentPage, page);
    return group == state.CurrentGroup && page == state.CurrentPage;
}

void ChartView::chooseGroup(int group)
{
    {
        const QScopedValueRollback<bool> keyMove(m_keyMove, true);
        m_grid->showCursor();
        emit groupTabClicked(group);
    }
    tellChartFocus(m_grid);
}

void ChartView::actAtCursor()
{
    m_grid->showCursor();
    emit cellClicked(m_grid->cursor(), Qt::NoModifier);
}

void ChartView::openMenuAtCursor()
{
    m_grid->showCursor();
    const QRect cell = m_grid->cellRect(m_grid->cursor());
    emit cellMenuRequested(m_grid->cursor(), m_context.window.mapToGlobal(cell.center()));
}

bool ChartView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const FormControls& controls = m_context.controls;
    const auto tab = std::find(controls.groupTabs.begin(), controls.groupTabs.end(), watched);
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (tab == controls.groupTabs.end() || (key != Qt::Key_Left && key != Qt::Key_Right))
        return QObject::eventFilter(watched, event);
    const int count = int(controls.groupTabs.size());
    const int target =
        (int(tab - controls.groupTabs.begin()) + (key == Qt::Key_Left ? count - 1 : 1)) % count;
    emit groupTabClicked(target);
    // A switch refused during a transfer leaves the focus on the tab shown.
    controls.groupTabs[std::size_t(m_context.state.CurrentGroup)]->setFocus(Qt::TabFocusReason);
    return true;
}
