#include "PdfReader.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

struct Output
{
    bool ok = false;
    QByteArray text;
};

Output run(const QString& tool, const QStringList& arguments)
{
    QProcess process;
    process.start(tool, arguments);
    Output output;
    output.ok = process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit &&
                process.exitCode() == 0;
    output.text = process.readAllStandardOutput();
    return output;
}

} // namespace

QString pdfToolsMissing()
{
    for (const char* tool : {"pdfinfo", "pdftotext", "pdftoppm", "pdffonts"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            return QStringLiteral("%1 is not installed (package poppler-utils)")
                .arg(QString::fromLatin1(tool));
    return {};
}

QString pdfInfo(const QString& path, const QString& field)
{
    const Output info = run(QStringLiteral("pdfinfo"), {path});
    if (!info.ok)
        return {};
    for (const QString& line : QString::fromUtf8(info.text).split('\n'))
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed();
    return {};
}

int pdfPageCount(const QString& path)
{
    bool ok = false;
    const int pages = pdfInfo(path, QStringLiteral("Pages")).toInt(&ok);
    return ok ? pages : -1;
}

QString pdfPageText(const QString& path, int page)
{
    const QString number = QString::number(page);
    return QString::fromUtf8(
        run(QStringLiteral("pdftotext"), {"-enc", "UTF-8", "-f", number, "-l", number, path, "-"}).text);
}

QImage pdfPageImage(const QString& path, int page, int dotsPerInch)
{
    QTemporaryDir folder;
    const QString number = QString::number(page);
    const QString stem = folder.filePath(QStringLiteral("page"));
    if (!run(QStringLiteral("pdftoppm"), {"-r", QString::number(dotsPerInch), "-f", number, "-l", number,
                                          "-png", "-singlefile", path, stem})
             .ok)
        return {};
    return QImage(stem + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB32);
}

QStringList pdfEmbeddedFonts(const QString& path)
{
    // name  type  encoding  emb  sub  uni  object ID: two heading lines, then one line a font.
    const QStringList lines = QString::fromUtf8(run(QStringLiteral("pdffonts"), {path}).text).split('\n');
    QStringList fonts;
    for (const QString& line : lines.mid(2)) {
        const QStringList columns = line.split(' ', Qt::SkipEmptyParts);
        if (columns.size() >= 7 && columns.at(columns.size() - 5) == QLatin1String("yes"))
            fonts << columns.first();
    }
    return fonts;
}
