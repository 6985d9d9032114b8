#include "ReadOnlyFolder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace {
const QFile::Permissions Writable =
    QFile::WriteOwner | QFile::WriteUser | QFile::WriteGroup | QFile::WriteOther;
} // namespace

#ifdef Q_OS_LINUX
#include <cerrno>
#include <cstring>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {

// Once per process: from then on mounts are the process's own and vanish with it.
void keepMountsPrivate()
{
    static const bool done =
        ::unshare(CLONE_NEWNS) == 0 && ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    Q_UNUSED(done);
}

QString systemError(const char* what, const QString& path)
{
    return QStringLiteral("%1 %2: %3")
        .arg(QString::fromLatin1(what), path, QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

#endif

ReadOnlyFolder::ReadOnlyFolder(const QString& path) : m_path(path)
{
#ifndef Q_OS_LINUX
    m_failure = QStringLiteral("read-only folders are made on Linux only");
#else
    const QByteArray native = QFile::encodeName(path);
    if (::geteuid() == 0) {
        // Permissions do not stop root; a read-only mount does.
        keepMountsPrivate();
        if (::mount(native.constData(), native.constData(), nullptr, MS_BIND, nullptr) != 0) {
            m_failure = systemError("cannot bind-mount", path);
            return;
        }
        m_mounted = true;
        if (::mount(nullptr, native.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
            m_failure = systemError("cannot remount read-only", path);
            return;
        }
    } else {
        // Everything below too, as in a tree installed by someone else.
        m_permissionsTaken = true;
        for (const QString& entry : entries()) {
            if (!QFile::setPermissions(entry, QFileInfo(entry).permissions() & ~Writable)) {
                m_failure = QStringLiteral("cannot take the write permission of %1").arg(entry);
                return;
            }
        }
    }
    QFile probe(QDir(path).filePath(QStringLiteral(".write-probe")));
    if (probe.open(QIODevice::WriteOnly)) {
        probe.remove();
        m_failure = QStringLiteral("%1 still takes new files").arg(path);
    }
#endif
}

ReadOnlyFolder::~ReadOnlyFolder()
{
#ifdef Q_OS_LINUX
    if (m_mounted)
        ::umount2(QFile::encodeName(m_path).constData(), MNT_DETACH);
#endif
    if (m_permissionsTaken) {
        for (const QString& entry : entries())
            QFile::setPermissions(entry, QFileInfo(entry).permissions() | QFile::WriteOwner);
    }
}

QStringList ReadOnlyFolder::entries() const
{
    QStringList found{m_path};
    QDirIterator it(m_path, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        found << it.next();
    return found;
}
