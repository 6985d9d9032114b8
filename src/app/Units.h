#pragma once

#include <QRect>
#include <cmath>

// The window is laid out in points; at 96 dots per inch a point is 4/3 pixel.
// Every conversion goes through here so that abutting controls share their
// pixel edges.
struct RectPt
{
    double left;
    double top;
    double width;
    double height;
    friend bool operator==(const RectPt&, const RectPt&) = default;
};

inline int pointsToPixels(double points)
{
    return int(std::lround(points * 4.0 / 3.0));
}

inline QRect pixelRect(const RectPt& r)
{
    const int left = pointsToPixels(r.left);
    const int top = pointsToPixels(r.top);
    return QRect(left, top, pointsToPixels(r.left + r.width) - left, pointsToPixels(r.top + r.height) - top);
}
