#pragma once

#include "edit/ChartChange.h"
#include "edit/ChartClipboard.h"

#include <QString>

// Where an edit acted, in the words screen readers are given after an edit
// away from the cursor, an undo or a redo, and the command line prints.

// A block of cells: "全チャンネル ステップ10", "グループB CH1～5 ステップ10～12",
// "グループA CH4～グループB CH2 ステップ3".
QString place(const CellBlock& region);

// The block the cells a change wrote span, and a new step count: "グループB
// CH5 ステップ10～20", "ステップ数 37", both joined by "、". Empty for a change
// that writes nothing.
QString changePlace(const ChartChange& change);
