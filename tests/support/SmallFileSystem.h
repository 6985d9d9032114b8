#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A file system of its own, a few pages or a few entries large, mounted on a
// temporary folder: the real thing to show what a full disk does to a save.
// Mounting needs the right to mount (root); without it isMounted() is false
// and whyNotMounted() says why, for QSKIP.
class SmallFileSystem
{
public:
    // `options` as for a tmpfs mount, such as "size=64k" or "nr_inodes=8".
    explicit SmallFileSystem(const QByteArray& options = "size=256k");
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool isMounted() const { return m_mounted; }
    QString whyNotMounted() const { return m_why; }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }

    // Writes a filler file until no block is left; whether it got there.
    bool fillBlocks();
    // Creates empty files until no entry is left; whether it got there.
    bool fillEntries();

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
    QString m_why;
};
