#include "edit/ChartClipboard.h"

#include "chart/ElementTable.h"

#include <QRegularExpression>
#include <algorithm>

CellBlock CellBlock::spanning(ChartCell a, ChartCell b)
{
    return {{std::min(a.step, b.step), std::min(a.channel, b.channel)},
            {std::max(a.step, b.step), std::max(a.channel, b.channel)}};
}

CellBlock CellBlock::wholeChannel(int channel)
{
    return {{0, channel}, {PatternTable::UsedSteps - 1, channel}};
}

CellBlock CellBlock::wholeStep(int step)
{
    return {{step, 0}, {step, PatternTable::UsedChannels - 1}};
}

CellBlock CellBlock::wholeGroup(int group)
{
    return {{0, group * ChannelsPerGroup}, {PatternTable::UsedSteps - 1, group * ChannelsPerGroup + 4}};
}

namespace {

QString field(const ElementCode& value)
{
    QString text = value.isText() ? '"' + value.textValue() + '"' : value.toText();
    for (QChar& c : text)
        if (c == QChar('\t') || c == QChar('\n') || c == QChar('\r'))
            c = QChar(' ');
    return text;
}

// A field as the user sees it in a message: long ones shortened.
QString shown(QStringView field)
{
    constexpr qsizetype Longest = 20;
    return field.size() > Longest ? field.left(Longest).toString() + QStringLiteral("…") : field.toString();
}

} // namespace

QString clipboardText(const PatternTable& chart, const CellBlock& block)
{
    QString text;
    for (int step = block.first.step; step <= block.last.step; ++step) {
        for (int channel = block.first.channel; channel <= block.last.channel; ++channel) {
            if (channel > block.first.channel)
                text += QChar('\t');
            text += field(chart.at(step, channel));
        }
        text += QChar('\n');
    }
    return text;
}

std::optional<ElementCode> clipboardElement(QStringView field)
{
    field = field.trimmed();
    for (const QStringView quote : {QStringView(u"\"\"\""), QStringView(u"\"")})
        if (field.size() == 2 * quote.size() + 1 && field.startsWith(quote) && field.endsWith(quote)) {
            const QChar c = field[quote.size()];
            if (c >= QChar(':') && c <= QChar('?'))
                return ElementCode::ofOrdinal(c.unicode() - 0x30);
            return std::nullopt;
        }
    if (field.size() == 1 && field[0] >= QChar('0') && field[0] <= QChar('?'))
        return ElementCode::ofOrdinal(field[0].unicode() - 0x30);
    for (const ElementRow& row : ElementTable)
        if (field.compare(QLatin1String(row.caption), Qt::CaseInsensitive) == 0)
            return row.code();
    return std::nullopt;
}

ClipboardContent parseClipboardText(const QString& text)
{
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\n|\r"));
    QStringList lines = text.split(lineEnd);
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();

    ClipboardContent content;
    content.rows.reserve(std::size_t(lines.size()));
    for (qsizetype line = 0; line < lines.size(); ++line) {
        std::vector<ElementCode>& row = content.rows.emplace_back();
        const QList<QStringView> fields = QStringView(lines[line]).split(QChar('\t'));
        for (qsizetype index = 0; index < fields.size(); ++index) {
            if (const std::optional<ElementCode> element = clipboardElement(fields[index])) {
                row.push_back(*element);
                continue;
            }
            const QStringView bad = fields[index].trimmed();
            content.rows.clear();
            content.error =
                bad.isEmpty() ? QStringLiteral("%1 行目の %2 番目の値が空です。").arg(line + 1).arg(index + 1)
                              : QStringLiteral("%1 行目の %2 番目の値「%3」は要素ではありません。")
                                    .arg(line + 1)
                                    .arg(index + 1)
                                    .arg(shown(bad));
            return content;
        }
    }
    return content;
}

ChartChange pasteChange(const PatternTable& chart, ChartCell at,
                        const std::vector<std::vector<ElementCode>>& rows)
{
    ChartChange change;
    for (std::size_t row = 0; row < rows.size(); ++row) {
        const int step = at.step + int(row);
        if (step >= PatternTable::UsedSteps)
            break;
        for (std::size_t index = 0; index < rows[row].size(); ++index) {
            const int channel = at.channel + int(index);
            if (channel >= PatternTable::UsedChannels)
                break;
            change.cells.push_back({{step, channel}, chart.at(step, channel), rows[row][index]});
        }
    }
    return change;
}
