#include "chart/EndMarker.h"

namespace {
constexpr double GridLeft = 42;
constexpr double ColumnWidth = 12;
constexpr double FullWidth = 480.75; // 40 columns and the 0.75 strip right of the grid
} // namespace

MarkerPlacement endMarkerPlacement(int page, int stepCount)
{
    const int firstStep = page == 0 ? 0 : 40;
    const int used = stepCount - firstStep;
    if (used >= 1 && used <= 40)
        return {GridLeft + ColumnWidth * used, FullWidth - ColumnWidth * used};
    // Outside the page's range: page 0 counts as fully in use, page 1 as not in use.
    if (page == 0)
        return {GridLeft + ColumnWidth * 40, 0.75};
    return {GridLeft, FullWidth};
}
