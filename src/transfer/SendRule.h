#pragma once

#include "chart/ElementCode.h"
#include "chart/PatternTable.h"

#include <QString>
#include <optional>

// What can be written into the controller: a step count of 1 to 80, and in
// every cell of all 80 steps (the controller gets every step, in use or not)
// one of the sixteen elements. The transfer checks it before it opens the
// port, the window names the fault under its reason for a failed transfer,
// and the command-line writer's `check` and `write` print the same.

// The first value at fault: the step count, or else the first cell in step
// order, channel by channel.
struct SendFault
{
    enum class Kind { StepCount, Cell };
    Kind kind = Kind::StepCount;
    qint16 stepCount = 0;
    int step = 0;    // from 0
    int channel = 0; // from 0
    ElementCode value;
};

// None when the chart and step count can be written into the controller.
std::optional<SendFault> firstSendFault(const PatternTable& chart, qint16 stepCount);

// The fault in one sentence, naming the step count or the step, the channel
// (A1 to H5) and the value as it stands.
QString sendFaultText(const SendFault& fault);

// "A1" to "H5": the group's letter and the channel within it, as the window shows them.
QString channelName(int channel);

// A value as it stands in a cell: a number bare, any other value as a text
// between double quotes (a tab as \t), an empty value as "".
QString valueAsItStands(const ElementCode& value);
