#pragma once

#include <QString>
#include <QtGlobal>

// Lamp colours as RGB (0xRRGGBB): idle, the two blink phases of a running
// transfer, and its two endings.
namespace LampColour {
inline constexpr quint32 Idle = 0xFFFFFF;
inline constexpr quint32 Busy = 0xFFC080;
inline constexpr quint32 BusyBlink = 0xFFE0C0;
inline constexpr quint32 Success = 0xC0FFC0;
inline constexpr quint32 Failure = 0xFFC0C0;
} // namespace LampColour

// The status lamp `Shape11` (its fill) and the status label `disp1` (its caption).
struct StatusDisplay
{
    quint32 lamp = LampColour::Idle;
    QString caption;
    friend bool operator==(const StatusDisplay&, const StatusDisplay&) = default;
};
