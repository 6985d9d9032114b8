#include "files/FileKind.h"

#include "files/FileName.h"
#include "files/PatternFile.h"

#include <QFile>
#include <QFileInfo>

FileKind fileKindOf(const QString& name)
{
    const FileByBytes byBytes(name);
    const QFileInfo info(byBytes.path());
    if (byBytes.path().isEmpty() || !info.exists())
        return FileKind::Missing;
    // A pipe is never opened here: reading it could wait for ever.
    if (!info.isFile())
        return FileKind::NotAFile;
    if (info.size() == 0)
        return FileKind::Missing;
    QFile file(byBytes.path());
    if (!file.open(QIODevice::ReadOnly))
        return FileKind::OtherFile;
    if (file.read(5) == "%PDF-")
        return FileKind::Pdf;
    file.close();
    return loadPatternFile(name).ok() ? FileKind::PatternFile : FileKind::OtherFile;
}

QString fileKindText(FileKind kind)
{
    switch (kind) {
    case FileKind::PatternFile:
        return QStringLiteral("パターンファイル");
    case FileKind::Pdf:
        return QStringLiteral("PDF ファイル");
    case FileKind::NotAFile:
        return QStringLiteral("通常のファイルではないもの");
    case FileKind::OtherFile:
    case FileKind::Missing:
        break;
    }
    return QStringLiteral("PDF ではないファイル");
}
