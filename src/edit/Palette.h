#pragma once

#include "edit/ChartChange.h"
#include "state/WindowState.h"

#include <optional>

// The two element palettes. Each press names an element by its ordinal; the
// palette that does not belong to the current mode changes nothing.
enum class PaletteKind { SamePattern, Batch };

// Same-pattern palette: the element becomes the one a click places. False
// (nothing changed) outside same-pattern mode.
bool chooseElement(WindowState& state, int ordinal);

// A batch fill: the element it writes (the window keeps it as
// `BatchElement`) and the cells it writes.
struct BatchFill
{
    ElementCode element;
    ChartChange change;
};

// Batch palette: the element fills the batch range of absolute steps in the
// chosen channel of the group shown, in ascending steps, whatever the cells
// of `chart` held and whatever the step count. None outside batch mode or
// when the range runs backwards.
std::optional<BatchFill> batchFill(const PatternTable& chart, const WindowState& state, int ordinal);
