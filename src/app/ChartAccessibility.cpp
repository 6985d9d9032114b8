#include "app/ChartAccessibility.h"

#include "app/ChartGrid.h"
#include "chart/CellName.h"
#include "model/ChartDocument.h"
#include "state/WindowState.h"

#include <QAccessibleWidget>
#include <QPointer>
#include <QWindow>
#include <array>

namespace {

constexpr int Rows = ChannelsPerGroup;
constexpr int Columns = StepsPerPage;
// The table's children: a row of headers above the cells and a column of
// headers before them, with the corner where the two meet; index r * 41 + c.
constexpr int ChildColumns = Columns + 1;
constexpr int ChildCount = (Rows + 1) * ChildColumns;

class TableAccessible;

// One child of the chart's table that is no widget: a cell, a header or the corner.
class ChildAccessible : public QAccessibleInterface, public QAccessibleTableCellInterface
{
public:
    ChildAccessible(ChartGrid* grid, int row, int column) : m_grid(grid), m_row(row), m_column(column) {}

    bool isValid() const override { return !m_grid.isNull(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_grid ? m_grid->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_grid); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QList<QPair<QAccessibleInterface*, QAccessible::Relation>>
    relations(QAccessible::Relation = QAccessible::AllRelations) const override
    {
        return {};
    }
    QAccessibleInterface* focusChild() const override { return nullptr; }
    void setText(QAccessible::Text, const QString&) override {}

    QAccessible::Role role() const override
    {
        if (m_row < 0)
            return QAccessible::ColumnHeader;
        if (m_column < 0)
            return QAccessible::RowHeader;
        return QAccessible::Cell;
    }

    QString text(QAccessible::Text kind) const override
    {
        if (!m_grid)
            return {};
        const WindowState& state = m_grid->state();
        if (m_row < 0 && m_column < 0)
            return kind == QAccessible::Name ? QStringLiteral("チャネル") : QString();
        if (m_row < 0)
            return kind == QAccessible::Name
                       ? QStringLiteral("ステップ%1").arg(state.CurrentPage * StepsPerPage + m_column + 1)
                       : QString();
        if (m_column < 0)
            return kind == QAccessible::Name
                       ? QStringLiteral("%1 CH%2").arg(groupName(state.CurrentGroup)).arg(m_row + 1)
                       : QString();
        const ChartCell cell = m_grid->cellOf(member());
        const ElementCode& value = m_grid->document().PatternData().at(cell.step, cell.channel);
        if (kind == QAccessible::Name)
            return valueName(value);
        if (kind == QAccessible::Description)
            return cellName(cell, value);
        return {};
    }

    QRect rect() const override
    {
        if (!m_grid)
            return {};
        // Headers stand where the step numbers and the channel captions are, above and
        // before the cells.
        const QRect cell = m_grid->cellRect(std::max(m_column, 0) * Rows + std::max(m_row, 0));
        QRect area = cell;
        if (m_row < 0)
            area.translate(0, -2 * cell.height());
        if (m_column < 0)
            area.translate(-2 * cell.width(), 0);
        return QRect(m_grid->parentWidget()->mapToGlobal(area.topLeft()), area.size());
    }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        if (!m_grid || role() != QAccessible::Cell)
            return state;
        state.focusable = true;
        state.focused = m_grid->hasFocus() && m_grid->cursor() == member();
        state.selectable = true;
        state.selected = m_grid->isSelected(member());
        return state;
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TableCellInterface && role() == QAccessible::Cell)
            return static_cast<QAccessibleTableCellInterface*>(this);
        return nullptr;
    }

    // QAccessibleTableCellInterface
    bool isSelected() const override { return m_grid && m_grid->isSelected(member()); }
    QList<QAccessibleInterface*> columnHeaderCells() const override;
    QList<QAccessibleInterface*> rowHeaderCells() const override;
    int columnIndex() const override { return m_column; }
    int rowIndex() const override { return m_row; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return parent(); }

private:
    int member() const { return m_column * Rows + m_row; }

    QPointer<ChartGrid> m_grid;
    int m_row;    // -1: the column headers' row
    int m_column; // -1: the row headers' column
};

class TableAccessible : public QAccessibleWidget, public QAccessibleTableInterface
{
public:
    explicit TableAccessible(ChartGrid* grid) : QAccessibleWidget(grid, QAccessible::Table) { m_ids.fill(0); }

