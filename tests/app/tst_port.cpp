#include "FormFixture.h"

#include "SmallFileSystem.h"

#include "device/CommControl.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>

class TestPort : public QObject
{
    Q_OBJECT

private slots:
    void startUp_data();
    void startUp();
    void pickWhenIdle();
    void pickWhileBusy();
    void typedNameIsNoPick();
    void shutdownStores_data();
    void shutdownStores();
    void shutdownIgnoresFailedWrite();
    void shutdownOnFullDiskKeepsSettings();
    void shutdownClosesOpenPort();
};

namespace {
// The one line shutdown leaves when the port cannot be stored: the program, the file, the reason.
QRegularExpression storeFailureLine(const QString& file)
{
    return QRegularExpression("^trv5kb-programmer: [^\\n]*" +
                              QRegularExpression::escape(QDir::toNativeSeparators(file)) +
                              "[^\\n]*: [^\\n]+$");
}
} // namespace

void TestPort::startUp_data()
{
    QTest::addColumn<QByteArray>("settings"); // "(none)": no Setting.ini
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<int>("port"); // -1: not configured

    // clang-format off
    QTest::newRow("no file") << QByteArray("(none)") << "ERROR" << false << 0;
    QTest::newRow("no section") << QByteArray("[Other]\r\ncomport=COM3\r\n") << "ERROR" << false << 0;
    QTest::newRow("no key") << QByteArray("[Setting]\r\nport=COM3\r\n") << "ERROR" << false << 0;
    QTest::newRow("choose, Shift-JIS") << QByteArray("[Setting]\r\ncomport=\x91\x49\x91\xF0\r\n") << "選択" << true << -1;
    QTest::newRow("COM20") << QByteArray("[Setting]\r\ncomport=COM20\r\n") << "COM20" << false << 20;
    QTest::newRow("COM3, other case of names") << QByteArray("[SETTING]\r\nComPort = COM3 \r\n") << "COM3" << false << 3;
    QTest::newRow("com3") << QByteArray("[Setting]\r\ncomport=com3\r\n") << "com3" << false << 0;
    QTest::newRow("COM21") << QByteArray("[Setting]\r\ncomport=COM21\r\n") << "COM21" << false << 0;
    QTest::newRow("empty value") << QByteArray("[Setting]\r\ncomport=\r\n") << "" << false << 0;
    QTest::newRow("binary garbage") << QByteArray(100000, '\0') << "ERROR" << false << 0;
    // clang-format on
}

void TestPort::startUp()
{
    QFETCH(QByteArray, settings);
    QFETCH(QString, shown);
    QFETCH(bool, asked);
    QFETCH(int, port);

    StartedForm w;
    if (settings != "(none)")
        QVERIFY(writeFile(w.folder.filePath("Setting.ini"), settings));
    QVERIFY(w.start());

    QCOMPARE(w.get<QComboBox>("Comportbox")->currentText(), shown);
    auto* mscPort = w.get<CommControl>("mscPort");
    QVERIFY(!mscPort->PortOpen());
    if (asked) {
        QCOMPARE(w.boxes.shown.size(), 1);
        const MessageRequest& box = w.boxes.shown.first();
        QCOMPARE(box.title, "COMポートの選択");
        QCOMPARE(box.text, "COMポートを選択してください");
        QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(box.icon, QMessageBox::NoIcon);
        QCOMPARE(w.form->state().PortName, "");
        QVERIFY(mscPort->Settings() != "57600,n,8,1"); // left unconfigured
    } else {
        QVERIFY(w.boxes.shown.isEmpty());
        QCOMPARE(w.form->state().PortName, shown);
        QCOMPARE(mscPort->CommPort(), port);
        QCOMPARE(mscPort->Settings(), "57600,n,8,1");
        QCOMPARE(mscPort->Handshaking(), 0);
        QCOMPARE(mscPort->RTSEnable(), false);
        QCOMPARE(mscPort->SThreshold(), 1);
        QCOMPARE(mscPort->RThreshold(), 1);
    }
}

void TestPort::pickWhenIdle()
{
    StartedForm w;
    QVERIFY(w.start());
    w.failTransfer();
    w.chooseItem("Comportbox", "COM5");
    QCOMPARE(w.lamp(), 0xFFFFFFu);
    QCOMPARE(w.caption(), "");
    QCOMPARE(w.form->state().PortName, "COM5");
    auto* mscPort = w.get<CommControl>("mscPort");
    QCOMPARE(mscPort->CommPort(), 5);
    QCOMPARE(mscPort->Settings(), "57600,n,8,1");
    QVERIFY(!mscPort->PortOpen());
}

void TestPort::pickWhileBusy()
{
    BusyForm w;
    if (!w.line.isValid())
        QSKIP("needs a pseudo-terminal");
    const QByteArray settings = readFile(w.folder.filePath("Setting.ini"));
    QVERIFY(w.start());
    QVERIFY(w.startTransfer());
    w.chooseItem("Comportbox", "COM5");
    QCOMPARE(w.lamp(), 0xFFC080u);
    QCOMPARE(w.caption(), "処理中");
    QCOMPARE(w.form->state().PortName, "COM3");
    auto* mscPort = w.get<CommControl>("mscPort");
    QCOMPARE(mscPort->CommPort(), 3);
    QVERIFY(mscPort->PortOpen()); // the transfer goes on over its port
    // The box goes back to the port in use, so shutdown does not store the refused pick.
    QCOMPARE(w.get<QComboBox>("Comportbox")->currentText(), "COM3");
    w.form->close();
    QCOMPARE(readFile(w.folder.filePath("Setting.ini")), settings);
}

