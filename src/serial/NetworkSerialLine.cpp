#include "serial/NetworkSerialLine.h"

#include <QNetworkProxy>
#include <QStringList>
#include <utility>

#ifdef Q_OS_LINUX
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace {

// Longer than any server's one-line refusal; a controller never sends lines of text at all.
constexpr qsizetype LongestWords = 200;

// A server that holds a small write back until the one before it is acknowledged (Nagle's
// rule, on unless the server turns it off) sends the controller's CR only once its letter is
// acknowledged, and the system delays that acknowledgement by up to 40 ms: 44 ms for every
// reply, measured through ser2net, instead of under 1 ms. Linux acknowledges at once when asked
// to, but only until the next read, so it is asked after each one. Elsewhere the server's
// setting decides (ser2net: tcp(nodelay), see the README).
void acknowledgeAtOnce([[maybe_unused]] const QTcpSocket& socket)
{
#ifdef Q_OS_LINUX
    const int on = 1;
    ::setsockopt(int(socket.socketDescriptor()), IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
#endif
}

} // namespace

NetworkSerialLine::NetworkSerialLine(QObject* parent) : SerialLine(parent), m_socket(this)
{
    // Serial device servers stand on the local network; a proxy the environment names would
    // carry the controller's line elsewhere, or nowhere.
    m_socket.setProxy(QNetworkProxy::NoProxy);
    connect(&m_socket, &QTcpSocket::connected, this, &NetworkSerialLine::connected);
    connect(&m_socket, &QTcpSocket::readyRead, this, &NetworkSerialLine::readServer);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, &NetworkSerialLine::socketFailed);
}

bool NetworkSerialLine::openControllerLine(const QString& device)
{
    if (isOpen())
        return true;
    m_port = networkPortOf(device);
    if (!m_port) {
        m_error = notANetworkPortText(device);
        return false;
    }
    m_error.clear();
    m_pending.clear();
    m_received.clear();
    m_firstBytes.clear();
    m_telnet.reset();
    if (m_port->protocol == NetworkPort::Protocol::Rfc2217)
        m_telnet.emplace();
    m_stage = Stage::Connecting;
    // A failure the socket tells within the call is this call's answer, not a signal.
    m_opening = true;
    m_socket.connectToHost(m_port->host, m_port->port);
    m_opening = false;
    return isOpen();
}

void NetworkSerialLine::connected()
{
    if (m_stage != Stage::Connecting)
        return;
    // Each message of a transfer waits for the reply to the one before, so a small write
    // held back to be joined with the next would only be late.
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    acknowledgeAtOnce(m_socket);
    if (!m_telnet)
        return becomeReady();
    m_stage = Stage::Negotiating;
    m_socket.write(m_telnet->start());
}

void NetworkSerialLine::becomeReady()
{
    m_stage = Stage::Ready;
    const QByteArray pending = std::exchange(m_pending, {});
    if (!pending.isEmpty() && !write(pending))
        fail(m_error);
}

void NetworkSerialLine::readServer()
{
    if (m_stage == Stage::Closed) {
        m_socket.readAll();
        return;
    }
    QByteArray data = m_socket.readAll();
    acknowledgeAtOnce(m_socket);
    if (m_telnet) {
        TelnetComPortSession::Reading reading = m_telnet->received(data);
        if (!reading.reply.isEmpty())
            m_socket.write(reading.reply);
        data = std::move(reading.data);
    }
    // One byte past the limit is enough to tell that this was more than a server's words.
    m_firstBytes += data.left(LongestWords + 1 - m_firstBytes.size());
    if (m_telnet && m_telnet->stage() == TelnetComPortSession::Stage::Refused)
        return fail(m_telnet->refusal());
    if (m_stage == Stage::Ready) {
        if (data.isEmpty())
            return;
        m_received += data;
        emit received();
    } else if (m_stage == Stage::Negotiating && m_telnet->stage() == TelnetComPortSession::Stage::Ready) {
        // What came before the line was set up came before the first byte went out, so it
        // answers nothing of this transfer and is dropped, as an opening serial port drops it.
        becomeReady();
    }
}