    ~TableAccessible() override { forgetAll(); }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TableInterface)
            return static_cast<QAccessibleTableInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.multiSelectable = true;
        return state;
    }

    int childCount() const override { return ChildCount; }

    QAccessibleInterface* child(int index) const override
    {
        if (index < 0 || index >= ChildCount)
            return nullptr;
        QAccessible::Id& id = m_ids[std::size_t(index)];
        if (id != 0)
            if (QAccessibleInterface* known = QAccessible::accessibleInterface(id))
                return known;
        auto* made = new ChildAccessible(grid(), index / ChildColumns - 1, index % ChildColumns - 1);
        id = QAccessible::registerAccessibleInterface(made);
        return made;
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        if (!child)
            return -1;
        const QAccessible::Id id = QAccessible::uniqueId(const_cast<QAccessibleInterface*>(child));
        for (int index = 0; index < ChildCount; ++index)
            if (m_ids[std::size_t(index)] == id)
                return index;
        return -1;
    }

    QAccessibleInterface* childAt(int x, int y) const override
    {
        const QPoint at = grid()->mapFromGlobal(QPoint(x, y));
        if (const std::optional<int> member = grid()->memberAt(at))
            return child(childOfMember(*member));
        return nullptr;
    }

    QAccessibleInterface* focusChild() const override
    {
        if (!grid()->hasFocus())
            return nullptr;
        return child(childOfMember(grid()->cursor()));
    }

    // A cell (or all of them) told anew: the next look-up makes a new object.
    void forget(int index)
    {
        QAccessible::Id& id = m_ids[std::size_t(index)];
        if (id != 0 && QAccessible::accessibleInterface(id))
            QAccessible::deleteAccessibleInterface(id);
        id = 0;
    }
    void forgetAll()
    {
        for (int index = 0; index < ChildCount; ++index)
            forget(index);
    }
    static int childIndex(int row, int column) { return (row + 1) * ChildColumns + column + 1; }
    // The child of the grid's member `member` (a column of five a step).
    static int childOfMember(int member) { return childIndex(member % Rows, member / Rows); }

    // QAccessibleTableInterface
    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QString columnDescription(int column) const override
    {
        return child(childIndex(-1, column))->text(QAccessible::Name);
    }
    QString rowDescription(int row) const override
    {
        return child(childIndex(row, -1))->text(QAccessible::Name);
    }
    int columnCount() const override { return Columns; }
    int rowCount() const override { return Rows; }
    QAccessibleInterface* cellAt(int row, int column) const override
    {
        if (row < 0 || row >= Rows || column < 0 || column >= Columns)
            return nullptr;
        return child(childIndex(row, column));
    }
    int selectedCellCount() const override
    {
        return grid()->selection().width() * grid()->selection().height();
    }
    QList<QAccessibleInterface*> selectedCells() const override
    {
        QList<QAccessibleInterface*> cells;
        const QRect& selection = grid()->selection();
        for (int row = selection.top(); row <= selection.bottom(); ++row)
            for (int column = selection.left(); column <= selection.right(); ++column)
                cells << cellAt(row, column);
        return cells;
    }
    int selectedColumnCount() const override { return int(selectedColumns().size()); }
    int selectedRowCount() const override { return int(selectedRows().size()); }
    // A column or row is selected when all its cells are.
    QList<int> selectedColumns() const override
    {
        QList<int> columns;
        const QRect& selection = grid()->selection();
        if (selection.height() == Rows)
            for (int column = selection.left(); column <= selection.right(); ++column)
                columns << column;
        return columns;
    }
    QList<int> selectedRows() const override
    {
        QList<int> rows;
        const QRect& selection = grid()->selection();
        if (selection.width() == Columns)
            for (int row = selection.top(); row <= selection.bottom(); ++row)
                rows << row;
        return rows;
    }
    bool isColumnSelected(int column) const override { return selectedColumns().contains(column); }
    bool isRowSelected(int row) const override { return selectedRows().contains(row); }
    // The selection is made with the mouse and the keys, as the user sees it.
    bool selectRow(int) override { return false; }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent*) override {}

private:
    ChartGrid* grid() const { return static_cast<ChartGrid*>(widget()); }

    mutable std::array<QAccessible::Id, ChildCount> m_ids;
};

QList<QAccessibleInterface*> ChildAccessible::columnHeaderCells() const
{
    auto* table = static_cast<TableAccessible*>(parent());
    return {table->child(TableAccessible::childIndex(-1, m_column))};
}

QList<QAccessibleInterface*> ChildAccessible::rowHeaderCells() const
{
    auto* table = static_cast<TableAccessible*>(parent());
    return {table->child(TableAccessible::childIndex(m_row, -1))};
}

QAccessibleInterface* chartInterface(const QString& className, QObject* object)
{
    if (className == QLatin1String("ChartGrid"))
        return new TableAccessible(static_cast<ChartGrid*>(object));
    return nullptr;
}

TableAccessible* tableOf(ChartGrid* grid)
{
    return static_cast<TableAccessible*>(QAccessible::queryAccessibleInterface(grid));
}

} // namespace

void installChartAccessibility()
{
    QAccessible::installFactory(chartInterface);
}

void tellChartFocus(ChartGrid* grid)
{
    if (!grid->hasFocus())
        return;
    QAccessibleEvent event(grid, QAccessible::Focus);
    event.setChild(TableAccessible::childOfMember(grid->cursor()));
    QAccessible::updateAccessibility(&event);
}

void renewChartCell(ChartGrid* grid, int index)
{
    tableOf(grid)->forget(TableAccessible::childOfMember(index));
}

void renewChartCells(ChartGrid* grid)
{
    tableOf(grid)->forgetAll();
}

void tellChartSelection(ChartGrid* grid)
{
    QAccessibleEvent event(grid, QAccessible::SelectionWithin);
    QAccessible::updateAccessibility(&event);
}
