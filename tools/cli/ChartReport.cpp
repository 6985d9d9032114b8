#include "ChartReport.h"

#include "chart/CellMapping.h"
#include "chart/ElementTable.h"
#include "transfer/SendRule.h"

#include <QStringList>
#include <algorithm>
#include <array>

namespace {

constexpr int Groups = 8;

QString groupName(int group)
{
    return QStringLiteral("グループ") + QChar('A' + group);
}

bool stepCountInRange(qint16 stepCount)
{
    return stepCount >= 1 && stepCount <= PatternTable::UsedSteps;
}

QString shown(const ElementCode& value)
{
    if (const std::optional<int> ordinal = value.ordinal())
        return QString::fromLatin1(ElementTable[std::size_t(*ordinal)].caption);
    return valueAsItStands(value);
}

QString withoutTrailingBlanks(QString line)
{
    while (line.endsWith(QLatin1Char(' ')))
        line.chop(1);
    return line;
}

} // namespace

QString chartSummary(const PatternFileContent& content)
{
    const bool inRange = stepCountInRange(content.stepCount);
    const int stepsInUse = inRange ? content.stepCount : PatternTable::UsedSteps;
    QStringList lines;
    lines << (inRange ? QStringLiteral("ステップ数：%1（ステップ 1～%1 を使用）").arg(content.stepCount)
                      : QStringLiteral("ステップ数：%1（1～80 の外。以下は 80 ステップすべて）")
                            .arg(content.stepCount));
    for (int group = 0; group < Groups; ++group) {
        std::array<bool, ElementCount> used{};
        QStringList others;
        for (int step = 0; step < stepsInUse; ++step) {
            for (int channel = group * ChannelsPerGroup; channel < (group + 1) * ChannelsPerGroup;
                 ++channel) {
                const ElementCode& value = content.chart.at(step, channel);
                if (const std::optional<int> ordinal = value.ordinal())
                    used[std::size_t(*ordinal)] = true;
                else if (!others.contains(shown(value)))
                    others << shown(value);
            }
        }
        QStringList elements;
        for (const ElementRow& row : ElementTable)
            if (used[std::size_t(row.ordinal)])
                elements << QString::fromLatin1(row.caption);
        QString line = groupName(group) + QStringLiteral("：") + elements.join(QStringLiteral(", "));
        if (!others.isEmpty())
            line += QStringLiteral("（要素でない値：%1）").arg(others.join(QStringLiteral(", ")));
        lines << line;
    }
    return lines.join(QLatin1Char('\n'));
}

QString differencesText(const PatternFileContent& before, const PatternFileContent& after,
                        const ChartChange& change)
{
    QStringList lines;
    lines << (before.stepCount == after.stepCount
                  ? QStringLiteral("ステップ数：%1（同じ）").arg(before.stepCount)
                  : QStringLiteral("ステップ数：%1 → %2").arg(before.stepCount).arg(after.stepCount));
    for (const CellEdit& edit : change.cells)
        lines << QStringLiteral("%1 %2 ステップ %3：%4 → %5")
                     .arg(groupName(edit.cell.channel / ChannelsPerGroup), channelName(edit.cell.channel))
                     .arg(edit.cell.step + 1)
                     .arg(shown(edit.before), shown(edit.after));
    lines << QStringLiteral("違うセル：%1").arg(change.cells.size());
    return lines.join(QLatin1Char('\n'));
}

QString chartGrid(const PatternFileContent& content, int group)
{
    const int first = group < 0 ? 0 : group * ChannelsPerGroup;
    const int last = group < 0 ? PatternTable::UsedChannels : first + ChannelsPerGroup;
    qsizetype width = 2;
    for (int step = 0; step < PatternTable::UsedSteps; ++step)
        for (int channel = first; channel < last; ++channel)
            width = std::max(width, shown(content.chart.at(step, channel)).size());

    // "ステップ" takes eight columns on a terminal, as wide as the step numbers below it.
    const int stepColumn = 8;
    QStringList lines;
    lines << QStringLiteral("ステップ数：%1").arg(content.stepCount) +
                 (group < 0 ? QString() : QStringLiteral("　") + groupName(group));
    QString header = QStringLiteral("ステップ");
    for (int channel = first; channel < last; ++channel)
        header += QLatin1String("  ") + channelName(channel).leftJustified(width);
    lines << withoutTrailingBlanks(header);
    for (int step = 0; step < PatternTable::UsedSteps; ++step) {
        QString row = QString::number(step + 1).rightJustified(stepColumn);
        for (int channel = first; channel < last; ++channel)
            row += QLatin1String("  ") + shown(content.chart.at(step, channel)).leftJustified(width);
        lines << withoutTrailingBlanks(row);
        if (step + 1 == content.stepCount && step + 1 < PatternTable::UsedSteps)
            lines << QStringLiteral("（ここまでがステップ数 %1 の使用範囲）").arg(content.stepCount);
    }
    return lines.join(QLatin1Char('\n'));
}
