#include "serial/PortName.h"
#include "settings/SettingsLocation.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <utility>

class TestPortName : public QObject
{
    Q_OBJECT

private slots:
    void portNumber_data();
    void portNumber();
    void device_data();
    void device();
    void devicePath_data();
    void devicePath();
};

void TestPortName::portNumber_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("port");

    QTest::newRow("COM1") << "COM1" << 1;
    QTest::newRow("COM9") << "COM9" << 9;
    QTest::newRow("COM10") << "COM10" << 10;
    QTest::newRow("COM20") << "COM20" << 20;
    QTest::newRow("COM21") << "COM21" << 0;
    QTest::newRow("COM0") << "COM0" << 0;
    QTest::newRow("leading zero") << "COM01" << 0;
    QTest::newRow("lower case") << "com3" << 0;
    QTest::newRow("mixed case") << "Com3" << 0;
    QTest::newRow("leading blank") << " COM3" << 0;
    QTest::newRow("trailing blank") << "COM3 " << 0;
    QTest::newRow("inner blank") << "COM 3" << 0;
    QTest::newRow("sign") << "COM+3" << 0;
    QTest::newRow("no number") << "COM" << 0;
    QTest::newRow("full-width digit") << QString::fromUtf8("COM３") << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("choose") << QString::fromUtf8("選択") << 0;
    QTest::newRow("ERROR") << "ERROR" << 0;
}

void TestPortName::portNumber()
{
    QFETCH(QString, name);
    QFETCH(int, port);
    QCOMPARE(portNumberOf(name), port);
}

void TestPortName::device_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QByteArray>("userSettings"); // null: the program's file alone
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("device");

    const QByteArray mapped =
        "[Setting]\r\ncomport=COM3\r\n[Ports]\r\nCOM3=/dev/ttyUSB0\r\nCOM0=/dev/ttyUSB9\r\n";
    const QByteArray none;
    // clang-format off
    QTest::newRow("port in the Ports section") << mapped << none << 3 << "/dev/ttyUSB0";
    QTest::newRow("other port of the Ports section") << mapped << none << 4 << "/dev/ttyS3";
    QTest::newRow("port 0 has no device") << mapped << none << 0 << "";
    QTest::newRow("key in other case") << QByteArray("[ports]\ncom7 = /dev/ttyACM0\n") << none << 7 << "/dev/ttyACM0";
    QTest::newRow("empty value") << QByteArray("[Ports]\r\nCOM3=\r\n") << none << 3 << "/dev/ttyS2";
    QTest::newRow("no Ports section") << QByteArray("[Setting]\r\ncomport=COM3\r\n") << none << 3 << "/dev/ttyS2";
    QTest::newRow("no settings file, COM1") << none << none << 1 << "/dev/ttyS0";
    QTest::newRow("no settings file, COM20") << none << none << 20 << "/dev/ttyS19";
    QTest::newRow("negative port") << none << none << -1 << "";
    // A program installed where the user cannot write: the user's file first, then the program's.
    const QByteArray userPort = "[Setting]\r\ncomport=COM3\r\n";
    QTest::newRow("only the program's file maps the port") << mapped << userPort << 3 << "/dev/ttyUSB0";
    QTest::newRow("the user's file maps it too") << mapped << QByteArray(userPort + "[Ports]\r\nCOM3=/dev/ttyACM1\r\n") << 3 << "/dev/ttyACM1";
    QTest::newRow("the user's file alone") << none << QByteArray("[Ports]\r\nCOM4=/dev/ttyACM1\r\n") << 4 << "/dev/ttyACM1";
    // clang-format on
}

