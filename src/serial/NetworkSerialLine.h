#pragma once

#include "serial/PortName.h"
#include "serial/SerialLine.h"
#include "serial/TelnetComPortSession.h"

#include <QTcpSocket>
#include <optional>

// The controller's line on a port of a serial device server, named by its
// URL (see networkPortOf): the bytes as they are over TCP, or Telnet with
// the COM port option, which sets the server's serial line as
// ControllerLineSettings say. PortLine uses it for a port written as a URL.
//
// The opening only starts to connect, in the event loop like every other
// part of a transfer: writes wait until the connection is made (and the line
// set, with RFC 2217) and then go out in order, and a failure on the way ends
// in openingFailed. Nothing here times out: the transfer's time-out ends a
// connection that never comes, asking unfinishedOpening what was awaited.
class NetworkSerialLine : public SerialLine
{
    Q_OBJECT

public:
    explicit NetworkSerialLine(QObject* parent = nullptr);

    bool openControllerLine(const QString& device) override;
    bool isOpen() const override { return m_stage != Stage::Closed; }
    bool write(const QByteArray& bytes) override;
    QByteArray readAvailable() override;
    void close() override;
    QString errorString() const override { return m_error; }
    QString unfinishedOpening() const override;

private:
    enum class Stage { Closed, Connecting, Negotiating, Ready };

    void connected();
    void readServer();
    void socketFailed(QAbstractSocket::SocketError error);
    void becomeReady();
    // Closes the line for `reason` and tells whoever listens: as a failed
    // opening until the line was ready, or when the server turned it away.
    void fail(const QString& reason, bool turnedAway = false);
    // The server's own words when all it sent is lines of text, as a server
    // that turns a connection away sends before it closes it.
    std::optional<QString> serverWords() const;
    QString hostText() const;

    QTcpSocket m_socket;
    Stage m_stage = Stage::Closed;
    std::optional<NetworkPort> m_port;
    std::optional<TelnetComPortSession> m_telnet;
    QString m_error;
    // Written before the line was ready, to go out once it is.
    QByteArray m_pending;
    QByteArray m_received;
    // The start of what the server sent on this connection, for its words when it closes it.
    QByteArray m_firstBytes;
    bool m_opening = false;
};
