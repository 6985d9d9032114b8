#pragma once

#include "chart/PatternTable.h"
#include "result/Result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The text form of a saved chart: 80 lines of 40 fields (steps 1 to 80,
// channels 1 to 40), then the step count, every line ended by CR LF. Numbers
// are written bare, texts between double quotes. The window's save and load
// buttons and the controller simulator use it.
struct PatternFileContent
{
    PatternTable chart;
    qint16 stepCount = 0;

    friend bool operator==(const PatternFileContent&, const PatternFileContent&) = default;
};

// No more of a pattern file is taken, and its fields must end within it; the
// largest file the program writes is under 13 KB, hand-edited ones with blanks
// stay far below this. What follows the step count may run on beyond it.
inline constexpr qsizetype MaxPatternFileBytes = 256 * 1024;
// Nor a longer value: real ones are one to three bytes.
inline constexpr qsizetype MaxPatternFieldBytes = 64;

// Whether a pattern file carries `value` so that it reads back the same:
// every value the reader yields does; a text with a double quote, a line end,
// a control or non-ASCII character or over MaxPatternFieldBytes, or a number
// that is not finite, does not.
bool fitsPatternFile(const ElementCode& value);

// The exact bytes of a pattern file. They load back as the same chart when
// every used value fits; savePatternFile() refuses a chart where one does not.
QByteArray formatPatternFile(const PatternTable& chart, qint16 stepCount);

// Reads the bytes of a pattern file into a fresh chart: the first 3,200
// fields fill steps 0-79 by channels 0-39, the 3,201st is the step count.
// Values are taken as they stand, without a range test. Nothing after the
// step count is looked at. A file that cannot be read fails with a short
// sentence meant to follow the file name, as in
// "「パターン１.txt」：ファイルが壊れています（値が足りません）。".
Result<PatternFileContent> parsePatternFile(QByteArrayView bytes);

// Reads and parses the file at `path`. Refuses an oversized file without
// reading it whole.
Result<PatternFileContent> loadPatternFile(const QString& path);

// Writes the pattern file at `path`; the old file is replaced only by a
// complete new one that has reached the disk, and a name that is no regular
// file is refused. Fails with the reason when nothing was written.
Result<> savePatternFile(const QString& path, const PatternTable& chart, qint16 stepCount);
