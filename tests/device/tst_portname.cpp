#include "device/PortName.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestPortName : public QObject
{
    Q_OBJECT

private slots:
    void portNumber_data();
    void portNumber();
    void device_data();
    void device();
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
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("device");

    const QByteArray mapped =
        "[Setting]\r\ncomport=COM3\r\n[Ports]\r\nCOM3=/dev/ttyUSB0\r\nCOM0=/dev/ttyUSB9\r\n";
    QTest::newRow("port in the Ports section") << mapped << 3 << "/dev/ttyUSB0";
    QTest::newRow("other port of the Ports section") << mapped << 4 << "/dev/ttyS3";
    QTest::newRow("port 0 has no device") << mapped << 0 << "";
    QTest::newRow("key in other case") << QByteArray("[ports]\ncom7 = /dev/ttyACM0\n") << 7 << "/dev/ttyACM0";
    QTest::newRow("empty value") << QByteArray("[Ports]\r\nCOM3=\r\n") << 3 << "/dev/ttyS2";
    QTest::newRow("no Ports section") << QByteArray("[Setting]\r\ncomport=COM3\r\n") << 3 << "/dev/ttyS2";
    QTest::newRow("no settings file, COM1") << QByteArray() << 1 << "/dev/ttyS0";
    QTest::newRow("no settings file, COM20") << QByteArray() << 20 << "/dev/ttyS19";
    QTest::newRow("negative port") << QByteArray() << -1 << "";
}

void TestPortName::device()
{
#ifdef Q_OS_WIN
    QSKIP("Windows names its serial devices COMn");
#endif
    QFETCH(QByteArray, settings);
    QFETCH(int, port);
    QFETCH(QString, device);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("Setting.ini");
    if (!settings.isNull()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(settings);
    }
    QCOMPARE(portDeviceName(static_cast<qint16>(port), path), device);
}

QTEST_GUILESS_MAIN(TestPortName)
#include "tst_portname.moc"
