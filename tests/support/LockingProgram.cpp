#include "LockingProgram.h"

#include "FileBytes.h"

#include <QDateTime>
#include <QFile>
#include <cstring>

LockingProgram::LockingProgram()
{
    m_process.start(QStringLiteral("sleep"), {QStringLiteral("3600")});
    if (m_process.waitForStarted())
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
    if (!isRunning() || !writeFile(path, lockBytes(format, m_pid)))
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
