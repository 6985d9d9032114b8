#include "serial/TelnetComPortSession.h"

#include <QTest>

namespace {

// The greeting ser2net 4.3 sends on a telnet(rfc2217) port: WILL SGA, DO SGA, WILL ECHO,
// DONT ECHO, DO BINARY, WILL BINARY, DO COM-PORT-OPTION.
const QByteArray Ser2netGreeting = QByteArray::fromHex("fffb03fffd03fffb01fffe01fffd00fffb00fffd2c");
// Set 57,600 baud, 8 data bits, no parity, 1 stop bit, no flow control, RTS off.
const QByteArray ControllerSettings = QByteArray::fromHex("fffa2c010000e100fff0"
                                                          "fffa2c0208fff0"
                                                          "fffa2c0301fff0"
                                                          "fffa2c0401fff0"
                                                          "fffa2c0501fff0"
                                                          "fffa2c050cfff0");
// ser2net's confirmations of those, with a modem state and a signature among them.
const QByteArray Confirmations = QByteArray::fromHex("fffa2c6b00fff0"
                                                     "fffa2c650000e100fff0"
                                                     "fffa2c6608fff0"
                                                     "fffa2c64736572326e6574fff0"
                                                     "fffa2c6701fff0"
                                                     "fffa2c6801fff0"
                                                     "fffa2c6901fff0");

// The answers to everything `bytes` hold, fed one byte at a time, as a server's bytes may
// arrive split anywhere.
TelnetComPortSession::Reading feedBytewise(TelnetComPortSession& session, const QByteArray& bytes)
{
    TelnetComPortSession::Reading all;
    for (const char byte : bytes) {
        const TelnetComPortSession::Reading one = session.received(QByteArrayView(&byte, 1));
        all.data += one.data;
        all.reply += one.reply;
    }
    return all;
}

// A session that has agreed with the server on everything, ready for data.
void agree(TelnetComPortSession& session)
{
    session.start();
    session.received(Ser2netGreeting);
    session.received(Confirmations);
}

} // namespace

// The Telnet exchange with a serial device server, fed the bytes a server sends.
class TestTelnetComPort : public QObject
{
    Q_OBJECT

private slots:
    void agreesWithSer2net();
    void dataBothWays();
    void withoutBinary();
    void refusals_data();
    void refusals();
    void otherOptionsRefused();
};

// The line is ready only once each setting is confirmed, and nothing but the
// confirmations and the server's own options is answered.
void TestTelnetComPort::agreesWithSer2net()
{
    TelnetComPortSession session;
    // WILL BINARY, DO BINARY, WILL COM-PORT-OPTION.
    QCOMPARE(session.start(), QByteArray::fromHex("fffb00fffd00fffb2c"));
    QCOMPARE(session.stage(), TelnetComPortSession::Stage::Offering);
    QCOMPARE(session.waitingFor(), "サーバーが COM ポートの設定（RFC 2217）の取り決めに答えませんでした");

    // DO SGA, WILL SGA, DONT ECHO; binary and the COM port agreed as asked, so the settings follow.
    const TelnetComPortSession::Reading greeted = feedBytewise(session, Ser2netGreeting);
    QCOMPARE(greeted.reply.toHex(), (QByteArray::fromHex("fffd03fffb03fffe01") + ControllerSettings).toHex());
    QCOMPARE(greeted.data, "");
    QCOMPARE(session.stage(), TelnetComPortSession::Stage::Setting);
    QCOMPARE(session.waitingFor(), "サーバーが回線の設定（通信速度 57600 bps、データビット 8、パリティ なし、"
                                   "ストップビット 1、フロー制御 なし）に答えませんでした");

    const TelnetComPortSession::Reading confirmed = feedBytewise(session, Confirmations.chopped(7));
    QCOMPARE(confirmed.reply, "");
    QCOMPARE(session.stage(), TelnetComPortSession::Stage::Setting);
    feedBytewise(session, Confirmations.right(7));
    QCOMPARE(session.stage(), TelnetComPortSession::Stage::Ready);
    QCOMPARE(session.waitingFor(), "");
    QCOMPARE(session.refusal(), "");
}

