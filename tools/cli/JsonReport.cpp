#include "JsonReport.h"

#include "ChartReport.h"
#include "chart/CellMapping.h"
#include "chart/ElementTable.h"
#include "transfer/SendRule.h"

#include <QJsonArray>

namespace {

QJsonObject groupObject(int group, const GroupContents& contents)
{
    QJsonArray elements;
    for (const ElementRow& row : ElementTable)
        if (const int cells = contents.elementCells[std::size_t(row.ordinal)]; cells > 0)
            elements.append(QJsonObject{{QStringLiteral("element"), QString::fromLatin1(row.caption)},
                                        {QStringLiteral("cells"), cells}});
    QJsonArray others;
    for (const auto& [text, cells] : contents.otherValues)
        others.append(QJsonObject{{QStringLiteral("value"), text}, {QStringLiteral("cells"), cells}});
    return {{QStringLiteral("group"), QString(groupLetter(group))},
            {QStringLiteral("elements"), elements},
            {QStringLiteral("otherValues"), others}};
}

} // namespace

QJsonValue sendFaultJson(const std::optional<SendFault>& fault)
{
    if (!fault)
        return QJsonValue::Null;
    if (fault->kind == SendFault::Kind::StepCount)
        return QJsonObject{{QStringLiteral("kind"), QStringLiteral("stepCount")},
                           {QStringLiteral("stepCount"), fault->stepCount},
                           {QStringLiteral("text"), sendFaultText(*fault)}};
    return QJsonObject{{QStringLiteral("kind"), QStringLiteral("cell")},
                       {QStringLiteral("step"), fault->step + 1},
                       {QStringLiteral("channel"), channelName(fault->channel)},
                       {QStringLiteral("value"), valueAsItStands(fault->value)},
                       {QStringLiteral("text"), sendFaultText(*fault)}};
}

namespace {

QJsonObject fileObject(const QString& file, const PatternFileContent& content)
{
    return {{QStringLiteral("file"), file}, {QStringLiteral("stepCount"), content.stepCount}};
}

} // namespace

QJsonObject checkDocument(const QString& file, const PatternFileContent& content)
{
    QJsonArray groups;
    const std::array<GroupContents, Groups> contents = groupContents(content);
    for (int group = 0; group < Groups; ++group)
        groups.append(groupObject(group, contents[std::size_t(group)]));
    QJsonObject document = fileObject(file, content);
    document.insert(QStringLiteral("stepsInUse"), stepsInUse(content.stepCount));
    document.insert(QStringLiteral("groups"), groups);
    document.insert(QStringLiteral("firstUnsendable"),
                    sendFaultJson(firstSendFault(content.chart, content.stepCount)));
    return document;
}

QJsonObject diffDocument(const QString& file, const PatternFileContent& before, const QString& otherFile,
                         const PatternFileContent& after, const ChartChange& change)
{
    QJsonArray cells;
    for (const CellEdit& edit : change.cells)
        cells.append(
            QJsonObject{{QStringLiteral("group"), QString(groupLetter(edit.cell.channel / ChannelsPerGroup))},
                        {QStringLiteral("channel"), channelName(edit.cell.channel)},
                        {QStringLiteral("step"), edit.cell.step + 1},
                        {QStringLiteral("before"), shown(edit.before)},
                        {QStringLiteral("after"), shown(edit.after)}});
    return {{QStringLiteral("before"), fileObject(file, before)},
            {QStringLiteral("after"), fileObject(otherFile, after)},
            {QStringLiteral("same"), change.isEmpty()},
            {QStringLiteral("cells"), cells}};
}
