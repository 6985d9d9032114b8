#pragma once

// Where the end marker stands for a step count on a page, in points. It starts
// at the first column out of use and ends just past the grid's right edge.
struct MarkerPlacement
{
    double left;
    double width;
    friend bool operator==(const MarkerPlacement&, const MarkerPlacement&) = default;
};

MarkerPlacement endMarkerPlacement(int page, int stepCount);
