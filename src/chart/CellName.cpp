#include "chart/CellName.h"

#include "chart/ElementTable.h"

QString groupName(int group)
{
    return QStringLiteral("グループ") + QChar(u'A' + group);
}

QString valueName(const ElementCode& value)
{
    if (const std::optional<int> ordinal = value.ordinal())
        return QString::fromUtf8(ElementTable[std::size_t(*ordinal)].caption);
    if (value.isEmpty())
        return QStringLiteral("値なし");
    return QStringLiteral("要素ではない値「%1」").arg(value.toText());
}

QString cellName(ChartCell cell, const ElementCode& value)
{
    return QStringLiteral("%1 CH%2 ステップ%3 %4")
        .arg(groupName(cell.channel / ChannelsPerGroup))
        .arg(cell.channel % ChannelsPerGroup + 1)
        .arg(cell.step + 1)
        .arg(valueName(value));
}
