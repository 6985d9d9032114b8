#include "app/ChartPrinting.h"

#include "app/FileDialogs.h"
#include "app/MessageBoxes.h"
#include "app/NamedFiles.h"
#include "app/WindowContext.h"
#include "app/WindowShortcuts.h"
#include "document/ChartSheet.h"
#include "files/FileKind.h"
#include "files/FileName.h"
#include "files/FilePlace.h"
#include "files/FileReplace.h"
#include "model/ChartDocument.h"

#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QPageLayout>
#include <QPrinter>

namespace {

const QString ExportTitle = QStringLiteral("PDFに書き出す");
const QString PrintTitle = QStringLiteral("印刷");

} // namespace

ChartPrinting::ChartPrinting(WindowContext& context, const NamedFiles& files)
    : QObject(&context.window), m_context(context), m_files(files)
{
    m_printKeys =
        m_context.shortcuts.add(QKeySequence::Print, QKeySequence(Qt::CTRL | Qt::Key_P), [this] { print(); });
}

ChartSheet ChartPrinting::sheet() const
{
    const ChartDocument& document = m_context.document;
    return {document.PatternData(), document.StepCount(),
            shownFileName(QFileInfo(document.file()).fileName()), QDate::currentDate()};
}

void ChartPrinting::exportPdf()
{
    if (!m_context.opening())
        return;
    const QString chartFile = m_context.document.file();
    const QString offered =
        (chartFile.isEmpty() ? QStringLiteral("チャート") : QFileInfo(chartFile).completeBaseName()) +
        QStringLiteral(".pdf");
    const QString path = m_context.dialogs().saveFile(
        &m_context.window, {ExportTitle,
                            m_files.lastFolder(),
                            offered,
                            {QStringLiteral("PDF ファイル (*.pdf)"), QStringLiteral("すべてのファイル (*)")},
                            QStringLiteral("pdf")});
    if (path.isEmpty())
        return;
    // The dialog's own question names no kind of file; a pattern file is easily taken for a PDF's name.
    if (const FileKind kind = fileKindOf(path);
        kind == FileKind::PatternFile || kind == FileKind::OtherFile) {
        const QMessageBox::StandardButton answer = m_context.boxes.show(
            &m_context.window,
            {ExportTitle,
             QStringLiteral("「%1」は%2です。PDF で置き換えると、今の中身は失われます。置き換えますか？")
                 .arg(shownFileName(QFileInfo(path).fileName()), fileKindText(kind)),
             QMessageBox::Warning, QMessageBox::Yes | QMessageBox::No, QMessageBox::No});
        if (answer != QMessageBox::Yes)
            return;
    }
    Result<> exported;
    const QByteArray pdf = chartSheetPdf(sheet());
    if (pdf.isEmpty())
        exported = Failure{QStringLiteral("PDF を作れません。")};
    else if (const Result<> written = replaceFile(path, pdf); !written)
        exported = Failure{QStringLiteral("PDF を書き出せません（%1）。").arg(written.reason())};
    if (!exported)
        m_context.boxes.show(&m_context.window, {ExportTitle,
                                                 QStringLiteral("「%1」：%2\n%3")
                                                     .arg(QFileInfo(path).fileName(), exported.reason(),
                                                          QDir::toNativeSeparators(absoluteFilePath(path))),
                                                 QMessageBox::Warning, QMessageBox::Ok, QMessageBox::Ok});
}

void ChartPrinting::print()
{
    if (!m_context.opening())
        return;
    const ChartSheet chart = sheet();
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                      QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
    printer.setDocName(chart.fileName.isEmpty() ? unsavedChartName() : chart.fileName);
    if (!m_context.dialogs().choosePrinter(&m_context.window, printer, int(sheetGroups(chart).size())))
        return;
    if (!paintChartSheet(printer, chart, printer.fromPage(), printer.toPage()))
        m_context.boxes.show(&m_context.window,
                             {PrintTitle,
                              QStringLiteral("印刷できません（プリンターが印刷を受け付けません）。"),
                              QMessageBox::Warning, QMessageBox::Ok, QMessageBox::Ok});
}

void ChartPrinting::addMenuItems(QMenu& menu, bool idle)
{
    QAction* exportPdf = menu.addAction(ExportTitle + QStringLiteral("…"));
    exportPdf->setEnabled(idle);
    connect(exportPdf, &QAction::triggered, this, &ChartPrinting::exportPdf);
    QAction* print = menu.addAction(withKeys(PrintTitle + QStringLiteral("…"), m_printKeys));
    print->setEnabled(idle);
    connect(print, &QAction::triggered, this, &ChartPrinting::print);
}
