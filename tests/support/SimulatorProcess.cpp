#include "SimulatorProcess.h"

#include "ChartText.h"

#include <QDeadlineTimer>

SimulatorProcess::~SimulatorProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

QString SimulatorProcess::program()
{
    return QStringLiteral(TRV_SIMULATOR_PATH);
}

bool SimulatorProcess::start(const QStringList& arguments)
{
    m_process.start(program(), arguments);
    const QDeadlineTimer deadline(10000);
    while (!m_process.canReadLine() && !deadline.hasExpired() && m_process.state() != QProcess::NotRunning)
        m_process.waitForReadyRead(int(qMin<qint64>(deadline.remainingTime(), 100)));
    const QByteArray first = m_process.readLine().trimmed();
    if (!first.startsWith("DEVICE=")) {
        m_error =
            QStringLiteral("the simulator named no terminal: %1 %2")
                .arg(QString::fromLocal8Bit(first), QString::fromLocal8Bit(m_process.readAllStandardError()));
        return false;
    }
    m_device = QString::fromLocal8Bit(first.mid(7));
    return true;
}

QByteArray SimulatorProcess::settingsFile() const
{
    return settingsWithCom3(m_device);
}

QByteArray SimulatorProcess::errors()
{
    return m_process.readAllStandardError();
}

int SimulatorProcess::stop()
{
    m_process.terminate();
    if (!m_process.waitForFinished(10000) || m_process.exitStatus() != QProcess::NormalExit)
        return -1;
    return m_process.exitCode();
}
