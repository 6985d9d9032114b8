#include "FuzzCheck.h"
#include "edit/ChartClipboard.h"
#include "files/PatternFile.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>
#include <cstring>
#include <vector>

// Pastes arbitrary clipboard text into a chart and copies blocks of it. The
// input has three parts, the first two ended by a line feed:
//
//   header  up to seven numbers between blanks: the cell the paste starts at
//           (step, channel), two corners of a block to copy (step, channel,
//           step, channel), each taken modulo 80 or 40, and a flag, odd when
//           the clipboard text is UTF-16 (little-endian) rather than UTF-8.
//           A missing number is 0.
//   chart   values between "|", laid over the 3,200 used cells again and
//           again, steps first: "#" and a number is that number, nothing an
//           empty value, anything else a text. A value no pattern file can
//           carry is left out, as the chart never holds one; with no value
//           left every cell is OFF.
//   text    the rest: the clipboard's text.
//
// The promises: a refusal has a reason of at most 200 characters in which
// every character shows, and keeps no rows; what is read never reaches past
// step 80 or channel 40 from the paste's first cell, and agrees with reading
// the text split the plain way into lines and fields; the paste writes just
// those cells, each once, with the values they held before; the paste and
// then its inverse leave the chart as it was; a copied block pasted back at
// its first cell is taken exactly when it holds only elements (but for empty
// values ending a one-channel block, see below), and then writes every cell
// of the block with the value it had (values compare with
// their kind: the number 3 is not the text "3").

namespace {

struct Case
{
    ChartCell at;
    CellBlock copied;
    PatternTable chart;
    QString text;
};

int wrapped(int number, int size)
{
    return (number % size + size) % size;
}

ElementCode valueOf(QByteArrayView field)
{
    if (field.isEmpty())
        return {};
    if (field.startsWith('#')) {
        bool ok = false;
        const double number = field.sliced(1).toDouble(&ok);
        if (ok)
            return ElementCode::number(number);
    }
    return ElementCode::text(QString::fromUtf8(field));
}

Case parseCase(QByteArrayView input)
{
    Case parsed;
    qsizetype end = input.indexOf('\n');
    const QByteArrayView header = input.first(end < 0 ? input.size() : end);
    input = end < 0 ? QByteArrayView() : input.sliced(end + 1);
    int numbers[7] = {};
    int count = 0;
    for (const QByteArray& word : header.toByteArray().split(' '))
        if (!word.isEmpty() && count < 7)
            numbers[count++] = word.toInt();
    constexpr int Steps = PatternTable::UsedSteps, Channels = PatternTable::UsedChannels;
    parsed.at = {wrapped(numbers[0], Steps), wrapped(numbers[1], Channels)};
    parsed.copied = CellBlock::spanning({wrapped(numbers[2], Steps), wrapped(numbers[3], Channels)},
                                        {wrapped(numbers[4], Steps), wrapped(numbers[5], Channels)});

    end = input.indexOf('\n');
    const QByteArray chartLine = input.first(end < 0 ? input.size() : end).toByteArray();
    input = end < 0 ? QByteArrayView() : input.sliced(end + 1);
    std::vector<ElementCode> values;
    for (const QByteArray& field : chartLine.split('|'))
        if (const ElementCode value = valueOf(field); fitsPatternFile(value))
            values.push_back(value);
    if (chartLine.isEmpty() || values.empty())
        values = {ElementCode::number(3)};
    for (int cell = 0; cell < Steps * Channels; ++cell)
        parsed.chart.at(cell / Channels, cell % Channels) = values[std::size_t(cell) % values.size()];

    if (numbers[6] % 2 && input.size() >= 2) {
        parsed.text.resize(input.size() / 2);
        std::memcpy(parsed.text.data(), input.data(), std::size_t(parsed.text.size()) * 2);
    } else {
        parsed.text = QString::fromUtf8(input);
    }
    return parsed;
}

// The text read the plain way: split whole into lines and fields. What lands
// from `at` must come out the same from the reader that scans in place.
struct PlainReading
{
    bool shapeRefused = false;
    qsizetype badLine = 0, badField = 0; // of the first field that lands and is no element
    std::vector<std::vector<ElementCode>> rows;
};

PlainReading readPlainly(const QString& text, ChartCell at)
{
    PlainReading reading;
    // Not split by a regular expression: that finds nothing in a text with a lone surrogate.
    QString ends = text;
    ends.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QChar('\r'), QChar('\n'));
    QStringList lines = ends.split(QChar('\n'));
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    if (text.size() > 1024 * 1024 || lines.size() > 160) {
        reading.shapeRefused = true;
        return reading;
    }
    for (const QString& line : lines)
        if (line.count(QChar('\t')) >= 80)
            reading.shapeRefused = true;
    if (reading.shapeRefused)
        return reading;
    for (qsizetype line = 0; line < lines.size() && at.step + line < 80; ++line) {
        std::vector<ElementCode>& row = reading.rows.emplace_back();
        const QStringList fields = lines[line].split(QChar('\t'));
        for (qsizetype field = 0; field < fields.size() && at.channel + field < 40; ++field) {
            const std::optional<ElementCode> element = clipboardElement(fields[field]);
            if (!element) {
                reading.badLine = line + 1;
                reading.badField = field + 1;
                reading.rows.clear();
                return reading;
            }
            row.push_back(*element);
        }
    }
    return reading;
}

