#include "edit/CellClick.h"

std::optional<ElementCode> nextInCycle(const ElementCode& current)
{
    // OFF (3) -> UP (0) -> DOWN (1) -> ON (2) -> OFF; only the numbers count, never the texts.
    static const int next[] = {1, 2, 3, 0};
    for (int code = 0; code < 4; ++code)
        if (current == ElementCode::number(code))
            return ElementCode::number(next[code]);
    return std::nullopt;
}

ChartChange cellClick(const PatternTable& chart, qint16 stepCount, const WindowState& state, int index)
{
    if (state.EditMode == EditingMode::Batch)
        return {};
    const ChartCell cell = cellOfGridIndex(index, state.CurrentPage, state.CurrentGroup);
    if (cell.step >= stepCount)
        return {};
    const ElementCode& current = chart.at(cell.step, cell.channel);
    if (state.EditMode == EditingMode::SamePattern)
        return {{{cell, current, state.SelectedElement}}, std::nullopt};
    if (auto next = nextInCycle(current))
        return {{{cell, current, *next}}, std::nullopt};
    return {};
}
