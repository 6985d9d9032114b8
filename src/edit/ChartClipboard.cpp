#include "edit/ChartClipboard.h"

#include "chart/ElementTable.h"

#include <QLocale>
#include <QStringTokenizer>
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

// A character that would not show as itself in a message: a control (NUL
// among them), a format character such as a change of writing direction, a
// line or paragraph separator, a lone surrogate.
bool invisible(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

// A field as the user sees it in a message: long ones shortened, characters
// that would not show written by their code.
QString shown(QStringView field)
{
    constexpr int Longest = 20;
    QString text;
    int count = 0;
    for (qsizetype i = 0; i < field.size(); ++i, ++count) {
        if (count == Longest)
            return text + QStringLiteral("…");
        char32_t c = field[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < field.size() && field[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(field[i], field[i + 1]);
            ++i;
        }
        if (!invisible(c))
            text += QStringView(QChar::fromUcs4(c));
        else
            text += (c <= 0xFF ? QStringLiteral("\\x") : QStringLiteral("\\u")) +
                    QString::number(uint(c), 16).toUpper().rightJustified(c <= 0xFF ? 2 : 4, QChar('0'));
    }
    return text;
}

bool isLineEnd(QChar c)
{
    return c == QChar('\n') || c == QChar('\r');
}

// The lines of a text, read in place, each without its end: one more than
// there are line ends, none for an empty text.
class LineReader
{
public:
    explicit LineReader(QStringView text) : m_text(text) {}

    bool atEnd() const { return m_pos > m_text.size() || m_text.isEmpty(); }
    QStringView next()
    {
        qsizetype end = m_pos;
        while (end < m_text.size() && !isLineEnd(m_text[end]))
            ++end;
        const QStringView line = m_text.sliced(m_pos, end - m_pos);
        if (end + 1 < m_text.size() && m_text[end] == QChar('\r') && m_text[end + 1] == QChar('\n'))
            ++end;
        m_pos = end + 1;
        return line;
    }

private:
    QStringView m_text;
    qsizetype m_pos = 0;
};

QString withThousands(qsizetype number)
{
    QLocale locale = QLocale::c();
    locale.setNumberOptions({});
    return locale.toString(number);
}

// Fails where a text is no chart by its shape alone.
Result<> checkShape(QStringView text)
{
    qsizetype lines = 0;
    qsizetype wideLine = 0, wideFields = 0;
    for (LineReader reader(text); !reader.atEnd();) {
        const qsizetype fields = reader.next().count(QChar('\t')) + 1;
        ++lines;
        if (fields > MaxClipboardFields && !wideLine) {
            wideLine = lines;
            wideFields = fields;
        }
    }
    if (lines > MaxClipboardLines)
        return Failure{
            QStringLiteral("テキストが %1 行あり、チャートの %2 ステップに対して多すぎます（%3 行まで）。")
                .arg(withThousands(lines))
                .arg(PatternTable::UsedSteps)
                .arg(MaxClipboardLines)};
    if (wideLine)
        return Failure{
            QStringLiteral("%1 行目に値が %2 個あり、チャートの %3 チャネルに対して多すぎます（%4 個まで）。")
                .arg(wideLine)
                .arg(withThousands(wideFields))
                .arg(PatternTable::UsedChannels)
                .arg(MaxClipboardFields)};
    return {};
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
            // Only the six elements a pattern file writes as texts come between quotes.
            const std::optional<ElementCode> element = ElementCode::ofCharacter(field[quote.size()]);
            return element && element->isText() ? element : std::nullopt;
        }
    if (field.size() == 1)
        if (const std::optional<ElementCode> element = ElementCode::ofCharacter(field[0]))
            return element;
    for (const ElementRow& row : ElementTable)
        if (field.compare(QLatin1String(row.caption), Qt::CaseInsensitive) == 0)
            return row.code();
    return std::nullopt;
}

Result<ClipboardRows> parseClipboardText(QStringView text, ChartCell at)
{
    if (text.size() > MaxClipboardCharacters)
        return Failure{QStringLiteral("テキストが %1 文字あり、チャートとしては長すぎます（%2 文字まで）。")
                           .arg(withThousands(text.size()), withThousands(MaxClipboardCharacters))};
    while (!text.isEmpty() && isLineEnd(text.back()))
        text.chop(1);
    if (Result<> shape = checkShape(text); !shape)
        return Failure{shape.reason()};

    ClipboardRows rows;
    const int steps = std::max(PatternTable::UsedSteps - at.step, 0);
    const int channels = std::max(PatternTable::UsedChannels - at.channel, 0);
    LineReader reader(text);
    for (int line = 0; line < steps && !reader.atEnd(); ++line) {
        std::vector<ElementCode>& row = rows.emplace_back();
        int index = 0;
        for (const QStringView field : QStringTokenizer(reader.next(), QChar('\t'))) {
            if (index == channels)
                break;
            ++index;
            if (const std::optional<ElementCode> element = clipboardElement(field)) {
                row.push_back(*element);
                continue;
            }
            const QStringView bad = field.trimmed();
            return Failure{bad.isEmpty()
                               ? QStringLiteral("%1 行目の %2 番目の値が空です。").arg(line + 1).arg(index)
                               : QStringLiteral("%1 行目の %2 番目の値「%3」は要素ではありません。")
                                     .arg(line + 1)
                                     .arg(index)
                                     .arg(shown(bad))};
        }
    }
    return rows;
}

ChartChange pasteChange(const PatternTable& chart, ChartCell at, const ClipboardRows& rows)
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
