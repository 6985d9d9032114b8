#include "chart/CellName.h"

#include "chart/ElementTable.h"

QString groupName(int group)
{
    return QStringLiteral("グループ") + QChar(u'A' + group);
}

QString cellName(ChartCell cell, const ElementCode& value)
{
    QString shown;
    if (const std::optional<int> ordinal = value.ordinal())
        shown = QString::fromUtf8(ElementTable[std::size_t(*ordinal)].caption);
    else if (value.isEmpty())
        shown = QStringLiteral("値なし");
    else
        shown = QStringLiteral("要素ではない値「%1」").arg(value.toText());
    return QStringLiteral("%1 CH%2 ステップ%3 %4")
        .arg(groupName(cell.channel / ChannelsPerGroup))
        .arg(cell.channel % ChannelsPerGroup + 1)
        .arg(cell.step + 1)
        .arg(shown);
}
