#pragma once

#include "chart/PatternTable.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>

class QPagedPaintDevice;

// The whole chart on paper, to pin beside the controller or hand to a
// colleague: a landscape page for each group with its five channels down and
// the 80 steps across in two rows of 40, every cell drawn as its element's
// picture (vector drawing, sharp at any zoom), the steps beyond the step count
// greyed and the end marker where the window puts it; a header with the
// file's name, the step count, the date and the group; a legend of the
// sixteen elements and the page number. Groups whose channels are all OFF over
// the steps in use are left out, and the legend names them. The window prints
// and exports it, `trv5kb pdf` writes it.
struct ChartSheet
{
    PatternTable chart;
    qint16 stepCount = 0;
    // The file the chart was read from or saved to, by name only; empty for a chart never saved.
    QString fileName;
    QDate date;
};

// The groups (0 to 7) that have a page, in order: every group with a channel
// that is not OFF in a step in use, or group A alone when there is none.
QList<int> sheetGroups(const ChartSheet& sheet);

// Paints pages `fromPage` to `toPage` (counted from 1; 0 for the first or the
// last) onto `device`, each within its page layout's printable area, scaled
// to fit where that is not A4 landscape. False when the device cannot be
// painted on (a printer that refuses the job).
bool paintChartSheet(QPagedPaintDevice& device, const ChartSheet& sheet, int fromPage = 0, int toPage = 0);

// The sheet as a PDF document: A4 landscape, with the Japanese font embedded.
QByteArray chartSheetPdf(const ChartSheet& sheet);

// The header's name of a chart never saved.
QString unsavedChartName();
