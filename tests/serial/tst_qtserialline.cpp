#include "serial/QtSerialLine.h"

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

// Lets the line handle everything that is pending, so that what did not
// happen by then will not happen.
void settle()
{
    for (int round = 0; round < 3; ++round)
        QCoreApplication::processEvents();
}

// A refusal for the lock this test program holds on `device`: "ポートは他のプログラムが使用中です"
// with the program, its process and the lock file, which exists.
void expectLockedBy(const QString& reason, const QString& device)
{
    const QRegularExpression pattern(QStringLiteral("^ポートは他のプログラムが使用中です（tst_qtserialline、"
                                                    "プロセス番号 (\\d+)、ロックファイル「([^」]+)」）$"));
    const QRegularExpressionMatch match = pattern.match(reason);
    QVERIFY2(match.hasMatch(), qPrintable(reason));
    QCOMPARE(match.captured(1).toLongLong(), QCoreApplication::applicationPid());
    QCOMPARE(QFileInfo(match.captured(2)).fileName(), "LCK.." + device.mid(5).replace('/', '_'));
    QVERIFY2(QFile::exists(match.captured(2)), qPrintable(match.captured(2)));
}

} // namespace

// The controller's line on a real pseudo-terminal: the test plays the
// controller at the master end.
class TestQtSerialLine : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void missingDevice();
    void deviceInUse();
    void linkLocksItsDevice();
    void controllerSettingsReachTheLine();
    void bytesCrossBothWays();
    void closedLineHearsNothing();
    void openingDropsStaleCharacters();
    void vanishedDevice();
    void lowLatencyRefusedByPseudoTerminal();
    void lowLatencyOnSerialDevice();

private:
    // Gathers what `line` receives, as the transfer does: all of it at each report.
    void gather(SerialLine& line);

    std::unique_ptr<PseudoTerminal> far;
    QByteArray came;
    int reports = 0;
};

void TestQtSerialLine::init()
{
    far = std::make_unique<PseudoTerminal>();
    QVERIFY(far->isValid());
    came.clear();
    reports = 0;
}

void TestQtSerialLine::gather(SerialLine& line)
{
    connect(&line, &SerialLine::received, this, [this, &line] {
        ++reports;
        came += line.readAvailable();
    });
}

void TestQtSerialLine::missingDevice()
{
    QtSerialLine line;
    QVERIFY(!line.openControllerLine("/dev/no-such-tty"));
    QVERIFY(!line.isOpen());
    QVERIFY(!line.errorString().isEmpty());
    QVERIFY(!line.write("E\r"));
    QCOMPARE(line.errorString(), "ポートが開いていません");
    QCOMPARE(line.readAvailable(), QByteArray());
}

void TestQtSerialLine::deviceInUse()
{
    QtSerialLine holder;
    QVERIFY2(holder.openControllerLine(far->device()), qPrintable(holder.errorString()));

    QtSerialLine line;
    QVERIFY(!line.openControllerLine(far->device()));
    // The holder's lock file names this program and its process, so a stale one can be found.
    expectLockedBy(line.errorString(), far->device());

    holder.close();
    QVERIFY2(line.openControllerLine(far->device()), qPrintable(line.errorString()));
}

// Reached through a link, the line takes the lock of the device the link leads to, where
// other programs look for it.
void TestQtSerialLine::linkLocksItsDevice()
{
    QTemporaryDir dir;
    const QString link = dir.filePath("controller");
    QVERIFY(QFile::link(far->device(), link));
    const QString deviceLock = "/var/lock/LCK.." + far->device().mid(5).replace('/', '_');
    const QString linkLock = "/var/lock/LCK.." + QString(link).replace('/', '_');
    if (!QFileInfo("/var/lock").isWritable())
        QSKIP("the lock files are not in /var/lock here");

    QtSerialLine line;
    QVERIFY2(line.openControllerLine(link), qPrintable(line.errorString()));
    QVERIFY(QFile::exists(deviceLock));
    QVERIFY(!QFile::exists(linkLock));
    QtSerialLine other;
    QVERIFY(!other.openControllerLine(far->device()));
    expectLockedBy(other.errorString(), far->device());
    line.close();
    QVERIFY(!QFile::exists(deviceLock));
}

// Whatever the device was set to before, the opening sets the controller's
// line. A pseudo-terminal keeps 8 bits without parity whatever it is told, so
// those two are seen only as far as the controller's line needs.
void TestQtSerialLine::controllerSettingsReachTheLine()
{
    termios before{};
    QCOMPARE(::tcgetattr(far->slaveDescriptor(), &before), 0);
    ::cfsetispeed(&before, B9600);
    ::cfsetospeed(&before, B9600);
    before.c_cflag |= CSTOPB | CRTSCTS;
    before.c_iflag |= IXON | IXOFF;
    QCOMPARE(::tcsetattr(far->slaveDescriptor(), TCSANOW, &before), 0);

    QtSerialLine line;
    QVERIFY2(line.openControllerLine(far->device()), qPrintable(line.errorString()));
    termios attributes{};
    QCOMPARE(::tcgetattr(far->slaveDescriptor(), &attributes), 0);
    QCOMPARE(uint(::cfgetospeed(&attributes)), uint(B57600));
    QCOMPARE(uint(::cfgetispeed(&attributes)), uint(B57600));
    QCOMPARE(uint(attributes.c_cflag & CSIZE), uint(CS8));
    QVERIFY(!(attributes.c_cflag & PARENB));
    QVERIFY(!(attributes.c_cflag & CSTOPB));
    QVERIFY(!(attributes.c_cflag & CRTSCTS));
    QVERIFY(!(attributes.c_iflag & (IXON | IXOFF)));
    // RTS off is asked for too; a pseudo-terminal has no such line and refuses it without a word.
    QCOMPARE(line.errorString(), QString());
}

