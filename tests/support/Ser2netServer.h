#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// ser2net, the serial device server of Debian's package, run for a test as a
// user runs it in front of a controller: in the foreground, on the loopback
// address, with a configuration the test writes, each serial device (a
// pseudo-terminal of the test or the simulator) on a TCP port of its own
// that is free when the test picks it. The server is stopped when this
// object goes, and dies with the test program if that ends first.
class Ser2netServer
{
public:
    enum class Protocol { Raw, Rfc2217 };

    struct Port
    {
        QString device;
        Protocol protocol = Protocol::Raw;
        // The line as the server opens it, in ser2net's words; RFC 2217 may set it otherwise.
        QString lineSettings = QStringLiteral("57600n81");
        // ser2net's own ways of passing data on (a wait of at least 1 ms after each character
        // from the device, small writes held back) instead of the README's advice against both.
        bool serverDefaults = false;
    };

    Ser2netServer() = default;
    ~Ser2netServer();
    Ser2netServer(const Ser2netServer&) = delete;
    Ser2netServer& operator=(const Ser2netServer&) = delete;

    // Why no server can be started here (ser2net is not installed), or nothing.
    static QString whyMissing();
    // A port on the loopback address where nothing listens when the test picks it.
    static quint16 freePort();

    // Starts the server with `ports`, once every one of them listens; false, with the reason in
    // errorString, when that did not happen within 20 s.
    bool start(const QList<Port>& ports);
    // Ends the server as a user's SIGTERM does and waits for it.
    void stop();
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }

    quint16 port(int index) const { return m_numbers.value(index); }
    // "tcp://127.0.0.1:47101", "rfc2217://127.0.0.1:47102": the URL of port `index`.
    QString url(int index) const;
    QString errorString() const { return m_error; }
    // What the server printed so far, for the reason of a failed test.
    QByteArray output();

private:
    bool startOnce();
    bool allListening() const;

    QTemporaryDir m_folder;
    QProcess m_process;
    QList<Port> m_ports;
    QList<quint16> m_numbers;
    QString m_error;
    QByteArray m_output;
};
