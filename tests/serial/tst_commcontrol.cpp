#include "serial/CommControl.h"

#include "ChartText.h"
#include "FileBytes.h"
#include "PseudoTerminal.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Lets the control handle everything that is pending, including events it
// raises for itself, so that what did not happen by then will not happen.
void settle()
{
    for (int round = 0; round < 3; ++round)
        QCoreApplication::processEvents();
}

// A refusal for the lock this test program holds on `device`: "ポートは他のプログラムが使用中です"
// after `label`, with the program, its process and the lock file, which exists.
void expectLockedBy(const QString& reason, const QString& label, const QString& device)
{
    const QRegularExpression pattern(
        "^" + QRegularExpression::escape(label) +
        QStringLiteral("ポートは他のプログラムが使用中です（tst_commcontrol、プロセス番号 "
                       "(\\d+)、ロックファイル「([^」]+)」）$"));
    const QRegularExpressionMatch match = pattern.match(reason);
    QVERIFY2(match.hasMatch(), qPrintable(reason));
    QCOMPARE(match.captured(1).toLongLong(), QCoreApplication::applicationPid());
    QCOMPARE(QFileInfo(match.captured(2)).fileName(), "LCK.." + device.mid(5).replace('/', '_'));
    QVERIFY2(QFile::exists(match.captured(2)), qPrintable(match.captured(2)));
}

} // namespace

class TestCommControl : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void settingsText_data();
    void settingsText();
    void noPortChosen();
    void missingDevice();
    void portInUse();
    void lineSettingsReachTheLine_data();
    void lineSettingsReachTheLine();
    void bytesCrossBothWays();
    void oneEventPerCharacter();
    void untakenCharactersWaitForMore();
    void closedPortRaisesNothing();
    void openingDropsStaleCharacters();
    void vanishedDevice();
    void portByDevicePath();
    void lowLatencyRefusedByPseudoTerminal();
    void lowLatencyOnSerialDevice();

private:
    // A control set up as the window sets it up, on COM3 of a settings file
    // that names the pseudo-terminal's slave as the device of COM3.
    std::unique_ptr<CommControl> configuredControl(const QString& settings = QStringLiteral("57600,n,8,1"));
    // Receive events of `control`, handled as the window does: one character per read.
    void takeEachCharacter(CommControl& control);

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<PseudoTerminal> line;
    QList<QByteArray> reads;
    int receiveEvents = 0;
    int sendEvents = 0;
};

void TestCommControl::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    line = std::make_unique<PseudoTerminal>();
    QVERIFY(line->isValid());
    QVERIFY(writeFile(dir->filePath("Setting.ini"), settingsWithCom3(line->device())));
    reads.clear();
    receiveEvents = 0;
    sendEvents = 0;
}

std::unique_ptr<CommControl> TestCommControl::configuredControl(const QString& settings)
{
    auto control = std::make_unique<CommControl>(SettingsLocation(dir->filePath("Setting.ini")));
    control->setCommPort(3);
    control->setSettings(settings);
    control->setHandshaking(0);
    control->setRTSEnable(false);
    control->setSThreshold(1);
    control->setRThreshold(1);
    control->setInputLen(1);
    return control;
}

void TestCommControl::takeEachCharacter(CommControl& control)
{
    connect(&control, &CommControl::OnComm, this, [this, &control] {
        if (control.CommEvent() == CommControl::EventSend)
            ++sendEvents;
        if (control.CommEvent() != CommControl::EventReceive)
            return;
        ++receiveEvents;
        reads.append(control.Input());
    });
}

void TestCommControl::settingsText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("the controller's line") << "57600,n,8,1" << true;
    QTest::newRow("upper-case parity, 7 bits, 2 stops") << "9600,E,7,2" << true;
    QTest::newRow("blanks between fields") << " 19200 , o , 8 , 1.5 " << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("three fields") << "57600,n,8" << false;
    QTest::newRow("five fields") << "57600,n,8,1,1" << false;
    QTest::newRow("unknown parity") << "57600,x,8,1" << false;
    QTest::newRow("baud not a number") << "fast,n,8,1" << false;
    QTest::newRow("baud 0") << "0,n,8,1" << false;
    QTest::newRow("negative baud") << "-9600,n,8,1" << false;
    QTest::newRow("9 data bits") << "57600,n,9,1" << false;
    QTest::newRow("3 stop bits") << "57600,n,8,3" << false;
    QTest::newRow("semicolons") << "57600;n;8;1" << false;
}