// 255 is doubled on the way out and undone on the way in; CR and NUL pass as they are.
void TestTelnetComPort::dataBothWays()
{
    TelnetComPortSession session;
    agree(session);
    QCOMPARE(session.encode(QByteArray("E\r\xff\x00W", 5)), QByteArray("E\r\xff\xff\x00W", 6));
    const TelnetComPortSession::Reading reading = feedBytewise(session, QByteArray("e\r\xff\xff\r\x00s", 7));
    QCOMPARE(reading.data, QByteArray("e\r\xff\r\x00s", 6));
    QCOMPARE(reading.reply, "");
}

// A server that will not go binary gets CR as CR NUL, and its CR NUL is a CR.
void TestTelnetComPort::withoutBinary()
{
    TelnetComPortSession session;
    session.start();
    // WONT BINARY, DONT BINARY, DO COM-PORT-OPTION.
    session.received(QByteArray::fromHex("fffc00fffe00fffd2c"));
    session.received(Confirmations);
    QCOMPARE(session.stage(), TelnetComPortSession::Stage::Ready);
    QCOMPARE(session.encode("E\r"), QByteArray("E\r\x00", 3));
    QCOMPARE(session.received(QByteArray("e\r\x00\r\n", 5)).data, "e\r\r\n");
}

void TestTelnetComPort::refusals_data()
{
    QTest::addColumn<QByteArray>("server"); // after the greeting, as hex
    QTest::addColumn<QString>("refusal");

    // clang-format off
    QTest::newRow("COM port option refused") << QByteArray("fffe2c") << "サーバーが COM ポートの設定（RFC 2217）に応じません";
    QTest::newRow("9,600 baud confirmed") << QByteArray("fffa2c6500002580fff0") << "サーバーが回線の通信速度を 57600 bps にできませんでした（サーバーの答えは 9600 bps）";
    QTest::newRow("7 data bits") << QByteArray("fffa2c6607fff0") << "サーバーが回線のデータビットを 8 にできませんでした（サーバーの答えは 7）";
    QTest::newRow("even parity") << QByteArray("fffa2c6703fff0") << "サーバーが回線のパリティを なし にできませんでした（サーバーの答えは 偶数）";
    QTest::newRow("2 stop bits") << QByteArray("fffa2c6802fff0") << "サーバーが回線のストップビットを 1 にできませんでした（サーバーの答えは 2）";
    QTest::newRow("hardware flow control") << QByteArray("fffa2c6903fff0") << "サーバーが回線のフロー制御を なし にできませんでした（サーバーの答えは ハードウェア（RTS/CTS））";
    // clang-format on
}

// A server that refuses the option or confirms another setting than asked leaves the line unusable.
void TestTelnetComPort::refusals()
{
    QFETCH(QByteArray, server);
    QFETCH(QString, refusal);

    TelnetComPortSession session;
    session.start();
    session.received(Ser2netGreeting.chopped(3)); // all but DO COM-PORT-OPTION
    if (!server.startsWith("fffe2c"))
        session.received(QByteArray::fromHex("fffd2c"));
    session.received(QByteArray::fromHex(server));
    QCOMPARE(session.stage(), TelnetComPortSession::Stage::Refused);
    QCOMPARE(session.refusal(), refusal);
    QCOMPARE(session.waitingFor(), "");
}

// Options the line has no use for are refused each time they are offered or asked for, and a
// refusal of one the server never had is not answered, so no request goes back and forth.
void TestTelnetComPort::otherOptionsRefused()
{
    TelnetComPortSession session;
    agree(session);
    // WILL TERMINAL-TYPE, DO NAWS, DO ECHO, WONT ECHO, DONT LINEMODE.
    QCOMPARE(session.received(QByteArray::fromHex("fffb18fffd1ffffd01fffc01fffe22")).reply.toHex(),
             QByteArray("fffe18fffc1ffffc01"));
    // Commands without options (NOP, AYT, GA) and unknown subnegotiations pass unanswered.
    const TelnetComPortSession::Reading reading =
        session.received(QByteArray::fromHex("fff1fff6fff9fffa1801fff041"));
    QCOMPARE(reading.reply, "");
    QCOMPARE(reading.data, "A");
    QCOMPARE(session.stage(), TelnetComPortSession::Stage::Ready);
}

QTEST_GUILESS_MAIN(TestTelnetComPort)
#include "tst_telnetcomport.moc"