void TestQtSerialLine::bytesCrossBothWays()
{
    QtSerialLine line;
    gather(line);
    QVERIFY(!line.isOpen());
    QVERIFY2(line.openControllerLine(far->device()), qPrintable(line.errorString()));
    QVERIFY(line.isOpen());
    // A second opening of an open line keeps it as it is.
    QVERIFY(line.openControllerLine("/dev/no-such-tty"));

    QVERIFY(line.write("E\r"));
    QCOMPARE(far->receive(2), QByteArray("E\r"));
    // The announcement and its record are two writes that must arrive in order.
    QVERIFY(line.write("W"));
    QVERIFY(line.write("00033333333\r"));
    QVERIFY(line.write("W"));
    QVERIFY(line.write("001:;<=>?01\r"));
    QCOMPARE(far->receive(26), QByteArray("W00033333333\rW001:;<=>?01\r"));

    // The controller's letter and CR may reach the computer together.
    QVERIFY(far->send("s\rw\r"));
    QTRY_COMPARE(came, QByteArray("s\rw\r"));
    settle();
    QCOMPARE(line.readAvailable(), QByteArray());

    // Every byte value crosses unchanged: the line is raw, no CR or LF translation.
    QByteArray allBytes;
    for (int b = 0; b < 256; ++b)
        allBytes += static_cast<char>(b);
    QVERIFY(line.write(allBytes));
    QCOMPARE(far->receive(256), allBytes);
    came.clear();
    QVERIFY(far->send(allBytes));
    QTRY_COMPARE(came.size(), 256);
    QCOMPARE(came, allBytes);
}

void TestQtSerialLine::closedLineHearsNothing()
{
    QtSerialLine line;
    gather(line);
    QVERIFY(line.openControllerLine(far->device()));
    QVERIFY(far->send("x"));
    QTRY_COMPARE(came, QByteArray("x"));
    line.close();
    QVERIFY(!line.isOpen());
    const int heard = reports;
    QVERIFY(far->send("e\r"));
    settle();
    QCOMPARE(reports, heard);
    QCOMPARE(line.readAvailable(), QByteArray());
    QVERIFY(!line.write("E\r"));

    // A closed line can be opened again for the next transfer.
    QVERIFY(line.openControllerLine(far->device()));
    QVERIFY(line.write("E\r"));
    QCOMPARE(far->receive(2), QByteArray("E\r"));
    QVERIFY(far->send("e"));
    QTRY_COMPARE(came, QByteArray("xe"));
}

// A late reply of an earlier transfer, waiting on the line before the opening, is dropped.
void TestQtSerialLine::openingDropsStaleCharacters()
{
    QtSerialLine line;
    gather(line);
    QVERIFY(far->send("w\r"));
    QVERIFY(line.openControllerLine(far->device()));
    QVERIFY(far->send("e"));
    QTRY_VERIFY(!came.isEmpty());
    settle();
    QCOMPARE(came, QByteArray("e"));
}

void TestQtSerialLine::vanishedDevice()
{
    QtSerialLine line;
    gather(line);
    QSignalSpy lost(&line, &SerialLine::lost);
    QVERIFY(line.openControllerLine(far->device()));
    QVERIFY(line.write("E\r"));
    QCOMPARE(far->receive(2), QByteArray("E\r"));

    far->hangUp();
    QTRY_COMPARE(lost.size(), 1);
    // Qt's own words ("Inappropriate ioctl for device") say nothing of the cable in the user's hand.
    QCOMPARE(lost.first().first().toString(), "デバイスが取り外されたか、応答しなくなりました");
    QCOMPARE(line.errorString(), "デバイスが取り外されたか、応答しなくなりました");
    QVERIFY(!line.isOpen());

    settle();
    QCOMPARE(lost.size(), 1);
    QCOMPARE(came, QByteArray());
    QVERIFY(!line.write("S80\r"));
    line.close();
}

// A pseudo-terminal has no low-latency flag: the line is used as it is and
// says nothing of it.
void TestQtSerialLine::lowLatencyRefusedByPseudoTerminal()
{
    QtSerialLine line;
    gather(line);
    QCOMPARE(line.lowLatency(), QtSerialLine::LowLatency::NotRequested);
    QVERIFY2(line.openControllerLine(far->device()), qPrintable(line.errorString()));
    QCOMPARE(line.lowLatency(), QtSerialLine::LowLatency::Refused);
    QCOMPARE(line.errorString(), QString());
    QVERIFY(line.write("E\r"));
    QCOMPARE(far->receive(2), QByteArray("E\r"));
    QVERIFY(far->send("e\r"));
    QTRY_COMPARE(came, QByteArray("e\r"));
}

// A real serial driver turns the flag on when the line opens.
void TestQtSerialLine::lowLatencyOnSerialDevice()
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

    QtSerialLine line;
    QVERIFY2(line.openControllerLine(device), qPrintable(line.errorString()));
    QCOMPARE(line.lowLatency(), QtSerialLine::LowLatency::Granted);
    serial_struct now{};
    QCOMPARE(::ioctl(descriptor, TIOCGSERIAL, &now), 0);
    QVERIFY(now.flags & ASYNC_LOW_LATENCY);
    line.close();
}

QTEST_GUILESS_MAIN(TestQtSerialLine)
#include "tst_qtserialline.moc"
