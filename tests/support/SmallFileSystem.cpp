#include "SmallFileSystem.h"

#include <QFile>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>
#endif

SmallFileSystem::SmallFileSystem(const QByteArray& options)
{
#ifdef Q_OS_LINUX
    if (!m_dir.isValid()) {
        m_why = QStringLiteral("no temporary folder");
        return;
    }
    if (::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                options.constData()) != 0) {
        m_why = QStringLiteral("cannot mount a small file system here: %1")
                    .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    m_mounted = true;
#else
    Q_UNUSED(options);
    m_why = QStringLiteral("small file systems are made on Linux only");
#endif
}

SmallFileSystem::~SmallFileSystem()
{
#ifdef Q_OS_LINUX
    if (m_mounted)
        ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
#endif
}

bool SmallFileSystem::fillBlocks()
{
#ifdef Q_OS_LINUX
    const int fd = ::open(QFile::encodeName(filePath(QStringLiteral("filler"))).constData(),
                          O_WRONLY | O_CREAT | O_APPEND, 0600);
    if (fd < 0)
        return false;
    const QByteArray chunk(512, 'f');
    int error = 0;
    while (error == 0) {
        if (::write(fd, chunk.constData(), std::size_t(chunk.size())) < 0)
            error = errno;
    }
    ::close(fd);
    return error == ENOSPC;
#else
    return false;
#endif
}

bool SmallFileSystem::fillEntries()
{
#ifdef Q_OS_LINUX
    for (int i = 0;; ++i) {
        const int fd = ::open(QFile::encodeName(filePath(QStringLiteral("entry%1").arg(i))).constData(),
                              O_WRONLY | O_CREAT | O_EXCL, 0600);
        if (fd < 0)
            return errno == ENOSPC;
        ::close(fd);
    }
#else
    return false;
#endif
}
