#pragma once

class ChartGrid;

// How assistive technology sees the chart: the page shown (ChartGrid) as a
// table of 5 rows (the channels of the group shown) by 40 columns (the steps
// of the page shown), with row headers ("グループA CH1") and column headers
// ("ステップ41"), each cell named by the element it shows alone, so that a
// move reads the value and the header that changed, as screen readers do in
// spreadsheets. The cell under the keyboard's cursor is the focused one while
// the chart has the focus, the selected cells are selected, and the table is
// multi-selectable.

// Makes Qt describe the chart so; once is enough, more does no harm.
void installChartAccessibility();

// The cell under the cursor has the focus: told to assistive technology.
void tellChartFocus(ChartGrid* grid);
// What grid member `index` shows has changed: it is told as a new cell, which
// screen readers speak, where a new name alone would go unspoken.
void renewChartCell(ChartGrid* grid, int index);
// The group or the page shown has changed: every cell and header is a new one,
// without a change told for each.
void renewChartCells(ChartGrid* grid);
// The selection has changed.
void tellChartSelection(ChartGrid* grid);
