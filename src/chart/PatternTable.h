#pragma once

#include "chart/ElementCode.h"

#include <array>

// The pattern chart: element values indexed by (step, channel). The table is
// 81 x 41; steps 0 to 79 and channels 0 to 39 are used, the last row and
// column exist and stay empty. The window holds one as `PatternData`.
class PatternTable
{
public:
    static constexpr int Steps = 81;
    static constexpr int Channels = 41;
    static constexpr int UsedSteps = 80;
    static constexpr int UsedChannels = 40;

    // Throws std::out_of_range outside the table.
    ElementCode& at(int step, int channel);
    const ElementCode& at(int step, int channel) const;

    // Every used cell takes `value` (start-up fills the chart with OFF).
    void fillUsed(const ElementCode& value);

    friend bool operator==(const PatternTable&, const PatternTable&) = default;

private:
    std::array<ElementCode, Steps * Channels> m_cells{};
};