void TestPortName::device()
{
#ifdef Q_OS_WIN
    QSKIP("Windows names its serial devices COMn");
#endif
    QFETCH(QByteArray, settings);
    QFETCH(QByteArray, userSettings);
    QFETCH(int, port);
    QFETCH(QString, device);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("Setting.ini");
    const QString userPath = dir.filePath("config/Setting.ini");
    QVERIFY(QDir(dir.path()).mkdir("config"));
    for (const auto& [bytes, file] : {std::pair{settings, path}, std::pair{userSettings, userPath}}) {
        if (bytes.isNull())
            continue;
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(bytes);
    }
    const SettingsLocation location =
        userSettings.isNull() ? SettingsLocation(path) : SettingsLocation(userPath, path);
    QCOMPARE(portDeviceName(static_cast<qint16>(port), location.read()), device);
}

// A device path is a port name of its own outside Windows, and a port above
// COM20 on Windows; every other name keeps the number and device it always had.
void TestPortName::devicePath_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("isPath");
    QTest::addColumn<QString>("device"); // with COM3 mapped to /dev/ttyUSB0

    // clang-format off
#ifdef Q_OS_WIN
    QTest::newRow("COM21") << "COM21" << true << "COM21";
    QTest::newRow("COM256") << "COM256" << true << "COM256";
    QTest::newRow("COM257") << "COM257" << false << "";
    QTest::newRow("leading zero") << "COM021" << false << "";
    QTest::newRow("com21") << "com21" << false << "";
    QTest::newRow("blank") << "COM 21" << false << "";
    QTest::newRow("COM3, whatever [Ports] says") << "COM3" << false << "COM3";
    QTest::newRow("a Linux device path") << "/dev/ttyUSB0" << false << "";
    QTest::newRow("ERROR") << "ERROR" << false << "";
#else
    QTest::newRow("USB adapter") << "/dev/ttyUSB0" << true << "/dev/ttyUSB0";
    QTest::newRow("ACM device") << "/dev/ttyACM1" << true << "/dev/ttyACM1";
    QTest::newRow("pseudo-terminal") << "/dev/pts/7" << true << "/dev/pts/7";
    QTest::newRow("stable link by id") << "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0" << true << "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    QTest::newRow("the folder itself") << "/dev/" << false << "";
    QTest::newRow("/dev without slash") << "/dev" << false << "";
    QTest::newRow("out of /dev") << "/dev/../etc/passwd" << false << "";
    QTest::newRow("dot part") << "/dev/./ttyUSB0" << false << "";
    QTest::newRow("double slash") << "/dev//ttyUSB0" << false << "";
    QTest::newRow("trailing slash") << "/dev/ttyUSB0/" << false << "";
    QTest::newRow("trailing blank") << "/dev/ttyUSB0 " << false << "";
    QTest::newRow("inner blank") << "/dev/tty USB0" << false << "";
    QTest::newRow("relative") << "dev/ttyUSB0" << false << "";
    QTest::newRow("other folder") << "/tmp/ttyUSB0" << false << "";
    QTest::newRow("non-ASCII") << QString::fromUtf8("/dev/ｔｔｙ") << false << "";
    QTest::newRow("COM3") << "COM3" << false << "/dev/ttyUSB0";
    QTest::newRow("COM4") << "COM4" << false << "/dev/ttyS3";
    QTest::newRow("com3") << "com3" << false << "";
    QTest::newRow("COM21") << "COM21" << false << "";
    QTest::newRow("ERROR") << "ERROR" << false << "";
    QTest::newRow("choose") << QString::fromUtf8("選択") << false << "";
#endif
    // clang-format on
}

void TestPortName::devicePath()
{
    QFETCH(QString, name);
    QFETCH(bool, isPath);
    QFETCH(QString, device);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile file(dir.filePath("Setting.ini"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Ports]\r\nCOM3=/dev/ttyUSB0\r\n");
    file.close();

    QCOMPARE(isDevicePath(name), isPath);
    QCOMPARE(deviceOfPortName(name, SettingsLocation(file.fileName()).read()), device);
    if (isPath)
        QCOMPARE(portNumberOf(name), 0);
}

QTEST_GUILESS_MAIN(TestPortName)
#include "tst_portname.moc"
