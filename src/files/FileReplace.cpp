#include "files/FileReplace.h"

#include "files/FilePlace.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStorageInfo>

#include <cerrno>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

constexpr QFileDevice::Permissions PermissionBits =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup |
    QFileDevice::WriteGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::WriteOther |
    QFileDevice::ExeOther;

// QSaveFile::commit() syncs too, but ignores a failure; a file system that
// reports a lost write only here must not see the file replaced.
bool syncToDisk(QFileDevice& file)
{
#ifdef Q_OS_WIN
    return ::_commit(file.handle()) == 0;
#else
    return ::fsync(file.handle()) == 0;
#endif
}

// The device's own reason, and plainly so when the disk is full, which
// systems word in many ways.
QString reasonOf(const QFileDevice& file, const QString& path, qsizetype needed)
{
    QString reason = file.errorString();
    const QStorageInfo storage(QFileInfo(path).absolutePath());
    if (storage.isValid() && storage.bytesAvailable() >= 0 && storage.bytesAvailable() < needed + 4096) {
        // A write the disk took only in part fails without the system's
        // reason (Qt reports "Unknown error"); the reason is the full disk.
        if (file.error() == QFileDevice::WriteError && reason == QFile().errorString())
            reason = qt_error_string(ENOSPC);
        reason = QStringLiteral("ディスクの空きが足りません: ") + reason;
    }
    return reason;
}

// Everything written, cut to its length, on disk, or false.
bool writeWhole(QFileDevice& file, QByteArrayView bytes)
{
    return file.write(bytes.data(), bytes.size()) == bytes.size() && file.flush() &&
           file.resize(bytes.size()) && file.size() == bytes.size() && syncToDisk(file);
}

std::optional<QString> rewriteInPlace(const QString& path, QByteArrayView bytes)
{
    // Unbuffered, so that bytes a full disk refused are not kept for a later flush.
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return file.errorString();
    const QByteArray old = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return file.errorString();
    if (file.seek(0) && writeWhole(file, bytes))
        return std::nullopt;
    const QString reason = reasonOf(file, path, bytes.size());
    // The old bytes fitted before, so they fit again.
    file.unsetError();
    if (file.seek(0))
        writeWhole(file, old);
    return reason;
}

} // namespace

std::optional<QString> replaceFile(const QString& path, QByteArrayView bytes, InPlaceWrite inPlace)
{
    // QSaveFile follows a link by itself, but where the links lead round in a
    // loop it replaces the link with a regular file. So they are followed
    // here, and QSaveFile is given the file they lead to: a link that leads
    // nowhere yet makes its target, and the link stays, as editors do it.
    const std::optional<QString> target = followLinks(path);
    if (!target)
        return QStringLiteral("リンク先をたどれません");
    const QFileInfo info(*target);
    if (info.exists() && !info.isFile())
        return QStringLiteral("通常のファイルではありません");
    if (!info.exists()) {
        if (const std::optional<QString> missing = missingFolder(*target))
            return *target == path ? *missing : QStringLiteral("リンク先の") + *missing;
    }

    QSaveFile file(*target);
    if (!file.open(QIODevice::WriteOnly)) {
        if (inPlace == InPlaceWrite::WhereFolderRefuses && info.exists() && info.isWritable())
            return rewriteInPlace(*target, bytes);
        return file.errorString();
    }
    // QSaveFile would give the new file the rights of the user writing it
    // (all of them, for an administrator), not those the old file had.
    if (info.exists())
        file.setPermissions(info.permissions() & PermissionBits);
    if (!writeWhole(file, bytes)) {
        const QString reason = reasonOf(file, *target, bytes.size());
        file.cancelWriting();
        return reason;
    }
    if (!file.commit())
        return file.errorString();
    return std::nullopt;
}
