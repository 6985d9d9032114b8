#pragma once

#include <optional>

// Between the 200 members of the visible grid and the cells of the chart.
// Member i is column i / 5 (the step within the page) and row i % 5 (the
// channel within the group).
struct ChartCell
{
    int step;
    int channel;
    friend bool operator==(const ChartCell&, const ChartCell&) = default;
};

inline constexpr int StepsPerPage = 40;
inline constexpr int ChannelsPerGroup = 5;
inline constexpr int GridSize = StepsPerPage * ChannelsPerGroup;

ChartCell cellOfGridIndex(int index, int page, int group);
// The grid member that shows `cell`, or none when it is not on the shown page and group.
std::optional<int> gridIndexOfCell(ChartCell cell, int page, int group);

// The steps in use for a step count: the count itself when it is 1 to 80;
// all 80 for any other (only a hand-edited file has one), as the checks of a
// file count them.
int stepsInUse(int stepCount);

// How many of the 40 steps of `page` (0 or 1) are in use for a step count:
// those before the count. A count outside 1 to 80 leaves page 0 wholly in use
// and page 1 out of use. The window's end marker and the chart sheet stand at
// this column.
int stepsInUseOnPage(int page, int stepCount);
