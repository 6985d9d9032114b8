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
    void networkPort_data();
    void networkPort();
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

void TestPortName::networkPort_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("protocol"); // "" for no network port
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("endpoint"); // the same for every name of one server port

    // clang-format off
    QTest::newRow("raw") << "tcp://rack1.local:4001" << "tcp" << "rack1.local" << 4001 << "rack1.local:4001";
    QTest::newRow("RFC 2217") << "rfc2217://rack1.local:4001" << "rfc2217" << "rack1.local" << 4001 << "rack1.local:4001";
    QTest::newRow("host in capitals") << "rfc2217://RACK1.local:4001" << "rfc2217" << "rack1.local" << 4001 << "rack1.local:4001";
    QTest::newRow("IPv4 address") << "tcp://192.168.1.20:2217" << "tcp" << "192.168.1.20" << 2217 << "192.168.1.20:2217";
    QTest::newRow("IPv6 address") << "rfc2217://[fe80::1]:4001" << "rfc2217" << "fe80::1" << 4001 << "[fe80::1]:4001";
    QTest::newRow("highest port") << "tcp://h:65535" << "tcp" << "h" << 65535 << "h:65535";
    QTest::newRow("port 0") << "tcp://h:0" << "" << "" << 0 << "";
    QTest::newRow("port too high") << "tcp://h:65536" << "" << "" << 0 << "";
    QTest::newRow("no port") << "tcp://h" << "" << "" << 0 << "";
    QTest::newRow("empty port") << "tcp://h:" << "" << "" << 0 << "";
    QTest::newRow("no host") << "rfc2217://:4001" << "" << "" << 0 << "";
    QTest::newRow("a path") << "tcp://h:4001/ttyS0" << "" << "" << 0 << "";
    QTest::newRow("trailing slash") << "tcp://h:4001/" << "" << "" << 0 << "";
    QTest::newRow("a user") << "tcp://admin@h:4001" << "" << "" << 0 << "";
    QTest::newRow("a query") << "tcp://h:4001?baud=9600" << "" << "" << 0 << "";
    QTest::newRow("blank in the host") << "tcp://rack 1:4001" << "" << "" << 0 << "";
    QTest::newRow("scheme in capitals") << "TCP://h:4001" << "" << "" << 0 << "";
    QTest::newRow("telnet") << "telnet://h:4001" << "" << "" << 0 << "";
    QTest::newRow("no scheme") << "h:4001" << "" << "" << 0 << "";
    QTest::newRow("COM3") << "COM3" << "" << "" << 0 << "";
    // clang-format on
}

// A network port is named by its URL on every system, and stands for itself as a device;
// anything else written as a URL stands for itself too, so that its opening can say what is
// wrong with it.
void TestPortName::networkPort()
{
    QFETCH(QString, name);
    QFETCH(QString, protocol);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(QString, endpoint);

    const std::optional<NetworkPort> network = networkPortOf(name);
    QCOMPARE(network.has_value(), !protocol.isEmpty());
    QCOMPARE(isNetworkPort(name), !protocol.isEmpty());
    if (network) {
        QCOMPARE(network->protocol == NetworkPort::Protocol::Rfc2217 ? "rfc2217" : "tcp", protocol);
        QCOMPARE(network->host, host);
        QCOMPARE(int(network->port), port);
        QCOMPARE(networkEndpoint(*network), endpoint);
    }
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const SettingsLocation nowhere(dir.filePath("Setting.ini"));
    const bool url = name.contains("://");
    QCOMPARE(isUrlName(name), url);
    if (url)
        QCOMPARE(deviceOfPortName(name, nowhere.read()), name);
    QVERIFY(!isDevicePath(name));
}

QTEST_GUILESS_MAIN(TestPortName)
#include "tst_portname.moc"
