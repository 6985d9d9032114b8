#pragma once

#include "chart/PatternTable.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

// The text form of a saved chart: 80 lines of 40 fields (steps 1 to 80,
// channels 1 to 40), then the step count, every line ended by CR LF. Numbers
// are written bare, texts between double quotes. The window's save and load
// buttons and the controller simulator use it.
struct PatternFileContent
{
    PatternTable chart;
    qint16 stepCount = 0;
};

// The exact bytes of a pattern file.
QByteArray formatPatternFile(const PatternTable& chart, qint16 stepCount);
