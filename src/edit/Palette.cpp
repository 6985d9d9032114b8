#include "edit/Palette.h"

#include "chart/CellMapping.h"

bool chooseElement(WindowState& state, int ordinal)
{
    if (state.EditMode != EditingMode::SamePattern)
        return false;
    state.SelectedElement = ElementCode::ofOrdinal(ordinal);
    return true;
}

bool batchFill(WindowState& state, int ordinal)
{
    if (state.EditMode != EditingMode::Batch || state.BatchToStep < state.BatchFromStep)
        return false;
    state.BatchElement = ElementCode::ofOrdinal(ordinal);
    const int channel = state.CurrentGroup * ChannelsPerGroup + state.BatchChannel;
    for (int step = state.BatchFromStep; step <= state.BatchToStep; ++step)
        state.PatternData.at(step, channel) = state.BatchElement;
    return true;
}
