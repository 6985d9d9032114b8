#pragma once

#include <QString>

// `trv5kb pdf`: the chart in `file`, read as the window reads it, as the
// printable sheet of the window's "PDFに書き出す…" (one A4 landscape page a
// group), written to `output` through the same checked replacement as every
// file the programs write. `output` is never `file` itself (under any name or
// link), and a file there that is no PDF (a pattern file, anything else that
// is not empty) is replaced only when `force` is given. Needs a
// QGuiApplication (for the fonts), but no display. Gives the exit status: 0 on
// success, else 1 with the reason on standard error.
int writeChartPdf(const QString& file, const QString& output, bool force);
