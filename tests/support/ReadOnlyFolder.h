#pragma once

#include <QStringList>

// Makes a folder refuse every write for as long as the object lives, the
// administrator's writes too, as a program installed for every user finds its
// folder. Run as root, the folder is mounted over itself read-only, in a
// mount namespace of the test's own where the system allows one, so nothing
// outlives the test; otherwise the write permission of the folder and of
// everything below it is taken away. Child processes started afterwards see
// the folder the same way.
class ReadOnlyFolder
{
public:
    explicit ReadOnlyFolder(const QString& path);
    ~ReadOnlyFolder();
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

    // Empty once a new file in the folder is refused; otherwise why it is not, for QSKIP.
    QString failure() const { return m_failure; }

private:
    // The folder and everything below it.
    QStringList entries() const;

    QString m_path;
    bool m_mounted = false;
    bool m_permissionsTaken = false;
    QString m_failure;
};
