#pragma once

#include <QRectF>
#include <QSize>

class QPainter;

// The program's artwork, painted with QPainter into any rectangle at any
// resolution: the sixteen element pictures, the step-number strips, the logo
// and the icon. The picture generator paints them into images at the build's
// sizes and at twice those; the chart sheet paints the elements straight onto
// a page, so paper and PDF get vector drawings rather than enlarged pixels.
//
// Each picture is designed on a grid of units (its size below). Painted at
// that size on a pixel device, one unit is one pixel, and every edge meets a
// pixel edge; at a whole multiple of it, every edge still does. Only filled
// shapes and a hand-made bitmap font are used, never the system's fonts, so
// the pictures come out the same on every machine.
namespace Artwork {

// An element picture, and each step of a strip, is this many units square.
inline constexpr int ElementUnits = 16;
// A strip holds one page of steps.
QSize stepStripUnits();
QSize logoUnits();
inline constexpr int IconUnits = 128;

// Greyed draws an element for a step out of use: the same shapes in light
// greys on a grey ground.
enum class Tone { Normal, Greyed };

// Element `ordinal` (0 to 15 in the element table's order) filling `target`.
void paintElement(QPainter& painter, const QRectF& target, int ordinal, Tone tone = Tone::Normal);
// The step numbers of page `page` (0 or 1), one centred over each chart column.
void paintStepStrip(QPainter& painter, const QRectF& target, int page);
// The program's name with light bars rising and falling, on navy.
void paintLogo(QPainter& painter, const QRectF& target);
// The window's icon: a square navy tile with a frame and light bars.
void paintIcon(QPainter& painter, const QRectF& target);
// The desktop's icon: the same picture on a rounded tile; what lies outside
// the tile is left as it was (transparent on a transparent image).
void paintThemeIcon(QPainter& painter, const QRectF& target);

} // namespace Artwork
