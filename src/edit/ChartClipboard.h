#pragma once

#include "chart/CellMapping.h"
#include "chart/PatternTable.h"
#include "edit/ChartChange.h"

#include <QString>
#include <QStringView>
#include <optional>
#include <vector>

// Copying parts of the chart as text and pasting text back. The text is what
// spreadsheets exchange: one line per step, the channels separated by tabs,
// each field an element as the pattern file writes it (a digit, or one of
// the six characters between double quotes).

// A rectangle of chart cells, both corners included.
struct CellBlock
{
    ChartCell first; // lowest step and channel
    ChartCell last;  // highest step and channel

    // The block between two cells given in any order.
    static CellBlock spanning(ChartCell a, ChartCell b);
    // One channel's 80 steps, one step's 40 channels, one group's 5 channels by 80 steps.
    static CellBlock wholeChannel(int channel);
    static CellBlock wholeStep(int step);
    static CellBlock wholeGroup(int group);

    int steps() const { return last.step - first.step + 1; }
    int channels() const { return last.channel - first.channel + 1; }
    friend bool operator==(const CellBlock&, const CellBlock&) = default;
};

// The clipboard text of a block: a line per step, ended by a line feed.
// A value that is no element is written as the pattern file has it (a
// number bare, a text between quotes, an empty value as nothing), with tabs
// and line ends in it turned into spaces so the lines keep their shape;
// pasting it back is refused.
QString clipboardText(const PatternTable& chart, const CellBlock& block);

// The element a clipboard field names: a digit, one of the six characters
// bare or between double quotes (also the tripled quotes of a spreadsheet
// that quotes a text holding quotes), or a palette caption in any case;
// blanks around it do not count. None for anything else.
std::optional<ElementCode> clipboardElement(QStringView field);

// Clipboard text read as rows of elements (steps) of fields (channels), or
// why it was refused, naming the line and field. Lines may end in CR LF, LF
// or CR; line ends after the last line do not count. No rows when there is
// nothing but line ends.
struct ClipboardContent
{
    std::vector<std::vector<ElementCode>> rows;
    QString error;

    bool ok() const { return error.isEmpty(); }
};
ClipboardContent parseClipboardText(const QString& text);

// Pasting rows with their first field at `at`: every field that lands on
// the chart is written, row by row; what would pass step 80 or channel 40
// is cut off. Channels run on across groups.
ChartChange pasteChange(const PatternTable& chart, ChartCell at,
                        const std::vector<std::vector<ElementCode>>& rows);
