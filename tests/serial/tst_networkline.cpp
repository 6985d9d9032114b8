#include "serial/NetworkSerialLine.h"

#include "PseudoTerminal.h"
#include "Ser2netServer.h"
#include "UnansweringPort.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <termios.h>

namespace {

// Only bounds a hang: what must come comes long before on any machine.
constexpr int HangLimitMs = 30000;

// What `line` receives, gathered as the transfer takes it: all of it at each report.
struct Gathered
{
    explicit Gathered(SerialLine& line)
    {
        QObject::connect(&line, &SerialLine::received, &line,
                         [this, &line] { bytes += line.readAvailable(); });
    }
    QByteArray bytes;
};

} // namespace

// The line on a port of a serial device server: ser2net in front of a
// pseudo-terminal whose master end the test plays, and small servers of the
// test's own for what ser2net never does.
class TestNetworkLine : public QObject
{
    Q_OBJECT

private slots:
    void bytesCrossBothWays_data();
    void bytesCrossBothWays();
    void openingFails_data();
    void openingFails();
    void heldUntilTheServerConfirms();
    void serverStopped();
    void connectionNeverAnswered();
};

void TestNetworkLine::bytesCrossBothWays_data()
{
    QTest::addColumn<Ser2netServer::Protocol>("protocol");
    QTest::addColumn<QString>("serverSettings"); // how the server opens the line, in its words

    QTest::newRow("raw") << Ser2netServer::Protocol::Raw << "57600n81";
    // The server's own settings are all wrong; the line's must replace each before a byte goes out.
    QTest::newRow("RFC 2217") << Ser2netServer::Protocol::Rfc2217 << "9600e72";
}

// Every byte crosses as it is, 255 and NUL too; with RFC 2217 the server has set the
// terminal as the controller's line wants it by the time the first byte arrives.
void TestNetworkLine::bytesCrossBothWays()
{
    QFETCH(Ser2netServer::Protocol, protocol);
    QFETCH(QString, serverSettings);

    PseudoTerminal far;
    QVERIFY(far.isValid());
    Ser2netServer server;
    QVERIFY2(server.start({{far.device(), protocol, serverSettings}}), qPrintable(server.errorString()));

    NetworkSerialLine line;
    QSignalSpy failed(&line, &SerialLine::openingFailed);
    QSignalSpy lost(&line, &SerialLine::lost);
    const Gathered came(line);
    QVERIFY(line.openControllerLine(server.url(0)));
    QVERIFY(line.isOpen());
    const QByteArray out("E\r\xff\x00W\xff", 6);
    QVERIFY(line.write(out));
    QCOMPARE(far.receive(out.size(), HangLimitMs).toHex(), out.toHex());
    QCOMPARE(line.unfinishedOpening(), "");

    termios settings{};
    QCOMPARE(::tcgetattr(far.slaveDescriptor(), &settings), 0);
    QCOMPARE(uint(::cfgetospeed(&settings)), uint(B57600));
    QCOMPARE(uint(::cfgetispeed(&settings)), uint(B57600));
    QCOMPARE(settings.c_cflag & CSIZE, tcflag_t(CS8));
    QVERIFY(!(settings.c_cflag & (PARENB | CSTOPB | CRTSCTS)));
    QVERIFY(!(settings.c_iflag & (IXON | IXOFF)));

    const QByteArray in("e\r\xff\x00s\xff", 6);
    QVERIFY(far.send(in));
    QVERIFY(QTest::qWaitFor([&] { return came.bytes.size() >= in.size(); }, HangLimitMs));
    QCOMPARE(came.bytes.toHex(), in.toHex());
    QVERIFY(line.isOpen());
    QCOMPARE(failed.size(), 0);
    QCOMPARE(lost.size(), 0);

    line.close();
    QVERIFY(!line.isOpen());
    QVERIFY(far.send("late"));
    QTest::qWait(50);
    QCOMPARE(line.readAvailable(), "");
}

