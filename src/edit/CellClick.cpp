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

std::optional<CellChange> cellClick(const WindowState& state, int index)
{
    if (state.EditMode == EditingMode::Batch)
        return std::nullopt;
    const ChartCell cell = cellOfGridIndex(index, state.CurrentPage, state.CurrentGroup);
    if (cell.step >= state.StepCount)
        return std::nullopt;
    if (state.EditMode == EditingMode::SamePattern)
        return CellChange{cell, state.SelectedElement};
    if (auto next = nextInCycle(state.PatternData.at(cell.step, cell.channel)))
        return CellChange{cell, *next};
    return std::nullopt;
}
