#include "ReadOnlyFolder.h"

#include <QDir>
#include <QFile>

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

ReadOnlyFolder::ReadOnlyFolder(const QString& path) : m_path(path)
{
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
        m_permissionsTaken =
            QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                            QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
        if (!m_permissionsTaken) {
            m_failure = QStringLiteral("cannot take the write permission of %1").arg(path);
            return;
        }
    }
    QFile probe(QDir(path).filePath(QStringLiteral(".write-probe")));
    if (probe.open(QIODevice::WriteOnly)) {
        probe.remove();
        m_failure = QStringLiteral("%1 still takes new files").arg(path);
    }
}

ReadOnlyFolder::~ReadOnlyFolder()
{
    if (m_mounted)
        ::umount2(QFile::encodeName(m_path).constData(), MNT_DETACH);
    if (m_permissionsTaken)
        QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}