bool showsEveryCharacter(const QString& message)
{
    for (qsizetype i = 0; i < message.size(); ++i) {
        char32_t c = message[i].unicode();
        if (message[i].isHighSurrogate() && i + 1 < message.size() && message[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(message[i], message[i + 1]);
            ++i;
        }
        switch (QChar::category(c)) {
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Other_Surrogate:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            return false;
        default:
            break;
        }
    }
    return true;
}

void checkPaste(const PatternTable& chart, ChartCell at, const QString& text)
{
    const Result<ClipboardRows> content = parseClipboardText(text, at);
    const PlainReading plain = readPlainly(text, at);
    if (!content.ok()) {
        require(content.reason().size() <= 200, "a refusal's reason is at most 200 characters");
        require(showsEveryCharacter(content.reason()), "every character of a refusal's reason shows");
        require(plain.shapeRefused || plain.badLine > 0, "only a text read plainly as no chart is refused");
        if (plain.badLine > 0)
            require(content.reason().startsWith(
                        QStringLiteral("%1 行目の %2 番目の値").arg(plain.badLine).arg(plain.badField)),
                    "a refusal names the first field that lands and is no element");
        return;
    }
    require(!plain.shapeRefused && plain.badLine == 0, "a text read plainly as no chart is refused");
    const ClipboardRows& rows = *content;
    require(rows.size() == plain.rows.size(), "as many rows are read as land");

    const int steps = PatternTable::UsedSteps - at.step, channels = PatternTable::UsedChannels - at.channel;
    require(rows.size() <= std::size_t(steps), "no row is read past step 80");
    std::size_t fields = 0;
    for (std::size_t row = 0; row < rows.size(); ++row) {
        require(rows[row].size() <= std::size_t(channels), "no field is read past channel 40");
        require(rows[row].size() == plain.rows[row].size(), "as many fields are read as land");
        for (std::size_t field = 0; field < rows[row].size(); ++field)
            require(rows[row][field] == plain.rows[row][field], "the fields read are those of the text");
        fields += rows[row].size();
    }

    const ChartChange change = pasteChange(chart, at, rows);
    require(change.cells.size() == fields, "a paste writes every field read and no more");
    require(!change.stepCount, "a paste leaves the step count");
    std::size_t next = 0;
    for (std::size_t row = 0; row < rows.size(); ++row)
        for (std::size_t field = 0; field < rows[row].size(); ++field, ++next) {
            const CellEdit& edit = change.cells[next];
            require(edit.cell == ChartCell{at.step + int(row), at.channel + int(field)},
                    "a paste writes its cells row by row from its first cell, each once");
            require(edit.before == chart.at(edit.cell.step, edit.cell.channel),
                    "a paste keeps the value each cell held");
            require(edit.after == rows[row][field], "a paste writes the field read");
        }

    PatternTable edited = chart;
    qint16 stepCount = 40;
    change.applyTo(edited, stepCount);
    for (const CellEdit& edit : change.cells)
        require(edited.at(edit.cell.step, edit.cell.channel) == edit.after,
                "an applied paste holds what it writes");
    change.inverse().applyTo(edited, stepCount);
    require(edited == chart && stepCount == 40, "undoing a paste gives the chart back");
}

void checkCopyPastesBack(const PatternTable& chart, const CellBlock& block)
{
    // An empty value is copied as nothing, so a one-channel block ending in
    // empty values ends in empty lines, which count as line ends after the
    // last line: those values are not pasted back.
    int steps = block.steps();
    if (block.channels() == 1)
        while (steps > 0 && chart.at(block.first.step + steps - 1, block.first.channel).isEmpty())
            --steps;
    bool onlyElements = true;
    for (int step = block.first.step; step < block.first.step + steps; ++step)
        for (int channel = block.first.channel; channel <= block.last.channel; ++channel)
            onlyElements = onlyElements && chart.at(step, channel).ordinal().has_value();

    const QString text = clipboardText(chart, block);
    const Result<ClipboardRows> content = parseClipboardText(text, block.first);
    require(content.ok() == onlyElements, "a copied block pastes back exactly when it holds only elements");
    if (!content.ok())
        return;
    const ChartChange change = pasteChange(chart, block.first, *content);
    require(change.cells.size() == std::size_t(steps * block.channels()), "a copied block pastes back whole");
    for (const CellEdit& edit : change.cells) {
        require(edit.cell.step >= block.first.step && edit.cell.step <= block.last.step &&
                    edit.cell.channel >= block.first.channel && edit.cell.channel <= block.last.channel,
                "a copied block pastes back onto itself");
        require(edit.after == edit.before, "a copied block pastes back the same values");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const Case c = parseCase(QByteArrayView(data, qsizetype(size)));
    checkPaste(c.chart, c.at, c.text);
    checkCopyPastesBack(c.chart, c.copied);
    return 0;
}
