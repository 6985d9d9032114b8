#pragma once

#include "app/Units.h"

#include <QtGlobal>
#include <optional>
#include <span>

// The window's controls as the designer placed them: one row per control,
// positions in points in window coordinates (children of the frame too), in
// stacking order from back to front within their kind. The chart grid follows
// fixed rules (ChartGeometry) and the hidden picture holders are built from the
// element table instead.
namespace Layout {

enum class Kind { Shape, RoundedShape, Label, Image, PictureBox, PushButton, ComboBox, OptionButton, Frame };
enum class Container { Window, Frame };
enum class Align { Left, Center };

// RGB 0xRRGGBB, or one of the system colours below.
using Colour = std::optional<quint32>;
inline constexpr quint32 SystemWindowText = 0x80000008;
inline constexpr quint32 SystemWindowBackground = 0x80000005;

inline constexpr quint32 Navy = 0x000040;
inline constexpr quint32 Lavender = 0xC0C0FF;
inline constexpr quint32 Violet = 0x8080FF;
inline constexpr quint32 White = 0xFFFFFF;

struct Font
{
    double points = 0; // 0: the window's default font
    bool bold = false;
};

struct Control
{
    const char* name;
    Kind kind;
    RectPt rect;
    Container container = Container::Window;
    const char* caption = "";
    Colour back = {};   // background or shape fill; none: transparent
    Colour fore = {};   // text colour; none: default
    Colour border = {}; // shapes only; none: no border
    Font font = {};
    Align align = Align::Left;
    const char* toolTip = nullptr;
    const char* listPrefix = nullptr; // combo boxes: items prefix + 1 .. prefix + listCount
    int listCount = 0;
    bool checked = false;
};

std::span<const Control> controls();

// The frame's children are listed in window coordinates; this is where the frame's inside begins.
inline constexpr double FrameLeft = 15;
inline constexpr double FrameTop = 162;

inline constexpr RectPt ClientArea{0, 0, 546, 328.5};
inline constexpr Font DefaultFont{9, false};

} // namespace Layout
