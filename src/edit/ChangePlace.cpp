#include "edit/ChangePlace.h"

#include "chart/CellMapping.h"
#include "chart/CellName.h"

#include <QStringList>
#include <algorithm>

namespace {

constexpr int LastChannel = PatternTable::UsedChannels - 1;

QString channelsPlace(int first, int last)
{
    if (first == 0 && last == LastChannel)
        return QStringLiteral("全チャンネル");
    const auto channel = [](int c) { return QStringLiteral("CH%1").arg(c % ChannelsPerGroup + 1); };
    const int group = first / ChannelsPerGroup;
    const QString start = groupName(group) + QLatin1Char(' ') + channel(first);
    if (first == last)
        return start;
    if (last / ChannelsPerGroup == group)
        return start + QStringLiteral("～") + channel(last).mid(2);
    return start + QStringLiteral("～") + groupName(last / ChannelsPerGroup) + QLatin1Char(' ') +
           channel(last);
}

} // namespace

QString place(const CellBlock& region)
{
    QString steps = QStringLiteral("ステップ%1").arg(region.first.step + 1);
    if (region.last.step != region.first.step)
        steps += QStringLiteral("～%1").arg(region.last.step + 1);
    return channelsPlace(region.first.channel, region.last.channel) + QLatin1Char(' ') + steps;
}

QString changePlace(const ChartChange& change)
{
    QStringList parts;
    if (!change.cells.empty()) {
        const auto [lowStep, highStep] = std::minmax_element(
            change.cells.begin(), change.cells.end(),
            [](const CellEdit& a, const CellEdit& b) { return a.cell.step < b.cell.step; });
        const auto [lowChannel, highChannel] = std::minmax_element(
            change.cells.begin(), change.cells.end(),
            [](const CellEdit& a, const CellEdit& b) { return a.cell.channel < b.cell.channel; });
        parts << place({{lowStep->cell.step, lowChannel->cell.channel},
                        {highStep->cell.step, highChannel->cell.channel}});
    }
    if (change.stepCount && change.stepCount->before != change.stepCount->after)
        parts << QStringLiteral("ステップ数 %1").arg(change.stepCount->after);
    return parts.join(QStringLiteral("、"));
}
