#include "chart/CellMapping.h"

ChartCell cellOfGridIndex(int index, int page, int group)
{
    return {index / ChannelsPerGroup + StepsPerPage * page,
            ChannelsPerGroup * group + index % ChannelsPerGroup};
}

std::optional<int> gridIndexOfCell(ChartCell cell, int page, int group)
{
    if (cell.step < 0 || cell.channel < 0 || cell.step / StepsPerPage != page ||
        cell.channel / ChannelsPerGroup != group)
        return std::nullopt;
    return ChannelsPerGroup * (cell.step % StepsPerPage) + cell.channel % ChannelsPerGroup;
}

int stepsInUseOnPage(int page, int stepCount)
{
    const int used = stepCount - (page == 0 ? 0 : StepsPerPage);
    return used >= 1 && used <= StepsPerPage ? used : page == 0 ? StepsPerPage : 0;
}

int stepsInUse(int stepCount)
{
    return stepCount >= 1 && stepCount <= 2 * StepsPerPage ? stepCount : 2 * StepsPerPage;
}
