#include "files/RecentFiles.h"

#include "files/FileName.h"
#include "files/FileReplace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// One path a line, in UTF-8. A name with a line break in it cannot be kept so, nor one in bytes
// that are no text, and neither is kept.
bool keepable(const QString& path)
{
    return !path.isEmpty() && QDir::isAbsolutePath(path) && !path.contains(QLatin1Char('\n')) &&
           !path.contains(QLatin1Char('\r')) && !keepsForeignBytes(path);
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
    if (!file.open(QIODevice::ReadOnly)) {
        // A list the user deleted is empty, here and in every window still open; one that cannot
        // be read for another reason keeps what was read last, so that nothing is written over it.
        if (!file.exists())
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

std::optional<QString> RecentFiles::add(const QString& path)
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

std::optional<QString> RecentFiles::remove(const QString& path)
{
    load();
    m_paths.removeAll(cleanPath(path));
    return store();
}

std::optional<QString> RecentFiles::store()
{
    if (m_file.isEmpty())
        return std::nullopt;
    const QString folder = QFileInfo(m_file).absolutePath();
    if (!QDir().mkpath(folder))
        return QStringLiteral("フォルダ「%1」を作成できません").arg(QDir::toNativeSeparators(folder));
    QByteArray bytes;
    for (const QString& path : m_paths)
        bytes += path.toUtf8() + '\n';
    return replaceFile(m_file, bytes);
}
