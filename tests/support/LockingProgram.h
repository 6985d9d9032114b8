#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

// Another program holding a serial device by a lock file, as terminal
// programs and older tools do: a process the test starts ("cat"), alive
// until end(), and lock files naming it in the formats such programs write.
// Its lock files are removed and the process ended when it goes.
class LockingProgram
{
public:
    LockingProgram();
    ~LockingProgram();
    LockingProgram(const LockingProgram&) = delete;
    LockingProgram& operator=(const LockingProgram&) = delete;

    bool isRunning() const { return m_process.state() == QProcess::Running; }
    // The process's number once it runs as "cat"; 0 when it could not be started.
    qint64 pid() const { return m_pid; }

    // `format` with the process's number for "%10" (right-aligned in ten
    // characters) and "%1"; "(binary)" is the number as a 4-byte int in the
    // machine's order.
    static QByteArray lockBytes(const QByteArray& format, qint64 pid);

    // Writes the lock file `path` in `format` (see lockBytes), last modified
    // `ageSeconds` ago; false when it could not.
    bool lock(const QString& path, const QByteArray& format, int ageSeconds = 0);
    // The process ends; its lock files stay, as those of a program that crashed do.
    void end();

private:
    QProcess m_process;
    qint64 m_pid = 0;
    QStringList m_lockFiles;
};