void NetworkSerialLine::socketFailed(QAbstractSocket::SocketError error)
{
    if (m_stage == Stage::Closed)
        return;
    // The last bytes before a close are the server's words when it turns the line away.
    readServer();
    if (m_stage == Stage::Closed)
        return;
    const QString host = m_port->host;
    switch (error) {
    case QAbstractSocket::HostNotFoundError:
        return fail(QStringLiteral("名前「%1」を解決できません").arg(host));
    case QAbstractSocket::ConnectionRefusedError:
        return fail(
            QStringLiteral("%1 のポート %2 は接続を拒否しました（待ち受けているサーバーがありません）")
                .arg(host)
                .arg(m_port->port));
    case QAbstractSocket::RemoteHostClosedError:
        if (const std::optional<QString> words = serverWords())
            return fail(QStringLiteral("サーバーが接続を断りました：「%1」").arg(*words), true);
        return fail(QStringLiteral("サーバーが接続を切りました"));
    default:
        break;
    }
    if (m_stage == Stage::Connecting)
        return fail(QStringLiteral("%1 のポート %2 に接続できません（%3）")
                        .arg(host)
                        .arg(m_port->port)
                        .arg(m_socket.errorString()));
    fail(QStringLiteral("サーバーとの接続が切れました（%1）").arg(m_socket.errorString()));
}

void NetworkSerialLine::fail(const QString& reason, bool turnedAway)
{
    const bool wasReady = m_stage == Stage::Ready;
    close();
    m_error = reason;
    if (m_opening)
        return;
    if (wasReady && !turnedAway)
        emit lost(reason);
    else
        emit openingFailed(reason);
}

std::optional<QString> NetworkSerialLine::serverWords() const
{
    if (m_firstBytes.isEmpty() || m_firstBytes.size() > LongestWords || !m_firstBytes.endsWith('\n'))
        return std::nullopt;
    QStringList lines;
    for (QByteArray line : m_firstBytes.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            continue;
        for (const char c : line)
            if (c < 0x20 || c > 0x7e)
                return std::nullopt;
        lines << QString::fromLatin1(line.trimmed());
    }
    if (lines.isEmpty())
        return std::nullopt;
    return lines.join(QLatin1Char(' '));
}

bool NetworkSerialLine::write(const QByteArray& bytes)
{
    if (!isOpen()) {
        m_error = QStringLiteral("ポートが開いていません");
        return false;
    }
    if (m_stage != Stage::Ready) {
        m_pending += bytes;
        return true;
    }
    const QByteArray wire = m_telnet ? m_telnet->encode(bytes) : bytes;
    if (m_socket.write(wire) != wire.size()) {
        m_error = QStringLiteral("サーバーに送れません（%1）").arg(m_socket.errorString());
        return false;
    }
    // Hand the bytes to the system now rather than on the next round of the event loop.
    m_socket.flush();
    return true;
}

QByteArray NetworkSerialLine::readAvailable()
{
    return std::exchange(m_received, {});
}

void NetworkSerialLine::close()
{
    m_stage = Stage::Closed;
    m_socket.abort();
    m_pending.clear();
    m_received.clear();
}

QString NetworkSerialLine::unfinishedOpening() const
{
    switch (m_stage) {
    case Stage::Connecting:
        if (m_socket.state() == QAbstractSocket::HostLookupState)
            return QStringLiteral("名前「%1」の解決が時間内に終わりませんでした").arg(m_port->host);
        return QStringLiteral("%1 のポート %2 が時間内に接続に応じませんでした")
            .arg(m_port->host)
            .arg(m_port->port);
    case Stage::Negotiating:
        return m_telnet->waitingFor();
    case Stage::Closed:
    case Stage::Ready:
        break;
    }
    return {};
}
