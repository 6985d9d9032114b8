#include "files/FilePlace.h"

#include "files/FileName.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <system_error>

#ifdef Q_OS_LINUX
#include <climits>
#include <unistd.h>
#endif
#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

namespace {

// How many links Linux follows in one path before it gives up (ELOOP).
constexpr int MaxLinks = 40;

struct WorkingFolder
{
    QString path;
    bool removed = false;
};

WorkingFolder workingFolder()
{
    const QString current = QDir::currentPath();
    if (!current.isEmpty())
        return {current};
#ifdef Q_OS_LINUX
    // getcwd() fails once the folder is removed, but the kernel still knows
    // its last path and marks it.
    char link[PATH_MAX];
    const ssize_t size = ::readlink("/proc/self/cwd", link, sizeof link);
    const QByteArray removedMark = " (deleted)";
    if (size > 0 && size < ssize_t(sizeof link)) {
        const QByteArray target(link, size);
        if (target.startsWith('/') && target.endsWith(removedMark))
            return {QFile::decodeName(target.chopped(removedMark.size())), true};
    }
#endif
    return {};
}

} // namespace

QString absoluteFilePath(const QString& path)
{
    if (QDir::isAbsolutePath(path))
        return QDir::cleanPath(path);
    const WorkingFolder folder = workingFolder();
    if (folder.path.isEmpty())
        return QFileInfo(path).absoluteFilePath();
    return QDir::cleanPath(folder.path + QLatin1Char('/') + path);
}

std::optional<QString> followLinks(const QString& path)
{
    QFileInfo info(path);
    for (int links = 0; info.isSymLink(); ++links) {
        if (links == MaxLinks)
            return std::nullopt;
        info.setFile(info.symLinkTarget());
    }
    return info.filePath();
}

std::optional<QString> missingFolder(const QString& path)
{
    // A folder of the same name made since is not the one the program works in.
    const WorkingFolder working = workingFolder();
    if (working.removed && QDir::isRelativePath(path))
        return QStringLiteral("フォルダ「%1」はもうありません")
            .arg(shownFileName(QDir::toNativeSeparators(working.path)));

    const QString folder = QFileInfo(absoluteFilePath(path)).absolutePath();
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(fileSystemPath(folder), error);
    if (status.type() == std::filesystem::file_type::not_found)
        return QStringLiteral("フォルダ「%1」がありません")
            .arg(shownFileName(QDir::toNativeSeparators(folder)));
    if (!error && status.type() != std::filesystem::file_type::directory)
        return QStringLiteral("「%1」はフォルダではありません")
            .arg(shownFileName(QDir::toNativeSeparators(folder)));
    return std::nullopt;
}

bool sameFile(const QString& path, const QString& other)
{
#ifdef Q_OS_WIN
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return !canonical.isEmpty() &&
           canonical.compare(QFileInfo(other).canonicalFilePath(), Qt::CaseInsensitive) == 0;
#else
    struct stat first, second;
    return ::stat(systemFileName(path).constData(), &first) == 0 &&
           ::stat(systemFileName(other).constData(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
#endif
}
