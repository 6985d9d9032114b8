#pragma once

#include "chart/PatternTable.h"

#include <QByteArray>
#include <QString>
#include <initializer_list>

// Charts and the texts that carry them, written out by hand so that tests do
// not lean on the code they check.

// One step line of the start-up chart: forty OFF fields and CR LF.
extern const QByteArray OffLine;

// The chart of start-up: OFF in every used cell.
PatternTable startUpChart();

// Element `ordinal` (0 to 15) as a pattern file writes it: a digit, or the
// character between double quotes.
QByteArray elementField(int ordinal);

// A field of a pattern file at (step, channel), both from 0, as it stands in the file.
struct FileField
{
    int step;
    int channel;
    QByteArray text;
};

// A pattern file of the standard layout: the start-up chart with `fields`
// put in, then the step count.
QByteArray patternFile(std::initializer_list<FileField> fields = {}, const QByteArray& stepCount = "80");
// The same with every field given by `field(step, channel)`.
template <typename Field> QByteArray patternFileOf(Field field, const QByteArray& stepCount = "80")
{
    QByteArray bytes;
    for (int step = 0; step < 80; ++step)
        for (int channel = 0; channel < 40; ++channel)
            bytes += field(step, channel) + (channel < 39 ? "," : "\r\n");
    return bytes + stepCount + "\r\n";
}

// A settings file that chooses COM3 and maps it to `device`.
QByteArray settingsWithCom3(const QString& device);
