#include "ChartReport.h"

#include "chart/ElementTable.h"

#include <QStringList>
#include <algorithm>
#include <array>

namespace {

constexpr int Groups = 8;
constexpr int ChannelsPerGroup = 5;

QString groupName(int group)
{
    return QStringLiteral("グループ") + QChar('A' + group);
}

// "A1" to "H5": the group's letter and the channel within it, as the window shows them.
QString channelName(int channel)
{
    return QChar('A' + channel / ChannelsPerGroup) + QString::number(channel % ChannelsPerGroup + 1);
}

bool stepCountInRange(qint16 stepCount)
{
    return stepCount >= 1 && stepCount <= PatternTable::UsedSteps;
}

QString shown(const ElementCode& value)
{
    if (const std::optional<int> ordinal = value.ordinal())
        return QString::fromLatin1(ElementTable[std::size_t(*ordinal)].caption);
    if (value.isNumber())
        return value.toText();
    QString text = value.toText();
    text.replace(QLatin1Char('\t'), QLatin1String("\\t"));
    return QLatin1Char('"') + text + QLatin1Char('"');
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

std::optional<QString> unsendableReason(const PatternFileContent& content)
{
    if (!stepCountInRange(content.stepCount))
        return QStringLiteral("ステップ数 %1 はコントローラに送れません（1～80）。").arg(content.stepCount);
    // Every step goes to the controller, in use or not.
    for (int step = 0; step < PatternTable::UsedSteps; ++step)
        for (int channel = 0; channel < PatternTable::UsedChannels; ++channel) {
            const ElementCode& value = content.chart.at(step, channel);
            if (!value.ordinal())
                return QStringLiteral("ステップ %1 の %2 の値 %3 は16の要素のどれでもないため、"
                                      "コントローラに送れません。")
                    .arg(step + 1)
                    .arg(channelName(channel), shown(value));
        }
    return std::nullopt;
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