// Text typed into the box is no pick, even when it names a port; shutdown
// still stores whatever the box shows.
void TestPort::typedNameIsNoPick()
{
    StartedForm w;
    QVERIFY(writeFile(w.folder.filePath("Setting.ini"), "[Setting]\r\ncomport=COM2\r\n"));
    QVERIFY(w.start());
    auto* box = w.get<QComboBox>("Comportbox");
    box->lineEdit()->selectAll();
    QTest::keyClicks(box->lineEdit(), "com7");
    QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    QCOMPARE(w.form->state().PortName, "COM2");
    QCOMPARE(w.get<CommControl>("mscPort")->CommPort(), 2);
    w.form->close();
    QCOMPARE(readFile(w.folder.filePath("Setting.ini")), QByteArray("[Setting]\r\ncomport=com7\r\n"));
}

void TestPort::shutdownStores_data()
{
    QTest::addColumn<QByteArray>("before"); // "(none)": no Setting.ini
    QTest::addColumn<QString>("pick");      // "": no pick
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("first run, no pick")
        << QByteArray("(none)") << "" << QByteArray("[Setting]\r\ncomport=ERROR\r\n");
    QTest::newRow("first run, COM3") << QByteArray("(none)") << "COM3"
                                     << QByteArray("[Setting]\r\ncomport=COM3\r\n");
    QTest::newRow("choose kept in Shift-JIS") << QByteArray("[Setting]\r\ncomport=\x91\x49\x91\xF0\r\n") << ""
                                              << QByteArray("[Setting]\r\ncomport=\x91\x49\x91\xF0\r\n");
    QTest::newRow("rest of the file kept")
        << QByteArray("; ports\r\n[Ports]\r\nCOM3=/dev/ttyUSB0\r\n[Setting]\r\ncomport=COM1\r\n") << "COM12"
        << QByteArray("; ports\r\n[Ports]\r\nCOM3=/dev/ttyUSB0\r\n[Setting]\r\ncomport=COM12\r\n");
}

void TestPort::shutdownStores()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, pick);
    QFETCH(QByteArray, after);

    StartedForm w;
    const QString path = w.folder.filePath("Setting.ini");
    if (before != "(none)")
        QVERIFY(writeFile(path, before));
    QVERIFY(w.start());
    if (!pick.isEmpty())
        w.chooseItem("Comportbox", pick);
    w.form->close();
    QCOMPARE(readFile(path), after);
    QCOMPARE(w.form->state().PortName, pick.isEmpty() ? w.get<QComboBox>("Comportbox")->currentText() : pick);
}

void TestPort::shutdownIgnoresFailedWrite()
{
    StartedForm w;
    // Neither settings file can be written: a folder where the program's should be, and a
    // plain file where the user's configuration folder should be. Reading finds nothing.
    QVERIFY(QDir(w.folder.path()).mkdir("Setting.ini"));
    QVERIFY(writeFile(w.folder.configFolder(), "not a folder"));
    QVERIFY(w.start());
    QCOMPARE(w.get<QComboBox>("Comportbox")->currentText(), "ERROR");

    // The window closes all the same and asks nothing; one line on standard error names the
    // file and the reason.
    QTest::failOnWarning(QRegularExpression("."));
    QTest::ignoreMessage(QtWarningMsg, storeFailureLine(w.folder.configFolder() + "/Setting.ini"));
    QVERIFY(w.form->close());
    QVERIFY(w.boxes.shown.isEmpty());
    QVERIFY(QFileInfo(w.folder.filePath("Setting.ini")).isDir());
}

void TestPort::shutdownOnFullDiskKeepsSettings()
{
    SmallFileSystem disk("size=256k");
    if (!disk.isMounted())
        QSKIP(qPrintable(disk.whyNotMounted()));
    StartedForm w(disk.path());
    const QByteArray before = "[Setting]\r\ncomport=COM3\r\n[Ports]\r\nCOM4=/dev/ttyUSB0\r\n";
    QVERIFY(writeFile(w.folder.filePath("Setting.ini"), before));
    QVERIFY(w.start());
    w.chooseItem("Comportbox", "COM4");
    QVERIFY(disk.fillBlocks());
    QTest::ignoreMessage(QtWarningMsg, storeFailureLine(w.folder.filePath("Setting.ini")));
    QVERIFY(w.form->close());
    QVERIFY(w.boxes.shown.isEmpty());
    QCOMPARE(readFile(w.folder.filePath("Setting.ini")), before);
}

// Closing the window while a transfer runs closes its port: the far end sees
// nothing more, and the line can be opened again.
void TestPort::shutdownClosesOpenPort()
{
    BusyForm w;
    if (!w.line.isValid())
        QSKIP("needs a pseudo-terminal");
    QVERIFY(w.start());
    QVERIFY(w.startTransfer());
    auto* mscPort = w.get<CommControl>("mscPort");
    QVERIFY(mscPort->PortOpen());
    w.form->close();
    QVERIFY(!mscPort->PortOpen());
    QVERIFY(w.line.send("e"));
    QVERIFY(w.line.send("\r"));
    QCoreApplication::processEvents();
    QCOMPARE(w.line.take(), QByteArray()); // no step count followed the acknowledgement
}

QTEST_MAIN(TestPort)
#include "tst_port.moc"
