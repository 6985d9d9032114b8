#include "PdfCommand.h"

#include "Output.h"
#include "document/ChartSheet.h"
#include "files/FileKind.h"
#include "files/FileName.h"
#include "files/FilePlace.h"
#include "files/FileReplace.h"
#include "files/PatternFile.h"

#include <QFileInfo>

int writeChartPdf(const QString& file, const QString& output, bool force)
{
    const PatternFileResult loaded = loadPatternFile(file);
    if (!loaded.ok()) {
        printLine(stderr, QStringLiteral("「%1」：%2").arg(file, loaded.error));
        return 1;
    }
    // Two pattern files given, as if pdf took several: the second one is not lost.
    if (sameFile(file, output)) {
        printLine(stderr,
                  QStringLiteral("「%1」：読み込むパターンファイルと同じファイルです。PDF はほかの名前で"
                                 "書き出してください。")
                      .arg(output));
        return 1;
    }
    if (const FileKind kind = fileKindOf(output);
        !force && (kind == FileKind::PatternFile || kind == FileKind::OtherFile)) {
        printLine(stderr, QStringLiteral("「%1」：%2です。PDF で置き換えるには --force を指定してください。")
                              .arg(output, fileKindText(kind)));
        return 1;
    }
    const ChartSheet sheet{loaded.content->chart, loaded.content->stepCount,
                           shownFileName(QFileInfo(file).fileName()), QDate::currentDate()};
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
