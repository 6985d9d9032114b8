#pragma once

#include "edit/ChartChange.h"

#include <QString>
#include <QtGlobal>
#include <optional>

// Reading the value of an item chosen in one of the window's number lists.

// A batch range box ("1" to "5", "1" to "80"): the 0-based value, the number
// less one. None for a text that is no number in range.
std::optional<qint16> rangeChoice(const QString& text);

// The step-count box: the number read as a whole number. None for a text
// that is no number in range.
std::optional<qint16> stepCountChoice(const QString& text);

// A pick in the step-count box as an edit: the step count from `current` to
// the number picked (also when it is the same); nothing for a text that is
// no number in range.
ChartChange stepCountPick(qint16 current, const QString& text);
