#pragma once

#include "chart/CellMapping.h"
#include "chart/ElementCode.h"

#include <QString>

// How the window names a group and a chart cell in words, for screen
// readers and the chart menu.

// "グループA" to "グループH".
QString groupName(int group);

// What a cell shows, with where it is: "グループA CH3 ステップ12 UP-L". A value
// that is no element (possible after loading a hand-edited file) is named as
// the pattern file writes it, "要素ではない値「10」", an empty one "値なし".
QString cellName(ChartCell cell, const ElementCode& value);
