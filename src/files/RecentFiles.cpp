#include "files/RecentFiles.h"

#include "files/FileName.h"
#include "files/FileReplace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// One path a line, in UTF-8. A name with a line break in it cannot be kept so, nor one in bytes
// that are no text, and neither is kept.
bool keepable(const QString& path)
{
    return !path.isEmpty() && QDir::isAbsolutePath(path) && !path.contains(QLatin1Char('\n')) &&
           !path.contains(QLatin1Char('\r')) && !keepsForeignBytes(path);
}

// Opens the list only when it is a regular file: a pipe or a device put in its
// place must neither hold up the window (opening a pipe waits for a writer) nor
// be taken for a list. On Unix the file opened is checked again, without
// waiting, in case something was swapped in after the first look.
bool openRegularFile(QFile& file)
{
    if (!QFileInfo(file.fileName()).isFile())
        return false;
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(file.fileName()).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat status = {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) ||
        !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
#else
    return file.open(QIODevice::ReadOnly);
#endif
}

QString cleanPath(const QString& path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace

RecentFiles::RecentFiles(const QString& file) : m_file(file) {}

void RecentFiles::load()
{
    if (m_file.isEmpty())
        return;
    QFile file(m_file);
    if (!openRegularFile(file)) {
        // A list the user deleted is empty, here and in every window still open, and so is
        // something that is no list (a pipe, a folder, a device), which the list's writer
        // refuses to replace. One that cannot be read for another reason keeps what was read
        // last, so that nothing is written over it.
        if (const QFileInfo info(m_file); !info.exists() || !info.isFile())
            m_paths.clear();
        return;
    }
    // Far more than eight paths ever take; a larger file is no list of ours.
    const QByteArray bytes = file.read(1024 * 1024);
    m_paths.clear();
    for (const QString& line : QString::fromUtf8(bytes).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QString path = line.endsWith(QLatin1Char('\r')) ? line.chopped(1) : line;
        if (keepable(path) && !m_paths.contains(path))
            m_paths << path;
        if (m_paths.size() == Limit)
            break;
    }
}

Result<> RecentFiles::add(const QString& path)
{
    load();
    const QString clean = cleanPath(path);
    m_paths.removeAll(clean);
    if (keepable(clean))
        m_paths.prepend(clean);
    while (m_paths.size() > Limit)
        m_paths.removeLast();
    return store();
}

Result<> RecentFiles::remove(const QString& path)
{
    load();
    m_paths.removeAll(cleanPath(path));
    return store();
}

Result<> RecentFiles::store()
{
    if (m_file.isEmpty())
        return {};
    const QString folder = QFileInfo(m_file).absolutePath();
    if (!QDir().mkpath(folder))
        return Failure{
            QStringLiteral("フォルダ「%1」を作成できません").arg(QDir::toNativeSeparators(folder))};
    QByteArray bytes;
    for (const QString& path : m_paths)
        bytes += path.toUtf8() + '\n';
    return replaceFile(m_file, bytes);
}
