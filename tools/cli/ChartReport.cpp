#include "ChartReport.h"

#include "chart/CellMapping.h"
#include "chart/ElementTable.h"
#include "chart/PatternTable.h"
#include "transfer/SendRule.h"

#include <QStringList>
#include <algorithm>
#include <array>

namespace {

QString groupName(int group)
{
    return QStringLiteral("グループ") + groupLetter(group);
}

bool stepCountInRange(qint16 stepCount)
{
    return stepCount >= 1 && stepCount <= PatternTable::UsedSteps;
}

QString withoutTrailingBlanks(QString line)
{
    while (line.endsWith(QLatin1Char(' ')))
        line.chop(1);
    return line;
}

} // namespace

QChar groupLetter(int group)
{
    return QChar(char16_t(u'A' + group));
}

QString shown(const ElementCode& value)
{
    if (const std::optional<int> ordinal = value.ordinal())
        return QString::fromLatin1(ElementTable[std::size_t(*ordinal)].caption);
    return valueAsItStands(value);
}

std::array<GroupContents, Groups> groupContents(const PatternFileContent& content)
{
    std::array<GroupContents, Groups> groups{};
    for (int step = 0; step < stepsInUse(content.stepCount); ++step) {
        for (int channel = 0; channel < PatternTable::UsedChannels; ++channel) {
            GroupContents& group = groups[std::size_t(channel / ChannelsPerGroup)];
            const ElementCode& value = content.chart.at(step, channel);
            if (const std::optional<int> ordinal = value.ordinal()) {
                ++group.elementCells[std::size_t(*ordinal)];
                continue;
            }
            const QString text = shown(value);
            const auto known = std::find_if(group.otherValues.begin(), group.otherValues.end(),
                                            [&](const auto& other) { return other.first == text; });
            if (known != group.otherValues.end())
                ++known->second;
            else
                group.otherValues.push_back({text, 1});
        }
    }
    return groups;
}

QString chartSummary(const PatternFileContent& content)
{
    const bool inRange = stepCountInRange(content.stepCount);
    QStringList lines;
    lines << (inRange ? QStringLiteral("ステップ数：%1（ステップ 1～%1 を使用）").arg(content.stepCount)
                      : QStringLiteral("ステップ数：%1（1～80 の外。以下は 80 ステップすべて）")
                            .arg(content.stepCount));
    const std::array<GroupContents, Groups> groups = groupContents(content);
    for (int group = 0; group < Groups; ++group) {
        const GroupContents& contents = groups[std::size_t(group)];
        QStringList elements;
        for (const ElementRow& row : ElementTable)
            if (contents.elementCells[std::size_t(row.ordinal)] > 0)
                elements << QString::fromLatin1(row.caption);
        QStringList others;
        for (const auto& [text, cells] : contents.otherValues)
            others << text;
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