void TestCommControl::settingsText()
{
    QFETCH(QString, text);
    QFETCH(bool, accepted);

    CommControl control;
    QVERIFY(control.setSettings("4800,n,8,1"));
    QCOMPARE(control.setSettings(text), accepted);
    QCOMPARE(control.Settings(), accepted ? text : QStringLiteral("4800,n,8,1"));
    QCOMPARE(control.lastError() == CommControl::Failure::BadSettings, !accepted);
}

void TestCommControl::noPortChosen()
{
    auto control = configuredControl();
    control->setCommPort(0);
    QVERIFY(!control->setPortOpen(true));
    QVERIFY(!control->PortOpen());
    QCOMPARE(control->lastError(), CommControl::Failure::NoPort);
    QVERIFY(!control->errorString().isEmpty());
    QVERIFY(!control->Output("E\r"));
    QCOMPARE(control->lastError(), CommControl::Failure::NotOpen);
    QCOMPARE(control->Input(), QByteArray());
}

void TestCommControl::missingDevice()
{
    const QString device = dir->filePath("no-such-tty");
    QVERIFY(writeFile(dir->filePath("Setting.ini"), "[Ports]\r\nCOM5=" + device.toLocal8Bit() + "\r\n"));

    auto control = configuredControl();
    control->setCommPort(5);
    QVERIFY(!control->setPortOpen(true));
    QVERIFY(!control->PortOpen());
    QCOMPARE(control->lastError(), CommControl::Failure::OpenFailed);
    QVERIFY2(control->errorString().contains(device), qPrintable(control->errorString()));
}

void TestCommControl::portInUse()
{
    auto holder = configuredControl();
    QVERIFY2(holder->setPortOpen(true), qPrintable(holder->errorString()));

    auto control = configuredControl();
    QVERIFY(!control->setPortOpen(true));
    QCOMPARE(control->lastError(), CommControl::Failure::OpenFailed);
    // The holder's lock file names this program and its process, so a stale one can be found.
    expectLockedBy(control->errorString(), QStringLiteral("COM3 (%1): ").arg(line->device()), line->device());

    holder->setPortOpen(false);
    QVERIFY2(control->setPortOpen(true), qPrintable(control->errorString()));
}

void TestCommControl::lineSettingsReachTheLine_data()
{
    QTest::addColumn<QString>("settings");
    QTest::addColumn<int>("handshaking");
    QTest::addColumn<uint>("speed");
    QTest::addColumn<bool>("twoStopBits");
    QTest::addColumn<bool>("rtsCts");
    QTest::addColumn<bool>("xonXoff");

    // A pseudo-terminal keeps 8 bits without parity whatever it is told, so
    // parity and character size are seen only as far as the controller's line needs.
    // clang-format off
    QTest::newRow("57600,n,8,1, no handshaking") << "57600,n,8,1" << 0 << uint(B57600) << false << false << false;
    QTest::newRow("9600,n,8,2, XON/XOFF") << "9600,n,8,2" << 1 << uint(B9600) << true << false << true;
    QTest::newRow("19200,N,8,1, RTS/CTS") << "19200,N,8,1" << 2 << uint(B19200) << false << true << false;
    // clang-format on
}

void TestCommControl::lineSettingsReachTheLine()
{
    QFETCH(QString, settings);
    QFETCH(int, handshaking);
    QFETCH(uint, speed);
    QFETCH(bool, twoStopBits);
    QFETCH(bool, rtsCts);
    QFETCH(bool, xonXoff);

    auto control = configuredControl("4800,n,8,1");
    // Settings chosen while closed wait for the opening; later ones apply at once.
    QVERIFY(control->setSettings(settings));
    QVERIFY(control->setPortOpen(true));
    for (int pass = 0; pass < 2; ++pass) {
        if (pass == 1) {
            QVERIFY(control->setSettings("4800,n,8,1"));
            QVERIFY(control->setHandshaking(0));
            QVERIFY(control->setSettings(settings));
        }
        QVERIFY2(control->setHandshaking(handshaking), qPrintable(control->errorString()));
        termios attributes{};
        QCOMPARE(::tcgetattr(line->slaveDescriptor(), &attributes), 0);
        QCOMPARE(uint(::cfgetospeed(&attributes)), speed);
        QCOMPARE(uint(::cfgetispeed(&attributes)), speed);
        QCOMPARE(uint(attributes.c_cflag & CSIZE), uint(CS8));
        QVERIFY(!(attributes.c_cflag & PARENB));
        QCOMPARE(bool(attributes.c_cflag & CSTOPB), twoStopBits);
        QCOMPARE(bool(attributes.c_cflag & CRTSCTS), rtsCts);
        QCOMPARE(bool(attributes.c_iflag & IXON), xonXoff);
    }
}

