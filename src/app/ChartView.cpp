#include "app/ChartView.h"

#include "app/ChartGeometry.h"
#include "app/ControlFactory.h"
#include "app/Controls.h"
#include "app/ElementPictures.h"
#include "edit/PageSwitch.h"
#include "state/WindowState.h"

#include <QCursor>

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
        auto* cell = new ChartCellLabel(m_window);
        cell->setObjectName(QStringLiteral("Picture1(%1)").arg(i));
        cell->setGeometry(pixelRect(ChartGeometry::gridCell(i)));
        connect(cell, &ClickLabel::clicked, this,
                [this, i](Qt::KeyboardModifiers keys) { emit cellClicked(i, keys); });
        // A right click opens the chart menu; the cell's click stays the left button's.
        cell->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(cell, &QWidget::customContextMenuRequested, this,
                [this, cell, i](const QPoint& at) { emit cellMenuRequested(i, cell->mapToGlobal(at)); });
        m_cells[std::size_t(i)] = cell;
    }
}

void ChartView::attachControls()
{
    for (std::size_t group = 0; group < GroupTabs.size(); ++group) {
        m_groupTabs[group] = child<ShapeWidget>(m_window, GroupTabs[group].shape);
        connect(child<ClickLabel>(m_window, GroupTabs[group].label), &ClickLabel::clicked, this,
                [this, group] { emit groupTabClicked(int(group)); });
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
        const QPixmap picture = m_pictures.ElementPicture(m_state.PatternData.at(cell.step, cell.channel));
        if (!picture.isNull())
            m_cells[std::size_t(index)]->setPixmap(picture);
    }
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
    const std::optional<int> index = gridIndexOfCell(cell, m_state.CurrentPage, m_state.CurrentGroup);
    const QPixmap picture = m_pictures.ElementPicture(value);
    if (index && !picture.isNull())
        m_cells[std::size_t(*index)]->setPixmap(picture);
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
}

void ChartView::clearSelection()
{
    m_selection.reset();
    m_selectionFrame->frame({});
}