void TestNetworkLine::openingFails_data()
{
    QTest::addColumn<QString>("url");    // %1: a port where nobody listens, %2: the server's port
    QTest::addColumn<QString>("holder"); // who has the server's port: nobody, "raw", "RFC 2217"
    QTest::addColumn<QString>("reason");

    // clang-format off
    QTest::newRow("nobody listens") << "tcp://127.0.0.1:%1" << "" << "127.0.0.1 のポート %1 は接続を拒否しました（待ち受けているサーバーがありません）";
    QTest::newRow("nobody listens, RFC 2217") << "rfc2217://127.0.0.1:%1" << "" << "127.0.0.1 のポート %1 は接続を拒否しました（待ち受けているサーバーがありません）";
    QTest::newRow("a name that does not resolve") << "rfc2217://no-such-host.invalid:4001" << "" << "名前「no-such-host.invalid」を解決できません";
    QTest::newRow("port in use") << "tcp://127.0.0.1:%2" << "raw" << "サーバーが接続を断りました：「Port already in use」";
    QTest::newRow("port in use, RFC 2217") << "rfc2217://127.0.0.1:%2" << "RFC 2217" << "サーバーが接続を断りました：「Port already in use」";
    // clang-format on
}

// A port that cannot be had fails after the opening returned, with the reason in the user's
// words and the line closed; writes made meanwhile never go out.
void TestNetworkLine::openingFails()
{
    QFETCH(QString, url);
    QFETCH(QString, holder);
    QFETCH(QString, reason);

    PseudoTerminal far;
    Ser2netServer server;
    NetworkSerialLine first;
    if (!holder.isEmpty()) {
        QVERIFY(far.isValid());
        const auto protocol =
            holder == "raw" ? Ser2netServer::Protocol::Raw : Ser2netServer::Protocol::Rfc2217;
        QVERIFY2(server.start({{far.device(), protocol}}), qPrintable(server.errorString()));
        // The server has the first line once a byte of it came through.
        QVERIFY(first.openControllerLine(server.url(0)) && first.write("E\r"));
        QCOMPARE(far.receive(2, HangLimitMs), "E\r");
    }
    const QString nobody = QString::number(Ser2netServer::freePort());
    url.replace("%1", nobody).replace("%2", QString::number(server.port(0)));
    reason.replace("%1", nobody);

    NetworkSerialLine line;
    QSignalSpy failed(&line, &SerialLine::openingFailed);
    QSignalSpy lost(&line, &SerialLine::lost);
    // The system may refuse a connection on its own address within the call; the call says so then.
    if (line.openControllerLine(url)) {
        QVERIFY(line.write("E\r"));
        QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, HangLimitMs);
        QCOMPARE(failed.first().first().toString(), reason);
    }
    QCOMPARE(line.errorString(), reason);
    QVERIFY(!line.isOpen());
    QCOMPARE(lost.size(), 0);
    QCOMPARE(line.unfinishedOpening(), "");
    if (!holder.isEmpty()) {
        QVERIFY(first.isOpen());
        QCOMPARE(far.take(), ""); // the refused line's erase never reached the controller
    }
}

