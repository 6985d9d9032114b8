#pragma once

// How assistive technology sees the chart: the chart's keyboard (ChartGrid)
// as a list whose items are the 200 cells, each named by what it shows and
// where; the cell under the cursor is the list's focused child
// while the chart has the keyboard focus, and the selected cells are
// selected. The cells' names and the announcements of the cursor come from
// the chart view.

// Makes Qt describe the chart's widgets so; once is enough, more does no harm.
void installChartAccessibility();
