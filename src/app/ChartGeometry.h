#pragma once

#include "app/Units.h"
#include "chart/CellMapping.h"

// The chart grid in window points: the one place that says where the 200 cells
// stand and where the end marker goes. Widget-free; the layout table, the
// window and the tests use it.
namespace ChartGeometry {

// Grid member 0, the top-left cell.
inline constexpr double Left = 42;
inline constexpr double Top = 72;
inline constexpr double CellSize = 12;
// From one column (step) to the next, and from one row (channel) to the next.
inline constexpr double ColumnPitch = 12;
inline constexpr double RowPitch = 15;
inline constexpr double Width = ColumnPitch * StepsPerPage;
inline constexpr double Height = RowPitch * (ChannelsPerGroup - 1) + CellSize;
// The end marker reaches this far past the grid's right and bottom edges.
inline constexpr double MarkerOverhang = 0.75;

// Grid member i: column i / 5, row i % 5.
RectPt gridCell(int index);

// Where the end marker stands for a step count on a page. It starts at the
// first column out of use and ends just past the grid's right edge.
RectPt endMarker(int page, int stepCount);

} // namespace ChartGeometry
