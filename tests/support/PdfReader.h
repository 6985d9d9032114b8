#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

// A PDF file read from outside the code that made it, with poppler's tools
// (package poppler-utils): what a viewer or a printer would take from it.

// Why the tools cannot be used here (not installed), or empty when they can.
QString pdfToolsMissing();
// The number of pages pdfinfo reports, -1 when it cannot read the file.
int pdfPageCount(const QString& path);
// The value of one of pdfinfo's fields ("Page size", "Title"), empty when there is none.
QString pdfInfo(const QString& path, const QString& field);
// The text of page `page` (from 1), in reading order, as pdftotext gives it.
QString pdfPageText(const QString& path, int page);
// Page `page` rendered at `dotsPerInch`; a null image when it cannot be.
QImage pdfPageImage(const QString& path, int page, int dotsPerInch);
// The names of the fonts the file carries, with whether each is embedded (pdffonts).
QStringList pdfEmbeddedFonts(const QString& path);
