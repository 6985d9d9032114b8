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

    // A cell outside the table is a mistake of the program, which stops it
    // (qFatal) rather than read or write memory that is no cell.
    ElementCode& at(int step, int channel);
    const ElementCode& at(int step, int channel) const;

    // Every used cell takes `value` (start-up fills the chart with OFF).
    void fillUsed(const ElementCode& value);

    friend bool operator==(const PatternTable&, const PatternTable&) = default;

private:
    std::array<ElementCode, Steps * Channels> m_cells{};
};
