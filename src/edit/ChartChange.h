#pragma once

#include "chart/CellMapping.h"
#include "chart/ElementCode.h"
#include "chart/PatternTable.h"

#include <QtGlobal>
#include <optional>
#include <vector>

// One cell an edit writes, with the value it held and the value it takes.
struct CellEdit
{
    ChartCell cell;
    ElementCode before;
    ElementCode after;
};

// The step count before and after an edit that sets it.
struct StepCountEdit
{
    qint16 before;
    qint16 after;
};

// An edit of the chart as a value: the cells it writes and, where it sets
// it, the step count. The editing rules compute one, the window carries it
// out and repaints what it touched, and the undo history keeps it to carry
// it out backwards. It holds only what it writes, never a copy of the chart.
struct ChartChange
{
    std::vector<CellEdit> cells;
    std::optional<StepCountEdit> stepCount;

    // The edit that turns the chart back: every value and the step count
    // swapped, the cells in the same order, so its first cell is this one's.
    ChartChange inverse() const;
    // Writes the new values and the step count.
    void applyTo(PatternTable& chart, qint16& stepCount) const;

    // Nothing written at all: the edit had no effect.
    bool isEmpty() const { return cells.empty() && !stepCount; }
    // Some value or the step count is different afterwards. A change that
    // writes every cell as it was is no step of the history.
    bool changesAnything() const;
    // The first cell written, where the view goes after an undo or a redo.
    std::optional<ChartCell> firstCell() const;

    // From one chart and step count to another (a load): the used cells
    // whose values differ, in file order, and the step count where it differs.
    static ChartChange between(const PatternTable& before, qint16 stepCountBefore, const PatternTable& after,
                               qint16 stepCountAfter);
};
