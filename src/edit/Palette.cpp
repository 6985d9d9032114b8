#include "edit/Palette.h"

#include "chart/CellMapping.h"

bool chooseElement(WindowState& state, int ordinal)
{
    if (state.EditMode != EditingMode::SamePattern)
        return false;
    state.SelectedElement = ElementCode::ofOrdinal(ordinal);
    return true;
}

std::optional<BatchFill> batchFill(const PatternTable& chart, const WindowState& state, int ordinal)
{
    if (state.EditMode != EditingMode::Batch || state.BatchToStep < state.BatchFromStep)
        return std::nullopt;
    BatchFill fill{ElementCode::ofOrdinal(ordinal), {}};
    const int channel = state.CurrentGroup * ChannelsPerGroup + state.BatchChannel;
    for (int step = state.BatchFromStep; step <= state.BatchToStep; ++step)
        fill.change.cells.push_back({{step, channel}, chart.at(step, channel), fill.element});
    return fill;
}
