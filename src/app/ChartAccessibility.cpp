#include "app/ChartAccessibility.h"

#include "app/ChartGrid.h"

#include <QAccessibleWidget>

namespace {

// A list item rather than a table cell: without Qt's table interface a table
// says nothing of its rows and columns, and the cells' names say where they
// are; screen readers read a list item as its name alone.
class CellAccessible : public QAccessibleWidget
{
public:
    explicit CellAccessible(GridCell* cell) : QAccessibleWidget(cell, QAccessible::ListItem) {}

    // The cells lie in the window among its other controls; they belong to the chart.
    QAccessibleInterface* parent() const override
    {
        return cell()->grid() ? QAccessible::queryAccessibleInterface(cell()->grid())
                              : QAccessibleWidget::parent();
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        const ChartGrid* grid = cell()->grid();
        if (!grid)
            return state;
        state.focusable = true;
        state.focused = grid->hasFocus() && grid->cursor() == cell()->index();
        state.selectable = true;
        state.selected = grid->isSelected(cell()->index());
        return state;
    }

private:
    const GridCell* cell() const { return static_cast<const GridCell*>(widget()); }
};

// The chart is the list of its cells in the order of the grid: the five
// channels of step 1, then those of step 2, and so on.
class GridAccessible : public QAccessibleWidget
{
public:
    explicit GridAccessible(ChartGrid* grid) : QAccessibleWidget(grid, QAccessible::List) {}

    int childCount() const override { return GridSize; }

    QAccessibleInterface* child(int index) const override
    {
        return index >= 0 && index < GridSize ? QAccessible::queryAccessibleInterface(grid()->cell(index))
                                              : nullptr;
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        const auto* cell = child ? qobject_cast<const GridCell*>(child->object()) : nullptr;
        return cell && cell->grid() == grid() ? cell->index() : -1;
    }

    QAccessibleInterface* childAt(int x, int y) const override
    {
        for (int index = 0; index < GridSize; ++index) {
            const GridCell* cell = grid()->cell(index);
            if (QRect(cell->mapToGlobal(QPoint(0, 0)), cell->size()).contains(x, y))
                return child(index);
        }
        return nullptr;
    }

    QAccessibleInterface* focusChild() const override
    {
        return grid()->hasFocus() ? child(grid()->cursor()) : nullptr;
    }

private:
    ChartGrid* grid() const { return static_cast<ChartGrid*>(widget()); }
};

QAccessibleInterface* chartInterface(const QString& className, QObject* object)
{
    if (className == QLatin1String("GridCell"))
        return new CellAccessible(static_cast<GridCell*>(object));
    if (className == QLatin1String("ChartGrid"))
        return new GridAccessible(static_cast<ChartGrid*>(object));
    return nullptr;
}

} // namespace

void installChartAccessibility()
{
    QAccessible::installFactory(chartInterface);
}