void TestCommControl::bytesCrossBothWays()
{
    auto control = configuredControl();
    takeEachCharacter(*control);
    QVERIFY(!control->PortOpen());
    QVERIFY2(control->setPortOpen(true), qPrintable(control->errorString()));
    QVERIFY(control->PortOpen());
    QCOMPARE(control->lastError(), CommControl::Failure::None);
    QVERIFY(!control->setCommPort(4));
    QCOMPARE(control->CommPort(), 3);

    QVERIFY(control->Output("E\r"));
    QCOMPARE(line->receive(2), QByteArray("E\r"));
    // With SThreshold 1 an emptied output buffer is told as a send event, never as a receive.
    QTRY_VERIFY(sendEvents > 0);
    QCOMPARE(receiveEvents, 0);
    // The announcement and its record are two writes that must arrive in order.
    QVERIFY(control->Output("W"));
    QVERIFY(control->Output("00033333333\r"));
    QVERIFY(control->Output("W"));
    QVERIFY(control->Output("001:;<=>?01\r"));
    QCOMPARE(line->receive(26), QByteArray("W00033333333\rW001:;<=>?01\r"));

    QVERIFY(line->send("e\r"));
    QTRY_COMPARE(reads, (QList<QByteArray>{"e", "\r"}));

    // Every byte value crosses unchanged: the line is raw, no CR or LF translation.
    QByteArray allBytes;
    for (int b = 0; b < 256; ++b)
        allBytes += static_cast<char>(b);
    QVERIFY(control->Output(allBytes));
    QCOMPARE(line->receive(256), allBytes);
    reads.clear();
    control->setInputLen(0);
    QVERIFY(line->send(allBytes));
    QTRY_COMPARE(reads.join().size(), 256);
    QCOMPARE(reads.join(), allBytes);
}

void TestCommControl::oneEventPerCharacter()
{
    auto control = configuredControl();
    takeEachCharacter(*control);
    QVERIFY(control->setPortOpen(true));

    // The controller's letter and CR may reach the computer together.
    QVERIFY(line->send("s\rw\r"));
    QTRY_COMPARE(reads, (QList<QByteArray>{"s", "\r", "w", "\r"}));
    settle();
    QCOMPARE(receiveEvents, 4);
    QCOMPARE(control->InBufferCount(), 0);
}

void TestCommControl::untakenCharactersWaitForMore()
{
    auto control = configuredControl();
    int events = 0;
    connect(control.get(), &CommControl::OnComm, this, [&] {
        if (control->CommEvent() == CommControl::EventReceive)
            ++events;
    });
    QVERIFY(control->setPortOpen(true));

    // A handler that takes nothing is told once, not over and over.
    QVERIFY(line->send("abc"));
    QTRY_COMPARE(events, 1);
    settle();
    QCOMPARE(events, 1);
    QCOMPARE(control->InBufferCount(), 3);

    QVERIFY(line->send("d"));
    QTRY_COMPARE(events, 2);
    QCOMPARE(control->Input(), QByteArray("a"));
    control->setInputLen(0);
    QCOMPARE(control->Input(), QByteArray("bcd"));
}

void TestCommControl::closedPortRaisesNothing()
{
    auto control = configuredControl();
    takeEachCharacter(*control);
    QVERIFY(control->setPortOpen(true));
    QVERIFY(line->send("x"));
    QTRY_COMPARE(reads.size(), 1);
    QVERIFY(control->setPortOpen(false));
    QVERIFY(!control->PortOpen());
    QVERIFY(line->send("e\r"));
    settle();
    QCOMPARE(reads, QList<QByteArray>{"x"});
    QVERIFY(!control->Output("E\r"));
    QCOMPARE(control->lastError(), CommControl::Failure::NotOpen);

    // A closed port can be opened again for the next transfer.
    QVERIFY(control->setPortOpen(true));
    QVERIFY(control->Output("E\r"));
    QCOMPARE(line->receive(2), QByteArray("E\r"));
    QVERIFY(line->send("e"));
    QTRY_COMPARE(reads, (QList<QByteArray>{"x", "e"}));
}

void TestCommControl::openingDropsStaleCharacters()
{
    auto control = configuredControl();
    takeEachCharacter(*control);
    // A late reply of an earlier transfer, waiting on the line before the opening.
    QVERIFY(line->send("w\r"));
    QVERIFY(control->setPortOpen(true));
    QVERIFY(line->send("e"));
    QTRY_VERIFY(!reads.isEmpty());
    settle();
    QCOMPARE(reads, QList<QByteArray>{"e"});
}

