#pragma once

#include "edit/ChartChange.h"

#include <QString>

// Where a change acted, in the words screen readers are given after an edit
// away from the cursor, an undo or a redo: the group, the channels within it
// and the steps the cells it wrote span ("グループB CH5 ステップ10〜20",
// "グループA〜H ステップ1〜80"), and a new step count ("ステップ数 37").
// Empty for a change that writes nothing.
QString changePlace(const ChartChange& change);
