#include "PdfCommand.h"

#include "Output.h"
#include "document/ChartSheet.h"
#include "files/FileReplace.h"
#include "files/PatternFile.h"

#include <QFileInfo>

int writeChartPdf(const QString& file, const QString& output)
{
    const PatternFileResult loaded = loadPatternFile(file);
    if (!loaded.ok()) {
        printLine(stderr, QStringLiteral("「%1」：%2").arg(file, loaded.error));
        return 1;
    }
    const ChartSheet sheet{loaded.content->chart, loaded.content->stepCount, QFileInfo(file).fileName(),
                           QDate::currentDate()};
    const QByteArray pdf = chartSheetPdf(sheet);
    if (pdf.isEmpty()) {
        printLine(stderr, QStringLiteral("「%1」：PDF を作れません。").arg(output));
        return 1;
    }
    if (const std::optional<QString> reason = replaceFile(output, pdf)) {
        printLine(stderr, QStringLiteral("「%1」：PDF を書き出せません（%2）。").arg(output, *reason));
        return 1;
    }
    return 0;
}
