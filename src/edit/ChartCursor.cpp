#include "edit/ChartCursor.h"

#include "chart/PatternTable.h"

namespace {

std::optional<ChartCell> ifOnChart(ChartCell cell)
{
    if (cell.step < 0 || cell.step >= PatternTable::UsedSteps || cell.channel < 0 ||
        cell.channel >= PatternTable::UsedChannels)
        return std::nullopt;
    return cell;
}

} // namespace

std::optional<ChartCell> cursorTarget(ChartCell from, CursorMove move, int stepCount)
{
    const int row = from.channel % ChannelsPerGroup;
    switch (move) {
    case CursorMove::Left:
        return ifOnChart({from.step - 1, from.channel});
    case CursorMove::Right:
        return ifOnChart({from.step + 1, from.channel});
    case CursorMove::Up:
        return row > 0 ? ifOnChart({from.step, from.channel - 1}) : std::nullopt;
    case CursorMove::Down:
        return row < ChannelsPerGroup - 1 ? ifOnChart({from.step, from.channel + 1}) : std::nullopt;
    case CursorMove::FirstStep:
        return ifOnChart({0, from.channel});
    case CursorMove::LastStep:
        return ifOnChart({stepCount - 1, from.channel});
    case CursorMove::PreviousPage:
        return from.step >= StepsPerPage ? ifOnChart({from.step - StepsPerPage, from.channel}) : std::nullopt;
    case CursorMove::NextPage:
        return from.step < StepsPerPage ? ifOnChart({from.step + StepsPerPage, from.channel}) : std::nullopt;
    case CursorMove::PreviousGroup:
        return ifOnChart({from.step, from.channel - ChannelsPerGroup});
    case CursorMove::NextGroup:
        return ifOnChart({from.step, from.channel + ChannelsPerGroup});
    }
    return std::nullopt;
}
