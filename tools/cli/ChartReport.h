#pragma once

#include "edit/ChartChange.h"
#include "files/PatternFile.h"

#include <QList>
#include <QString>
#include <array>
#include <utility>

// The chart of a pattern file in text, for the terminal, and the facts the
// text is made of, for JSON.

inline constexpr int Groups = 8;

// "A" to "H" for the groups 0 to 7.
QChar groupLetter(int group);

// A value as `show` writes it: an element by its caption, any other value as
// it stands (valueAsItStands).
QString shown(const ElementCode& value);

// What the steps in use of one group's five channels hold: the cells of each
// element (by ordinal) and of each value that is no element (as shown(), in
// the order first met, step by step).
struct GroupContents
{
    std::array<int, ElementCount> elementCells{};
    QList<std::pair<QString, int>> otherValues;
};
std::array<GroupContents, Groups> groupContents(const PatternFileContent& content);

// The step count and, for each group, the elements its steps in use hold
// (all 80 steps when the step count is out of range), with any values that
// are no element.
QString chartSummary(const PatternFileContent& content);

// The chart as a grid: steps down, channels across (all 40, or the five of
// `group` 0 to 7), each cell its element's caption; a value that is no
// element shows as it stands, a text between double quotes. A line marks
// the end of the steps in use.
QString chartGrid(const PatternFileContent& content, int group = -1);

// What `change` (ChartChange::between the two files) holds, for `diff`: the
// step counts, then one line for each cell that differs, in file order,
// with its group, channel and step and the values before and after as
// `show` writes them, then the number of such cells.
QString differencesText(const PatternFileContent& before, const PatternFileContent& after,
                        const ChartChange& change);
