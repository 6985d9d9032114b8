#include "files/PatternFile.h"

#include "files/FileReplace.h"

#include <QLocale>
#include <cmath>

namespace {

// Numbers are written in plain decimal form, so that 100000 reads as it was
// typed. Only a magnitude far outside anything a chart holds would make that
// longer than the reader takes; such a number keeps the exponent form, which
// reads back as the same value.
QByteArray numberField(const ElementCode& value)
{
    const double number = value.numberValue();
    const QByteArray plain = QByteArray::number(number, 'f', QLocale::FloatingPointShortest);
    if (number == 0 || plain.size() > MaxPatternFieldBytes)
        return value.toText().toLatin1(); // "0" for -0 too
    return plain;
}

void appendField(QByteArray& out, const ElementCode& value)
{
    if (value.isText()) {
        out += '"';
        out += value.textValue().toLatin1();
        out += '"';
    } else if (value.isNumber()) {
        out += numberField(value);
    }
}

} // namespace

// The reader never yields a value that does not fit, so only a chart filled
// by other means can hold one; such a chart is refused rather than written
// into a file that loads otherwise.
bool fitsPatternFile(const ElementCode& value)
{
    if (value.isNumber())
        return std::isfinite(value.numberValue());
    if (value.isText()) {
        const QString& text = value.textValue();
        if (text.size() > MaxPatternFieldBytes)
            return false;
        for (const QChar c : text)
            if (c == QChar('"') || (c < QChar(0x20) && c != QChar('\t')) || c > QChar(0x7e))
                return false;
    }
    return true;
}

QByteArray formatPatternFile(const PatternTable& chart, qint16 stepCount)
{
    QByteArray out;
    out.reserve(6600);
    for (int step = 0; step < PatternTable::UsedSteps; ++step) {
        for (int channel = 0; channel < PatternTable::UsedChannels; ++channel) {
            appendField(out, chart.at(step, channel));
            out += channel + 1 < PatternTable::UsedChannels ? "," : "\r\n";
        }
    }
    out += QByteArray::number(stepCount);
    out += "\r\n";
    return out;
}

Result<> savePatternFile(const QString& path, const PatternTable& chart, qint16 stepCount)
{
    for (int step = 0; step < PatternTable::UsedSteps; ++step)
        for (int channel = 0; channel < PatternTable::UsedChannels; ++channel)
            if (!fitsPatternFile(chart.at(step, channel)))
                return Failure{QStringLiteral("ファイルに保存できません（ステップ %1、チャンネル %2 "
                                              "の値はファイルに書けません）。")
                                   .arg(step + 1)
                                   .arg(channel + 1)};

    if (const Result<> written = replaceFile(path, formatPatternFile(chart, stepCount)); !written)
        return Failure{QStringLiteral("ファイルに保存できません（%1）。").arg(written.reason())};
    return {};
}