// With RFC 2217 nothing of the transfer goes out before the server has
// confirmed every setting; meanwhile the line says what it waits for.
void TestNetworkLine::heldUntilTheServerConfirms()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    NetworkSerialLine line;
    QSignalSpy failed(&line, &SerialLine::openingFailed);
    QVERIFY(line.openControllerLine(QStringLiteral("rfc2217://127.0.0.1:%1").arg(server.serverPort())));
    QVERIFY(line.write("E\r"));
    QVERIFY(server.waitForNewConnection(HangLimitMs));
    QTcpSocket* accepted = server.nextPendingConnection();
    const auto readAtLeast = [&](qsizetype count) {
        QByteArray bytes;
        (void)QTest::qWaitFor(
            [&] {
                bytes += accepted->readAll();
                return bytes.size() >= count;
            },
            HangLimitMs);
        return bytes.toHex();
    };

    // WILL BINARY, DO BINARY, WILL COM-PORT-OPTION, and nothing more until the server answers.
    QCOMPARE(readAtLeast(9), QByteArray("fffb00fffd00fffb2c"));
    QCOMPARE(line.unfinishedOpening(), "サーバーが COM ポートの設定（RFC 2217）の取り決めに答えませんでした");

    // DO BINARY, WILL BINARY, DO COM-PORT-OPTION: the settings follow, still without the erase.
    accepted->write(QByteArray::fromHex("fffd00fffb00fffd2c"));
    QCOMPARE(readAtLeast(45), QByteArray("fffa2c010000e100fff0fffa2c0208fff0fffa2c0301fff0fffa2c0401fff0"
                                         "fffa2c0501fff0fffa2c050cfff0"));
    QCOMPARE(line.unfinishedOpening(),
             "サーバーが回線の設定（通信速度 57600 bps、データビット 8、パリティ なし、"
             "ストップビット 1、フロー制御 なし）に答えませんでした");

    // A byte of the controller's from before the confirmations, and the confirmations: then the erase.
    const Gathered came(line);
    accepted->write("s" + QByteArray::fromHex("fffa2c650000e100fff0fffa2c6608fff0fffa2c6701fff0"
                                              "fffa2c6801fff0fffa2c6901fff0"));
    QCOMPARE(readAtLeast(2), QByteArray("450d"));
    QCOMPARE(line.unfinishedOpening(), "");
    accepted->write("e\r");
    QVERIFY(QTest::qWaitFor([&] { return came.bytes.size() >= 2; }, HangLimitMs));
    QCOMPARE(came.bytes, "e\r"); // the stale "s" was dropped
    QCOMPARE(failed.size(), 0);
}

void TestNetworkLine::serverStopped()
{
    PseudoTerminal far;
    QVERIFY(far.isValid());
    Ser2netServer server;
    QVERIFY2(server.start({{far.device(), Ser2netServer::Protocol::Rfc2217}}),
             qPrintable(server.errorString()));
    NetworkSerialLine line;
    QSignalSpy failed(&line, &SerialLine::openingFailed);
    QSignalSpy lost(&line, &SerialLine::lost);
    QVERIFY(line.openControllerLine(server.url(0)) && line.write("E\r"));
    QCOMPARE(far.receive(2, HangLimitMs), "E\r");
    QVERIFY(far.send("e\r"));

    server.stop();
    QTRY_COMPARE_WITH_TIMEOUT(lost.size(), 1, HangLimitMs);
    QCOMPARE(lost.first().first().toString(), "サーバーが接続を切りました");
    QVERIFY(!line.isOpen());
    QCOMPARE(failed.size(), 0);
}

// A host that never answers: the line waits, saying so, for as long as it is given.
void TestNetworkLine::connectionNeverAnswered()
{
    const UnansweringPort port;
    QVERIFY2(port.port() != 0, qPrintable(port.errorString()));
    NetworkSerialLine line;
    QSignalSpy failed(&line, &SerialLine::openingFailed);
    QVERIFY(line.openControllerLine(QStringLiteral("tcp://127.0.0.1:%1").arg(port.port())));
    QVERIFY(line.write("E\r"));
    const QString waiting =
        QStringLiteral("127.0.0.1 のポート %1 が時間内に接続に応じませんでした").arg(port.port());
    QTRY_COMPARE_WITH_TIMEOUT(line.unfinishedOpening(), waiting, HangLimitMs);
    QVERIFY(line.isOpen());
    QCOMPARE(failed.size(), 0);
    line.close();
    QVERIFY(!line.isOpen());
    QCOMPARE(line.unfinishedOpening(), "");
}

QTEST_GUILESS_MAIN(TestNetworkLine)
#include "tst_networkline.moc"
