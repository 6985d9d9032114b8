#pragma once

#include "chart/CellMapping.h"

#include <optional>

// The keyboard's cursor on the chart: a chart cell that the chart's keys
// move. The window then shows the group and page of the cell it lands on,
// under the same rules as the group tabs and the page buttons.
enum class CursorMove {
    Left,          // one step back, from step 41 on to step 40 of the first page
    Right,         // one step on, from step 40 on to step 41 of the second page
    Up,            // one channel up, within the group
    Down,          // one channel down, within the group
    FirstStep,     // step 1
    LastStep,      // the last step in use: the step count
    PreviousPage,  // the same column and channel on the first page
    NextPage,      // the same column and channel on the second page
    PreviousGroup, // the same step and channel of the group before
    NextGroup,     // the same step and channel of the group after
};

// The cell `move` takes the cursor to from `from`, or none where it cannot
// go: before step 1 or after step 80, above CH1 or below CH5 of its group,
// before group A or after group H, or by a page move to the page it is on.
// For the last step, `stepCount` is the step count in use.
std::optional<ChartCell> cursorTarget(ChartCell from, CursorMove move, int stepCount);
