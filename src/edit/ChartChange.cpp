#include "edit/ChartChange.h"

#include <algorithm>

ChartChange ChartChange::inverse() const
{
    ChartChange back;
    back.cells.reserve(cells.size());
    for (const CellEdit& edit : cells)
        back.cells.push_back({edit.cell, edit.after, edit.before});
    if (stepCount)
        back.stepCount = StepCountEdit{stepCount->after, stepCount->before};
    return back;
}

void ChartChange::applyTo(PatternTable& chart, qint16& count) const
{
    for (const CellEdit& edit : cells)
        chart.at(edit.cell.step, edit.cell.channel) = edit.after;
    if (stepCount)
        count = stepCount->after;
}

bool ChartChange::changesAnything() const
{
    return (stepCount && stepCount->before != stepCount->after) ||
           std::any_of(cells.begin(), cells.end(),
                       [](const CellEdit& edit) { return !(edit.before == edit.after); });
}

std::optional<ChartCell> ChartChange::firstCell() const
{
    if (cells.empty())
        return std::nullopt;
    return cells.front().cell;
}

ChartChange ChartChange::between(const PatternTable& before, qint16 stepCountBefore,
                                 const PatternTable& after, qint16 stepCountAfter)
{
    ChartChange change;
    for (int step = 0; step < PatternTable::UsedSteps; ++step)
        for (int channel = 0; channel < PatternTable::UsedChannels; ++channel) {
            const ElementCode& old = before.at(step, channel);
            const ElementCode& now = after.at(step, channel);
            if (!(old == now))
                change.cells.push_back({{step, channel}, old, now});
        }
    if (stepCountBefore != stepCountAfter)
        change.stepCount = StepCountEdit{stepCountBefore, stepCountAfter};
    return change;
}
