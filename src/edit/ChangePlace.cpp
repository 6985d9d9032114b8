#include "edit/ChangePlace.h"

#include "chart/CellMapping.h"
#include "chart/CellName.h"

#include <QStringList>
#include <algorithm>

namespace {

// "10" or "10〜20", counted from 1.
QString span(int first, int last)
{
    return first == last ? QString::number(first + 1) : QStringLiteral("%1〜%2").arg(first + 1).arg(last + 1);
}

} // namespace

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
        const int firstGroup = lowChannel->cell.channel / ChannelsPerGroup;
        const int lastGroup = highChannel->cell.channel / ChannelsPerGroup;
        QString where = groupName(firstGroup);
        if (firstGroup == lastGroup)
            where += QStringLiteral(" CH") + span(lowChannel->cell.channel % ChannelsPerGroup,
                                                  highChannel->cell.channel % ChannelsPerGroup);
        else
            where += QStringLiteral("〜") + QChar(u'A' + lastGroup);
        parts << where + QStringLiteral(" ステップ") + span(lowStep->cell.step, highStep->cell.step);
    }
    if (change.stepCount && change.stepCount->before != change.stepCount->after)
        parts << QStringLiteral("ステップ数 %1").arg(change.stepCount->after);
    return parts.join(QStringLiteral("、"));
}
