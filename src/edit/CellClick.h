#pragma once

#include "chart/CellMapping.h"
#include "chart/ElementCode.h"
#include "state/WindowState.h"

#include <optional>

// What a click on a chart cell changes, once the handler opening has let it go on.
struct CellChange
{
    ChartCell cell;
    ElementCode value;
};

// The normal-mode cycle OFF, UP, DOWN, ON, OFF; none for any other value.
std::optional<ElementCode> nextInCycle(const ElementCode& current);

// The change a click on grid member `index` makes: none in batch mode, for a
// step at or past the step count, or in normal mode for a value outside the
// cycle. Same-pattern mode places the selected element in the kind it holds.
std::optional<CellChange> cellClick(const WindowState& state, int index);
