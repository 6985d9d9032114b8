#include "files/PatternFile.h"

namespace {
void appendField(QByteArray& out, const ElementCode& value)
{
    if (value.isText()) {
        out += '"';
        out += value.toText().toUtf8();
        out += '"';
    } else {
        out += value.toText().toUtf8();
    }
}
} // namespace

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
