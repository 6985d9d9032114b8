#pragma once

#include "chart/ElementCode.h"
#include "chart/PatternTable.h"
#include "edit/ChartChange.h"
#include "state/WindowState.h"

#include <optional>

// The normal-mode cycle OFF, UP, DOWN, ON, OFF; none for any other value.
std::optional<ElementCode> nextInCycle(const ElementCode& current);

// The change a click on grid member `index` of the page and group `state`
// shows makes in `chart`, once the handler opening has let it go on: the one
// cell it writes, or nothing in batch mode, for a step at or past
// `stepCount`, or in normal mode for a value outside the cycle. Same-pattern
// mode places the selected element in the kind it holds, also over the same
// element.
ChartChange cellClick(const PatternTable& chart, qint16 stepCount, const WindowState& state, int index);
