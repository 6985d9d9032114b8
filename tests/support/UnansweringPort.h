#pragma once

#include <QString>
#include <QTcpSocket>

// A port on the loopback address that takes no connection, as a host that
// never answers: its only place in the queue of connections is taken and
// none is ever accepted, so the system leaves every other attempt unanswered
// (until the client gives up, minutes later).
class UnansweringPort
{
public:
    UnansweringPort();
    ~UnansweringPort();
    UnansweringPort(const UnansweringPort&) = delete;
    UnansweringPort& operator=(const UnansweringPort&) = delete;

    // 0 when no such port could be made; errorString says why.
    quint16 port() const { return m_port; }
    QString errorString() const { return m_error; }

private:
    int m_listener = -1;
    quint16 m_port = 0;
    QTcpSocket m_filler;
    QString m_error;
};
