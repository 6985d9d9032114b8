#pragma once

#include "chart/ElementCode.h"

#include <array>

// The sixteen dimming elements: caption, palette buttons, picture holder and
// picture file of each. The palettes, the drawing and start-up are driven by
// this one table.
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

inline constexpr int ElementCount = 16;
extern const std::array<ElementRow, ElementCount> ElementTable;

// The two step-number strips shown above the grid, one per page.
struct PageStripRow
{
    int page;
    const char* holder;
    const char* file;
};

extern const std::array<PageStripRow, 2> PageStripTable;
