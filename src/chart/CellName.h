#pragma once

#include "chart/CellMapping.h"
#include "chart/ElementCode.h"

#include <QString>

// How the window names a group and a chart cell in words, for screen
// readers and the chart menu.

// "グループA" to "グループH".
QString groupName(int group);

// What a cell shows: the element's caption, "UP-L". A value that is no
// element (possible after loading a hand-edited file) is named as the pattern
// file writes it, "要素ではない値「10」", an empty one "値なし".
QString valueName(const ElementCode& value);

// The same with where the cell is: "グループA CH3 ステップ12 UP-L".
QString cellName(ChartCell cell, const ElementCode& value);
