#include "files/FileReplace.h"

#include "files/FileName.h"
#include "files/FilePlace.h"
#include "files/FileReason.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QStorageInfo>

#include <QScopeGuard>
#include <cerrno>
#include <utility>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
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
    const QString reason = inUserWords(file.errorString());
    const QStorageInfo storage(QFileInfo(path).absolutePath());
    if (storage.isValid() && storage.bytesAvailable() >= 0 && storage.bytesAvailable() < needed + 4096) {
        const QString full = systemReasonText(ENOSPC);
        // A write the disk took only in part fails without the system's
        // reason (Qt reports "Unknown error"); the reason is the full disk.
        if (reason == full ||
            (file.error() == QFileDevice::WriteError && file.errorString() == QFile().errorString()))
            return full;
        return full + QStringLiteral(": ") + reason;
    }
    return reason;
}

// Everything written, cut to its length, on disk, or false.
bool writeWhole(QFileDevice& file, QByteArrayView bytes)
{
    return file.write(bytes.data(), bytes.size()) == bytes.size() && file.flush() &&
           file.resize(bytes.size()) && file.size() == bytes.size() && syncToDisk(file);
}

Result<> rewriteInPlace(const QString& path, QByteArrayView bytes)
{
    // Unbuffered, so that bytes a full disk refused are not kept for a later flush.
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return Failure{inUserWords(file.errorString())};
    const QByteArray old = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return Failure{inUserWords(file.errorString())};
    if (file.seek(0) && writeWhole(file, bytes))
        return {};
    const QString reason = reasonOf(file, path, bytes.size());
    // The old bytes fitted before, so they fit again.
    file.unsetError();
    if (file.seek(0))
        writeWhole(file, old);
    return Failure{reason};
}

#ifdef Q_OS_LINUX
constexpr int MaxLinks = 40;

// The folder of `path` and the name in it, as bytes.
std::pair<QByteArray, QByteArray> splitName(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return {QByteArrayLiteral("."), path};
    return {slash == 0 ? QByteArrayLiteral("/") : path.first(slash), path.sliced(slash + 1)};
}

// replaceFile for a name whose bytes are no text, as far as Qt cannot name it: its links are
// followed by their bytes; a folder Qt cannot name is reached through Linux's
// /proc/self/fd; a file Qt cannot name is written under a stand-in name beside it through
// the same checked replacement, which then takes the file's name in one rename.
Result<> replaceByBytes(const QString& path, QByteArrayView bytes, InPlaceWrite inPlace)
{
    QByteArray target = systemFileName(path);
    for (int links = 0;; ++links) {
        struct stat status;
        if (::lstat(target.constData(), &status) != 0 || !S_ISLNK(status.st_mode))
            break;
        if (links == MaxLinks)
            return Failure{QStringLiteral("リンク先をたどれません")};
        QByteArray next(qsizetype(status.st_size) + 1, Qt::Uninitialized);
        const ssize_t size = ::readlink(target.constData(), next.data(), std::size_t(next.size()));
        if (size < 0 || size >= next.size())
            return Failure{QStringLiteral("リンク先をたどれません")};
        next.truncate(size);
        target = next.startsWith('/') ? next : splitName(target).first + '/' + next;
    }
    if (const QString text = fileNameFromSystem(target); !keepsForeignBytes(text))
        return replaceFile(text, bytes, inPlace);

    const auto [folderName, leaf] = splitName(target);
    const int folder = ::open(folderName.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        if (errno == ENOENT)
            return Failure{QStringLiteral("フォルダ「%1」がありません")
                               .arg(shownFileName(fileNameFromSystem(folderName)))};
        return Failure{systemReasonText(errno)};
    }
    const auto closeFolder = qScopeGuard([folder] { ::close(folder); });
    const QString folderPath = QStringLiteral("/proc/self/fd/%1/").arg(folder);
    const QString leafText = fileNameFromSystem(leaf);
    if (!keepsForeignBytes(leafText))
        return replaceFile(folderPath + leafText, bytes, inPlace);

    struct stat old;
    const bool exists = ::fstatat(folder, leaf.constData(), &old, 0) == 0;
    if (exists && !S_ISREG(old.st_mode))
        return Failure{QStringLiteral("通常のファイルではありません")};
    const QByteArray standIn = QByteArrayLiteral(".trv-") +
                               QByteArray::number(QRandomGenerator::global()->generate64(), 36) + ".part";
    if (Result<> written = replaceFile(folderPath + QString::fromLatin1(standIn), bytes); !written)
        return written;
    if ((exists && ::fchmodat(folder, standIn.constData(), old.st_mode & 07777, 0) != 0) ||
        ::renameat(folder, standIn.constData(), folder, leaf.constData()) != 0) {
        const QString reason = systemReasonText(errno);
        ::unlinkat(folder, standIn.constData(), 0);
        return Failure{reason};
    }
    return {};
}
#endif

} // namespace

Result<> replaceFile(const QString& path, QByteArrayView bytes, InPlaceWrite inPlace)
{
    if (keepsForeignBytes(path)) {
#ifdef Q_OS_LINUX
        return replaceByBytes(path, bytes, inPlace);
#else
        return Failure{QStringLiteral("ファイル名を扱えません")};
#endif
    }
    // QSaveFile follows a link by itself, but where the links lead round in a
    // loop it replaces the link with a regular file. So they are followed
    // here, and QSaveFile is given the file they lead to: a link that leads
    // nowhere yet makes its target, and the link stays, as editors do it.
    const std::optional<QString> target = followLinks(path);
    if (!target)
        return Failure{QStringLiteral("リンク先をたどれません")};
    const QFileInfo info(*target);
    if (info.exists() && !info.isFile())
        return Failure{QStringLiteral("通常のファイルではありません")};
    if (!info.exists()) {
        if (const std::optional<QString> missing = missingFolder(*target))
            return Failure{*target == path ? *missing : QStringLiteral("リンク先の") + *missing};
    }

    QSaveFile file(*target);
    if (!file.open(QIODevice::WriteOnly)) {
        if (inPlace == InPlaceWrite::WhereFolderRefuses && info.exists() && info.isWritable())
            return rewriteInPlace(*target, bytes);
        return Failure{inUserWords(file.errorString())};
    }
    // QSaveFile would give the new file the rights of the user writing it
    // (all of them, for an administrator), not those the old file had.
    if (info.exists())
        file.setPermissions(info.permissions() & PermissionBits);
    if (!writeWhole(file, bytes)) {
        const QString reason = reasonOf(file, *target, bytes.size());
        file.cancelWriting();
        return Failure{reason};
    }
    if (!file.commit())
        return Failure{inUserWords(file.errorString())};
    return {};
}
