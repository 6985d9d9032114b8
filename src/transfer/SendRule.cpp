#include "transfer/SendRule.h"

#include "chart/CellMapping.h"

std::optional<SendFault> firstSendFault(const PatternTable& chart, qint16 stepCount)
{
    if (stepCount < 1 || stepCount > PatternTable::UsedSteps)
        return SendFault{SendFault::Kind::StepCount, stepCount, 0, 0, {}};
    for (int step = 0; step < PatternTable::UsedSteps; ++step)
        for (int channel = 0; channel < PatternTable::UsedChannels; ++channel) {
            const ElementCode& value = chart.at(step, channel);
            if (!value.ordinal())
                return SendFault{SendFault::Kind::Cell, stepCount, step, channel, value};
        }
    return std::nullopt;
}

QString sendFaultText(const SendFault& fault)
{
    if (fault.kind == SendFault::Kind::StepCount)
        return QStringLiteral("ステップ数 %1 はコントローラに送れません（1～80）。").arg(fault.stepCount);
    return QStringLiteral(
               "ステップ %1 の %2 の値 %3 は16の要素のどれでもないため、コントローラに送れません。")
        .arg(fault.step + 1)
        .arg(channelName(fault.channel), valueAsItStands(fault.value));
}

QString channelName(int channel)
{
    return QChar('A' + channel / ChannelsPerGroup) + QString::number(channel % ChannelsPerGroup + 1);
}

QString valueAsItStands(const ElementCode& value)
{
    if (value.isNumber())
        return value.toText();
    QString text = value.toText();
    text.replace(QLatin1Char('\t'), QLatin1String("\\t"));
    return QLatin1Char('"') + text + QLatin1Char('"');
}
