#include "chart/PatternTable.h"

#include <QtGlobal>

ElementCode& PatternTable::at(int step, int channel)
{
    if (step < 0 || step >= Steps || channel < 0 || channel >= Channels)
        qFatal("Chart cell outside the table: step %d, channel %d", step, channel);
    return m_cells[std::size_t(step * Channels + channel)];
}

const ElementCode& PatternTable::at(int step, int channel) const
{
    return const_cast<PatternTable*>(this)->at(step, channel);
}

void PatternTable::fillUsed(const ElementCode& value)
{
    for (int step = 0; step < UsedSteps; ++step)
        for (int channel = 0; channel < UsedChannels; ++channel)
            at(step, channel) = value;
}
