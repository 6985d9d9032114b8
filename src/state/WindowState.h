#pragma once

#include "chart/ElementCode.h"
#include "state/StatusDisplay.h"

#include <QString>
#include <QtGlobal>

// The three editing modes, as the options `Option1` to `Option3` choose them.
enum class EditingMode : qint16 { Normal = 0, SamePattern = 1, Batch = 2 };

// What the window keeps for the length of a run besides the chart, which is
// the chart document's: the group and page shown, the editing choices, the
// transfer's flag and record index, the port and the status display. The
// window owns one and its handlers read and write it; the names are the
// window's own.
struct WindowState
{
    qint16 CurrentGroup = 0;
    qint16 CurrentPage = 0;
    EditingMode EditMode = EditingMode::Normal;
    ElementCode SelectedElement = ElementCode::number(0);
    qint16 BatchChannel = 0;
    qint16 BatchFromStep = 0;
    qint16 BatchToStep = 0;
    ElementCode BatchElement;
    QString BusyFlag = QStringLiteral("0");
    QString PortName;
    qint16 RecordIndex = 0;
    StatusDisplay Status;

    // The values of start-up: not busy, group A, page 1, normal mode, UP
    // selected, batch range 0.
    void startUp();

    // BusyFlag read as a number: "1" locks, any other text unlocks.
    bool busy() const;

    // The opening of nearly every handler: false (and nothing changed) while a
    // transfer runs, otherwise the status display goes idle and true.
    bool StatusReset();
};
