#include "app/ChartGeometry.h"

namespace ChartGeometry {

RectPt gridCell(int index)
{
    return {Left + ColumnPitch * (index / ChannelsPerGroup), Top + RowPitch * (index % ChannelsPerGroup),
            CellSize, CellSize};
}

RectPt endMarker(int page, int stepCount)
{
    const int used = stepCount - (page == 0 ? 0 : StepsPerPage);
    // Outside the page's range: page 0 counts as fully in use, page 1 as not in use.
    const int columns = used >= 1 && used <= StepsPerPage ? used : page == 0 ? StepsPerPage : 0;
    const double left = Left + ColumnPitch * columns;
    return {left, Top, Left + Width + MarkerOverhang - left, Height + MarkerOverhang};
}

} // namespace ChartGeometry
