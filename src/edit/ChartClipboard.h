#pragma once

#include "chart/CellMapping.h"
#include "chart/PatternTable.h"
#include "edit/ChartChange.h"
#include "result/Result.h"

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
// pasting it back is refused. Only empty values at the end of a block one
// channel wide are not: their empty lines are line ends after the last line,
// and the paste leaves those cells as they are.
QString clipboardText(const PatternTable& chart, const CellBlock& block);

// The element a clipboard field names: a digit, one of the six characters
// bare or between double quotes (also the tripled quotes of a spreadsheet
// that quotes a text holding quotes), or a palette caption in any case;
// blanks around it do not count. None for anything else.
std::optional<ElementCode> clipboardElement(QStringView field);

// Clipboard text read as rows of elements (steps) of fields (channels), or
// failing with why it was refused, naming the line and field. Lines may end in CR LF, LF
// or CR; line ends after the last line do not count. No rows when there is
// nothing but line ends. A refusal shows the field as it stands, at most 20
// characters of it, with control and format characters, line separators and
// lone surrogates written as \x00 or \u202E, so that none hides or garbles
// the message.
//
// A clipboard may hold anything, a whole spreadsheet or a log file of many
// megabytes, and at most 80 x 40 fields can land. So the text is read in
// place, and what is kept is only what lands when the paste starts at `at`
// (a cell of the chart): the first 80 - at.step lines, of each the first
// 40 - at.channel fields. Only those fields are checked, too: a field beyond
// the chart's edges is neither kept nor looked at, so a block with notes
// beside or below it pastes as long as the notes fall outside the chart.
//
// Before any field is read, the shape of the whole text is checked, wherever
// the paste starts, and a text that is plainly not a chart is refused:
// - more than MaxClipboardCharacters characters (1 MiB), refused without
//   reading it at all (a whole chart copied is under 13,000 characters, one
//   written in the longest captions under 40,000);
// - more than MaxClipboardLines lines (twice the chart's steps), line ends
//   after the last line not counted;
// - a line of more than MaxClipboardFields fields (twice the channels).
// Twice the chart leaves room for totals or notes beside a block, not for a
// whole sheet. What a paste costs beyond the text itself is then bounded by
// the chart, not by the clipboard.
using ClipboardRows = std::vector<std::vector<ElementCode>>;
inline constexpr qsizetype MaxClipboardCharacters = 1024 * 1024;
inline constexpr qsizetype MaxClipboardLines = 2 * PatternTable::UsedSteps;
inline constexpr qsizetype MaxClipboardFields = 2 * PatternTable::UsedChannels;
Result<ClipboardRows> parseClipboardText(QStringView text, ChartCell at = {0, 0});

// Pasting rows with their first field at `at`: every field that lands on
// the chart is written, row by row; what would pass step 80 or channel 40
// is cut off. Channels run on across groups.
ChartChange pasteChange(const PatternTable& chart, ChartCell at, const ClipboardRows& rows);
