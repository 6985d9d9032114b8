#pragma once

#include "chart/ElementCode.h"

#include <array>

// The sixteen dimming elements: caption, palette buttons, picture holder and
// picture file of each. This is the one table of them: the palettes' buttons
// and their captions, the pictures the build draws and lists, start-up and the
// chart drawing all come from it.
struct ElementRow
{
    int ordinal;
    const char* caption;
    const char* samePatternButton;
    const char* batchButton;
    const char* holder;
    const char* file;

    ElementCode code() const { return ElementCode::ofOrdinal(ordinal); }
};

// cmake/Pictures.cmake reads the picture files out of the rows below and the
// page strips' table: keep each file name a quoted string on one line.
inline constexpr std::array<ElementRow, ElementCount> ElementTable = {{
    {0, "UP", "Command8", "Command12", "UP", "UP.jpg"},
    {1, "DOWN", "Command9", "Command13", "DOWN", "DOWN.jpg"},
    {2, "ON", "Command10", "Command14", "ON_", "ON.jpg"},
    {3, "OFF", "Command11", "Command15", "OFF", "OFF.jpg"},
    {4, "UP-L", "Command16", "Command22", "UPLM", "UPLM.jpg"},
    {5, "UP-H", "Command17", "Command23", "UPMH", "UPMH.jpg"},
    {6, "DOWN-H", "Command18", "Command24", "DOWNHM", "DOWNHM.jpg"},
    {7, "DOWN-L", "Command19", "Command25", "DOWNML", "DOWNML.jpg"},
    {8, "ON-OFF", "Command20", "Command26", "ONOFF", "ONOFF.jpg"},
    {9, "OFF-ON", "Command21", "Command27", "OFFON", "OFFON.jpg"},
    {10, "ON-1/2", "Command28", "Command34", "ONHF", "ONHF.jpg"},
    {11, "ON-1/4", "Command29", "Command35", "ONQT", "ONQT.jpg"},
    {12, "UP-L(1/4)", "Command30", "Command36", "UPQL", "UPQL.jpg"},
    {13, "UP-H(1/4)", "Command31", "Command37", "UPQH", "UPQH.jpg"},
    {14, "DOWN-H(1/4)", "Command32", "Command38", "DOWNQH", "DOWNQH.jpg"},
    {15, "DOWN-L(1/4)", "Command33", "Command39", "DOWNQL", "DOWNQL.jpg"},
}};

// The two step-number strips shown above the grid, one per page.
struct PageStripRow
{
    int page;
    const char* holder;
    const char* file;
};

inline constexpr std::array<PageStripRow, 2> PageStripTable = {{
    {0, "PAGE0", "step1.jpg"},
    {1, "PAGE1", "step2.jpg"},
}};
