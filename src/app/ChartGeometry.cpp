#include "app/ChartGeometry.h"

namespace ChartGeometry {

RectPt gridCell(int index)
{
    return {Left + ColumnPitch * (index / ChannelsPerGroup), Top + RowPitch * (index % ChannelsPerGroup),
            CellSize, CellSize};
}

RectPt endMarker(int page, int stepCount)
{
    const double left = Left + ColumnPitch * stepsInUseOnPage(page, stepCount);
    return {left, Top, Left + Width + MarkerOverhang - left, Height + MarkerOverhang};
}

} // namespace ChartGeometry
