#include "PdfCommand.h"

#include "FileReport.h"
#include "document/ChartSheet.h"
#include "files/FileKind.h"
#include "files/FileName.h"
#include "files/FilePlace.h"
#include "files/FileReplace.h"
#include "files/PatternFile.h"

#include <QFileInfo>

int writeChartPdf(const QString& file, const QString& output, bool force)
{
    const Result<PatternFileContent> loaded = loadOrReport(file);
    if (!loaded)
        return 1;
    // Two pattern files given, as if pdf took several: the second one is not lost.
    if (sameFile(file, output)) {
        reportFileFailure(output,
                          QStringLiteral("読み込むパターンファイルと同じファイルです。PDF はほかの名前で"
                                         "書き出してください。"));
        return 1;
    }
    if (const FileKind kind = fileKindOf(output);
        !force && (kind == FileKind::PatternFile || kind == FileKind::OtherFile)) {
        reportFileFailure(output, QStringLiteral("%1です。PDF で置き換えるには --force を指定してください。")
                                      .arg(fileKindText(kind)));
        return 1;
    }
    const ChartSheet sheet{loaded->chart, loaded->stepCount, shownFileName(QFileInfo(file).fileName()),
                           QDate::currentDate()};
    const QByteArray pdf = chartSheetPdf(sheet);
    if (pdf.isEmpty()) {
        reportFileFailure(output, QStringLiteral("PDF を作れません。"));
        return 1;
    }
    if (const Result<> written = replaceFile(output, pdf); !written) {
        reportFileFailure(output, QStringLiteral("PDF を書き出せません（%1）。").arg(written.reason()));
        return 1;
    }
    return 0;
}
