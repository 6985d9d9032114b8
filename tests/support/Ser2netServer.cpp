#include "Ser2netServer.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>

#ifdef Q_OS_LINUX
#include <signal.h>
#include <sys/prctl.h>
#endif

namespace {

QString program()
{
    // Debian installs it for root's path only.
    return QStandardPaths::findExecutable(QStringLiteral("ser2net"),
                                          {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin"),
                                           QStringLiteral("/usr/bin"), QStringLiteral("/usr/local/bin")});
}

} // namespace

Ser2netServer::~Ser2netServer()
{
    stop();
}

QString Ser2netServer::whyMissing()
{
    if (program().isEmpty())
        return QStringLiteral("ser2net is not installed (tools/install-deps.sh installs it)");
    return {};
}

quint16 Ser2netServer::freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

QString Ser2netServer::url(int index) const
{
    const bool telnet = m_ports.value(index).protocol == Protocol::Rfc2217;
    return QStringLiteral("%1://127.0.0.1:%2")
        .arg(telnet ? QStringLiteral("rfc2217") : QStringLiteral("tcp"))
        .arg(port(index));
}

bool Ser2netServer::start(const QList<Port>& ports)
{
    m_ports = ports;
    if (const QString missing = whyMissing(); !missing.isEmpty()) {
        m_error = missing;
        return false;
    }
    // Another program may take a port between the pick and the server's start: pick again.
    for (int attempt = 0; attempt < 3; ++attempt)
        if (startOnce())
            return true;
    return false;
}

bool Ser2netServer::startOnce()
{
    stop();
    // Held until all are picked, so that no two are the same.
    QList<QTcpServer*> probes;
    m_numbers.clear();
    for (qsizetype i = 0; i < m_ports.size(); ++i) {
        auto* probe = new QTcpServer;
        probes << probe;
        if (!probe->listen(QHostAddress::LocalHost, 0)) {
            m_error = QStringLiteral("no free port: ") + probe->errorString();
            qDeleteAll(probes);
            return false;
        }
        m_numbers << probe->serverPort();
    }
    qDeleteAll(probes);

    QByteArray config;
    for (qsizetype i = 0; i < m_ports.size(); ++i) {
        const Port& port = m_ports[i];
        // Set up as the README advises, unless the test wants the server's own defaults.
        const QString telnet =
            port.protocol == Protocol::Rfc2217 ? QStringLiteral("telnet(rfc2217),") : QString();
        const QString tcp = port.serverDefaults ? QStringLiteral("tcp") : QStringLiteral("tcp(nodelay)");
        const QString charDelay = port.serverDefaults ? QStringLiteral("true") : QStringLiteral("false");
        config +=
            QStringLiteral("connection: &port%1\n").arg(i).toUtf8() +
            QStringLiteral("  accepter: %1%2,127.0.0.1,%3\n").arg(telnet, tcp).arg(m_numbers[i]).toUtf8() +
            QStringLiteral("  connector: serialdev,%1,%2,local\n")
                .arg(port.device, port.lineSettings)
                .toUtf8() +
            QStringLiteral("  options:\n    chardelay: %1\n").arg(charDelay).toUtf8();
    }
    const QString file = m_folder.filePath(QStringLiteral("ser2net.yaml"));
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(config) != config.size() || !out.flush()) {
        m_error = QStringLiteral("cannot write %1: %2").arg(file, out.errorString());
        return false;
    }
    out.close();

    m_process.setProcessChannelMode(QProcess::MergedChannels);
#ifdef Q_OS_LINUX
    // A test program that crashes or is killed takes its server with it.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
#endif
    // In the foreground, its pid file in the test's folder, and without UUCP lock files, which
    // a server killed with its test would leave behind for the pseudo-terminal's next owner.
    m_process.start(program(),
                    {QStringLiteral("-n"), QStringLiteral("-d"), QStringLiteral("-u"), QStringLiteral("-P"),
                     m_folder.filePath(QStringLiteral("ser2net.pid")), QStringLiteral("-c"), file});
    const QDeadlineTimer deadline(20000);
    while (!allListening()) {
        if (!isRunning() || deadline.hasExpired()) {
            m_error = QStringLiteral("ser2net did not listen on its ports: %1")
                          .arg(QString::fromLocal8Bit(output()));
            return false;
        }
        m_process.waitForReadyRead(20);
    }
    return true;
}

// Whether the system's table of TCP sockets has every port listening on 127.0.0.1; looking does
// not disturb the server, as a connection or a probing bind would.
bool Ser2netServer::allListening() const
{
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    const QByteArray sockets = table.readAll();
    for (const quint16 number : m_numbers) {
        // The local address in the kernel's byte order, then the state 0A, listening.
        const QByteArray listening =
            "0100007F:" + QByteArray::number(number, 16).toUpper().rightJustified(4, '0');
        bool found = false;
        for (const QByteArray& line : sockets.split('\n')) {
            const QList<QByteArray> fields = line.simplified().split(' ');
            if (fields.size() > 3 && fields[1] == listening && fields[3] == "0A")
                found = true;
        }
        if (!found)
            return false;
    }
    return true;
}

void Ser2netServer::stop()
{
    if (!isRunning())
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(10000)) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

QByteArray Ser2netServer::output()
{
    m_output += m_process.readAll();
    return m_output;
}