void TestCommControl::vanishedDevice()
{
    auto control = configuredControl();
    takeEachCharacter(*control);
    QSignalSpy failures(control.get(), &CommControl::portFailed);
    QVERIFY(control->setPortOpen(true));
    QVERIFY(control->Output("E\r"));
    QCOMPARE(line->receive(2), QByteArray("E\r"));

    line->hangUp();
    QTRY_COMPARE(failures.size(), 1);
    QVERIFY(!control->PortOpen());
    QCOMPARE(control->lastError(), CommControl::Failure::DeviceLost);
    QCOMPARE(control->errorString(),
             QStringLiteral("COM3 (%1): デバイスが取り外されたか、応答しなくなりました").arg(line->device()));

    settle();
    QCOMPARE(failures.size(), 1);
    QCOMPARE(receiveEvents, 0);
    QVERIFY(!control->Output("S80\r"));
    QVERIFY(control->setPortOpen(false));
}

// A device path chosen as the port is the device itself, whatever the
// settings file maps; a COMn chosen after it is looked up again.
void TestCommControl::portByDevicePath()
{
    CommControl control(SettingsLocation(dir->filePath("Setting.ini")));
    takeEachCharacter(control);
    configureControllerPort(control, line->device());
    QCOMPARE(control.CommPort(), 0);
    QCOMPARE(control.deviceName(), line->device());
    QCOMPARE(control.Settings(), "57600,n,8,1");
    QCOMPARE(control.Handshaking(), 0);
    QCOMPARE(control.RThreshold(), 1);
    QVERIFY2(control.setPortOpen(true), qPrintable(control.errorString()));
    QVERIFY(control.Output("E\r"));
    QCOMPARE(line->receive(2), QByteArray("E\r"));

    // Failures name the device as the user chose it.
    CommControl second;
    second.setPort(line->device());
    QVERIFY(!second.setPortOpen(true));
    expectLockedBy(second.errorString(), line->device() + ": ", line->device());

    control.setPortOpen(false);
    QVERIFY(control.setPort("COM4"));
    QCOMPARE(control.CommPort(), 4);
    QCOMPARE(control.deviceName(), "/dev/ttyS3");
    QVERIFY(control.setPort("COM3"));
    QCOMPARE(control.deviceName(), line->device());
}

// A pseudo-terminal has no low-latency flag: the port is used as it is and
// says nothing of it.
void TestCommControl::lowLatencyRefusedByPseudoTerminal()
{
    auto control = configuredControl();
    takeEachCharacter(*control);
    QCOMPARE(control->lowLatency(), CommControl::LowLatency::NotRequested);
    QVERIFY2(control->setPortOpen(true), qPrintable(control->errorString()));
    QCOMPARE(control->lowLatency(), CommControl::LowLatency::Refused);
    QCOMPARE(control->lastError(), CommControl::Failure::None);
    QCOMPARE(control->errorString(), QString());
    QVERIFY(control->Output("E\r"));
    QCOMPARE(line->receive(2), QByteArray("E\r"));
    QVERIFY(line->send("e\r"));
    QTRY_COMPARE(reads, (QList<QByteArray>{"e", "\r"}));
}

// A real serial driver turns the flag on when the port opens.
void TestCommControl::lowLatencyOnSerialDevice()
{
    const QString device = "/dev/ttyS0";
    const int descriptor = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (descriptor < 0)
        QSKIP(qPrintable(QString("%1 cannot be opened here: %2").arg(device, std::strerror(errno))));
    serial_struct original{};
    serial_struct cleared{};
    if (::ioctl(descriptor, TIOCGSERIAL, &original) != 0) {
        ::close(descriptor);
        QSKIP(qPrintable(QString("%1 has no serial driver here: %2").arg(device, std::strerror(errno))));
    }
    cleared = original;
    cleared.flags &= ~ASYNC_LOW_LATENCY;
    // The device is left as the test found it.
    const auto restore = qScopeGuard([&] {
        ::ioctl(descriptor, TIOCSSERIAL, &original);
        ::close(descriptor);
    });
    if (::ioctl(descriptor, TIOCSSERIAL, &cleared) != 0)
        QSKIP(
            qPrintable(QString("the flags of %1 cannot be set here: %2").arg(device, std::strerror(errno))));

    CommControl control;
    configureControllerPort(control, device);
    QVERIFY2(control.setPortOpen(true), qPrintable(control.errorString()));
    QCOMPARE(control.lowLatency(), CommControl::LowLatency::Granted);
    serial_struct now{};
    QCOMPARE(::ioctl(descriptor, TIOCGSERIAL, &now), 0);
    QVERIFY(now.flags & ASYNC_LOW_LATENCY);
    control.setPortOpen(false);
}

QTEST_GUILESS_MAIN(TestCommControl)
#include "tst_commcontrol.moc"
