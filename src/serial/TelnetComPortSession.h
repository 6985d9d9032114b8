#pragma once

#include "serial/QtSerialLine.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <array>

// The Telnet side of a port on a serial device server that speaks the COM
// port option (RFC 2217). It is fed, not run: NetworkSerialLine hands it what
// the server sent and the data to send, and writes what it answers.
//
// It agrees on binary transmission both ways, asks the server to set the
// serial line as `settings` say, and counts the line as ready only once the
// server has confirmed each setting as asked, so that no byte of a transfer
// goes out at another speed or format. It doubles the byte 255 going out and
// undoes that coming in, and refuses every option it has no use for (the
// server's echo above all, which would send the programmer's own bytes back
// as replies).
class TelnetComPortSession
{
public:
    enum class Stage {
        Offering, // the COM port option asked for, no answer yet
        Setting,  // the settings sent, confirmations outstanding
        Ready,    // the line is set as asked: data passes
        Refused,  // the server refused the option or a setting: see refusal
    };

    // What one read from the server gives.
    struct Reading
    {
        QByteArray data;  // the bytes from the serial line
        QByteArray reply; // what goes back to the server
    };

    explicit TelnetComPortSession(const SerialLineSettings& settings = ControllerLineSettings);

    // The bytes that open the connection.
    QByteArray start();
    Reading received(QByteArrayView bytes);
    // `data` for the serial line as it goes to the server: 255 doubled, and a
    // CR followed by NUL while the server has not agreed to binary.
    QByteArray encode(QByteArrayView data) const;

    Stage stage() const { return m_stage; }
    // Why the server's line cannot be used, in the user's words; empty unless Refused.
    QString refusal() const { return m_refusal; }
    // What the session waits for, in the user's words; empty when Ready or Refused.
    QString waitingFor() const;

private:
    // RFC 1143's states of one option on one side.
    enum class Option : quint8 { No, Yes, WantYes, WantNo };

    void command(quint8 verb, quint8 option, QByteArray& reply);
    void subnegotiation();
    void sendSettings(QByteArray& reply);
    void confirmed(quint8 setting, QByteArrayView value);
    void refuse(const QString& reason);

    SerialLineSettings m_settings;
    Stage m_stage = Stage::Offering;
    QString m_refusal;
    // Our side (WILL/WONT) and the server's side (DO/DONT) of every option.
    std::array<Option, 256> m_ours{};
    std::array<Option, 256> m_servers{};
    // The settings of the COM port option not yet confirmed, as bits by number.
    quint32 m_unconfirmed = 0;

    // Where the last read stopped within the Telnet stream.
    enum class Parse { Data, Command, Verb, Sub, SubCommand };
    Parse m_parse = Parse::Data;
    quint8 m_verb = 0;
    QByteArray m_sub;
    bool m_afterCr = false;
};
