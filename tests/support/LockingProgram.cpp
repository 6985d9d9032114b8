#include "LockingProgram.h"

#include "FileBytes.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QFile>
#include <cstring>

LockingProgram::LockingProgram()
{
    m_process.start(QStringLiteral("cat"), {});
    if (!m_process.waitForStarted())
        return;
    // Just after its start a process may not yet show the system its name. One that has
    // echoed a line runs as itself; the wait only bounds a hang.
    m_process.write("ready\n");
    const QDeadlineTimer deadline(30000);
    while (!m_process.canReadLine() && !deadline.hasExpired() && isRunning())
        m_process.waitForReadyRead(100);
    if (m_process.readLine() == "ready\n")
        m_pid = m_process.processId();
}

LockingProgram::~LockingProgram()
{
    end();
    for (const QString& file : m_lockFiles)
        QFile::remove(file);
}

QByteArray LockingProgram::lockBytes(const QByteArray& format, qint64 pid)
{
    if (format == "(binary)") {
        const qint32 number = qint32(pid);
        QByteArray bytes(sizeof number, '\0');
        std::memcpy(bytes.data(), &number, sizeof number);
        return bytes;
    }
    QByteArray bytes = format;
    return bytes.replace("%10", QByteArray::number(pid).rightJustified(10))
        .replace("%1", QByteArray::number(pid));
}

bool LockingProgram::lock(const QString& path, const QByteArray& format, int ageSeconds)
{
    if (m_pid == 0 || !isRunning() || !writeFile(path, lockBytes(format, m_pid)))
        return false;
    m_lockFiles << path;
    QFile file(path);
    return ageSeconds == 0 || (file.open(QIODevice::ReadWrite) &&
                               file.setFileTime(QDateTime::currentDateTime().addSecs(-ageSeconds),
                                                QFileDevice::FileModificationTime));
}

void LockingProgram::end()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished();
}
