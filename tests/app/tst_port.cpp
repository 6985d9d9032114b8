#include "FormFixture.h"

#include "LockingProgram.h"
#include "PseudoTerminal.h"
#include "SmallFileSystem.h"

#include "serial/PortName.h"
#include "serial/SerialDevices.h"
#include "serial/SerialLine.h"
#include "transfer/ControllerTransfer.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSerialPort>
#include <QStringEncoder>
#include <QTest>

class TestPort : public QObject
{
    Q_OBJECT

private slots:
    void startUp_data();
    void startUp();
    void pickWhenIdle();
    void pickWhileBusy();
    void typedNameIsUsed();
    void shutdownStores_data();
    void shutdownStores();
    void shutdownIgnoresFailedWrite();
    void shutdownOnFullDiskKeepsSettings();
    void shutdownKeepsLinkLoop();
    void shutdownAfterProgramFolderDeleted_data();
    void shutdownAfterProgramFolderDeleted();
    void shutdownClosesOpenPort();
    void devicesListedAfterCom20();
    void windowsPortsListed();
    void devicesGatheredAfterFirstPaint();
    void storedDeviceNotPresent();
    void storedNetworkPortListed();
    void portToolTip_data();
    void portToolTip();
    void portBoxShowsStart_data();
    void portBoxShowsStart();
    void openFailureListsDevices_data();
    void openFailureListsDevices();
    void portLockedByAnotherProgram_data();
    void portLockedByAnotherProgram();
    void utf16SettingsUnchanged();
    void utf16SettingsPickKeptForUser();
};

namespace {
// The one line shutdown leaves when the port cannot be stored: the file, then the reason.
QRegularExpression storeFailureLine(const QString& file)
{
    return QRegularExpression("^[^\\n]*" + QRegularExpression::escape(QDir::toNativeSeparators(file)) +
                              "[^\\n]*: [^\\n]+$");
}
// What a user does: opens the list, finds the item in it as it is now and clicks it.
void pickFromOpenedList(QComboBox* box, const QString& itemText)
{
    box->showPopup();
    QAbstractItemView* view = box->view();
    const int row = box->findText(itemText);
    QVERIFY2(row >= 0, qPrintable(itemText));
    const QModelIndex index = view->model()->index(row, 0);
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
    QTRY_VERIFY(!view->isVisible());
}

QStringList itemsOf(const QComboBox* box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

// The port the window's transfers go to.
QString portInUse(const StartedForm& w)
{
    return w.form->findChild<ControllerTransfer*>()->portName();
}

QStringList comItems()
{
    QStringList items;
    for (int n = 1; n <= 20; ++n)
        items << QStringLiteral("COM%1").arg(n);
    return items;
}

#ifdef Q_OS_WIN
// A port the system lists after the list's twenty, as Windows names it.
const QString ListedDevice = "COM23";
// A port name that stands for no device of this system, and the reason's name of it.
const QString MissingPort = "COM256";
const QString MissingPortLabel = "COM256";
#else
const QString ListedDevice = "/dev/ttyUSB3";
const QString MissingPort = "COM3";
const QString MissingPortLabel = "COM3 (/dev/no-such-tty)";
#endif
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
#ifdef Q_OS_WIN
    // Windows numbers its ports beyond the list's twenty.
    QTest::newRow("COM21") << QByteArray("[Setting]\r\ncomport=COM21\r\n") << "COM21" << false << 21;
#else
    QTest::newRow("COM21") << QByteArray("[Setting]\r\ncomport=COM21\r\n") << "COM21" << false << 0;
#endif
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

    FakeLineForm w;
    QFile::remove(w.folder.filePath("Setting.ini"));
    if (settings != "(none)")
        QVERIFY(writeFile(w.folder.filePath("Setting.ini"), settings));
    QVERIFY(w.start());

    QCOMPARE(w.get<QComboBox>("Comportbox")->currentText(), shown);
    QVERIFY(!w.get<SerialLine>("mscPort")->isOpen());
    if (asked) {
        QCOMPARE(w.boxes.shown.size(), 1);
        const MessageRequest& box = w.boxes.shown.first();
        QCOMPARE(box.title, "COMポートの選択");
        QCOMPARE(box.text, "COMポートを選択してください");
        QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(box.icon, QMessageBox::NoIcon);
        QCOMPARE(w.form->state().PortName, "");
        QCOMPARE(portInUse(w), ""); // left unconfigured
    } else {
        QVERIFY(w.boxes.shown.isEmpty());
        QCOMPARE(w.form->state().PortName, shown);
        QCOMPARE(portInUse(w), shown);
    }
    // A transfer goes to the device of that port; a name that is no port opens nothing.
    w.click("Command1");
#ifdef Q_OS_WIN
    const QString device = QStringLiteral("COM%1").arg(port);
#else
    const QString device = QStringLiteral("/dev/ttyS%1").arg(port - 1);
#endif
    QCOMPARE(w.line.openings, port > 0 ? QStringList{device} : QStringList());
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
    QCOMPARE(portInUse(w), "COM5");
    QVERIFY(!w.get<SerialLine>("mscPort")->isOpen());
}

void TestPort::pickWhileBusy()
{
    BusyForm w;
    const QByteArray settings = readFile(w.folder.filePath("Setting.ini"));
    QVERIFY(w.start());
    QVERIFY(w.startTransfer());
    w.chooseItem("Comportbox", "COM5");
    QCOMPARE(w.lamp(), 0xFFC080u);
    QCOMPARE(w.caption(), "処理中");
    QCOMPARE(w.form->state().PortName, "COM3");
    QCOMPARE(portInUse(w), "COM3");
    QVERIFY(w.get<SerialLine>("mscPort")->isOpen()); // the transfer goes on over its port
    // The box goes back to the port in use, so shutdown does not store the refused pick.
    QCOMPARE(w.get<QComboBox>("Comportbox")->currentText(), "COM3");
    w.form->close();
    QCOMPARE(readFile(w.folder.filePath("Setting.ini")), settings);
}

// A port typed into the box is the port the transfer uses and shutdown stores.
void TestPort::typedNameIsUsed()
{
    StartedForm w;
    QVERIFY(writeFile(w.folder.filePath("Setting.ini"),
                      "[Setting]\r\ncomport=COM2\r\n[Ports]\r\nCOM7=/dev/no-such-tty7\r\n"));
    QVERIFY(w.start());
    w.form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.form.get()));
    auto* box = w.get<QComboBox>("Comportbox");
    box->setFocus();
    QTest::keyClick(box->lineEdit(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box->lineEdit(), "COM7");
    QTest::keyClick(box->lineEdit(), Qt::Key_Tab);
    w.click("Command1");
    QCOMPARE(w.caption(), "失敗");
    const QString reason = w.get<QLabel>("disp1")->toolTip();
#ifdef Q_OS_WIN
    // Windows' COMn is the port itself.
    QVERIFY2(reason.startsWith("ポート「COM7」を開けません（COM7: "), qPrintable(reason));
#else
    QVERIFY2(reason.startsWith("ポート「COM7」を開けません（COM7 (/dev/no-such-tty7)"), qPrintable(reason));
#endif
    QCOMPARE(box->currentText(), "COM7");
    w.form->close();
    QCOMPARE(readFile(w.folder.filePath("Setting.ini")),
             QByteArray("[Setting]\r\ncomport=COM7\r\n[Ports]\r\nCOM7=/dev/no-such-tty7\r\n"));
}

void TestPort::shutdownStores_data()
{
    QTest::addColumn<QByteArray>("before"); // "(none)": no Setting.ini
    QTest::addColumn<QString>("pick");      // "": no pick
    QTest::addColumn<QByteArray>("after");

    // clang-format off
    QTest::newRow("first run, no pick") << QByteArray("(none)") << "" << QByteArray("[Setting]\r\ncomport=ERROR\r\n");
    QTest::newRow("first run, COM3") << QByteArray("(none)") << "COM3" << QByteArray("[Setting]\r\ncomport=COM3\r\n");
    QTest::newRow("choose kept in Shift-JIS") << QByteArray("[Setting]\r\ncomport=\x91\x49\x91\xF0\r\n") << "" << QByteArray("[Setting]\r\ncomport=\x91\x49\x91\xF0\r\n");
    QTest::newRow("rest of the file kept") << QByteArray("; ports\r\n[Ports]\r\nCOM3=/dev/ttyUSB0\r\n[Setting]\r\ncomport=COM1\r\n") << "COM12" << QByteArray("; ports\r\n[Ports]\r\nCOM3=/dev/ttyUSB0\r\n[Setting]\r\ncomport=COM12\r\n");
    // clang-format on
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

// A Setting.ini that is a link in a loop stays that link: the port is not stored.
void TestPort::shutdownKeepsLinkLoop()
{
#ifdef Q_OS_WIN
    QSKIP(NoSymbolicLinksOnWindows);
#endif
    StartedForm w;
    const QString path = w.folder.filePath("Setting.ini");
    QVERIFY(QFile::link("loop2", path));
    QVERIFY(QFile::link("Setting.ini", w.folder.filePath("loop2")));
    QVERIFY(w.start());
    w.chooseItem("Comportbox", "COM4");
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^[^\\n]*" + QRegularExpression::escape(path) +
                                                          "[^\\n]*: リンク先をたどれません$"));
    QVERIFY(w.form->close());
    QVERIFY(w.boxes.shown.isEmpty());
    QCOMPARE(QFileInfo(path).symLinkTarget(), w.folder.filePath("loop2"));
    QCOMPARE(QFileInfo(w.folder.filePath("loop2")).symLinkTarget(), path);
}

void TestPort::shutdownAfterProgramFolderDeleted_data()
{
    QTest::addColumn<QByteArray>("before"); // Setting.ini beside the program; null: none
    QTest::addColumn<QString>("pick");      // "": no pick
    QTest::addColumn<QByteArray>("users");  // the user's Setting.ini at the end; null: no file, no folder

    const QByteArray none;
    // clang-format off
    QTest::newRow("no port picked") << none << "" << none;
    QTest::newRow("COM5 picked") << none << "COM5" << QByteArray("[Setting]\r\ncomport=COM5\r\n");
    QTest::newRow("the port of the file deleted") << QByteArray("[Setting]\r\ncomport=COM3\r\n") << "" << QByteArray("[Setting]\r\ncomport=COM3\r\n");
    // clang-format on
}

// A program folder deleted while the window runs is not made again at exit: the port goes
// into the user's file, as for a program folder that cannot be written, and without a port
// nothing is written at all.
void TestPort::shutdownAfterProgramFolderDeleted()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, pick);
    QFETCH(QByteArray, users);

    StartedForm w;
    if (!before.isNull())
        QVERIFY(writeFile(w.folder.filePath("Setting.ini"), before));
    QVERIFY(w.start());
    if (!pick.isEmpty())
        w.chooseItem("Comportbox", pick);
    QVERIFY(QDir(w.folder.path()).removeRecursively());
    QTest::failOnWarning(QRegularExpression("trv5kb"));
    QVERIFY(w.form->close());
    QVERIFY(w.boxes.shown.isEmpty());
    QVERIFY(!QFileInfo::exists(w.folder.path()));
    QCOMPARE(readFile(w.folder.configFolder() + "/Setting.ini"), users);
    QCOMPARE(QFileInfo::exists(w.folder.configFolder()), !users.isNull());
}

// Closing the window while a transfer runs closes its port: what the far end
// sends then goes unheard and unanswered.
void TestPort::shutdownClosesOpenPort()
{
    BusyForm w;
    QVERIFY(w.start());
    QVERIFY(w.startTransfer());
    auto* mscPort = w.get<SerialLine>("mscPort");
    QVERIFY(mscPort->isOpen());
    w.boxes.answers = {QMessageBox::Yes}; // the user agrees to leave the controller half-written
    QVERIFY(w.form->close());
    QVERIFY(!mscPort->isOpen());
    w.line.send("e\r");
    QCOMPARE(w.line.take(), QByteArray()); // no step count followed the acknowledgement
}

// The serial devices present follow COM20, as they are each time the list
// opens; picking one configures that device, and the next start comes back to it.
void TestPort::devicesListedAfterCom20()
{
#ifndef Q_OS_LINUX
    QSKIP("only Linux lists devices after COM20");
#else
    PseudoTerminal adapter;
    QVERIFY(adapter.isValid());
    QList<SerialDevice> present{{"/dev/ttyACM0", "", "", ""}};
    StartedForm w;
    QVERIFY(writeFile(w.folder.filePath("Setting.ini"),
                      "[Setting]\r\ncomport=COM2\r\n[Ports]\r\nCOM2=/dev/no-such-tty\r\n"));
    w.form->setSerialDeviceList([&] { return present; });
    QVERIFY(w.start());
    auto* box = w.get<QComboBox>("Comportbox");
    QTRY_COMPARE(itemsOf(box), comItems() << "/dev/ttyACM0"); // once the window has been painted
    QCOMPARE(box->itemData(20, Qt::ToolTipRole).toString(), "（システムからの説明はありません）");
    // The open list is wider than the narrow box, so that no item is cut short.
    box->showPopup();
    QVERIFY(box->view()->viewport()->width() >= box->view()->sizeHintForColumn(0));
    QVERIFY(box->view()->width() > box->width());
    box->hidePopup();

    // Plugged in since: the list opened now shows it, with what the system says of it.
    present = {{adapter.device(), "FT232R USB UART", "FTDI", "A50285BI"}};
    w.failTransfer();
    pickFromOpenedList(box, adapter.device());
    QCOMPARE(itemsOf(box), comItems() << adapter.device());
    QCOMPARE(box->itemData(20, Qt::ToolTipRole).toString(),
             "説明：FT232R USB UART\nメーカー：FTDI\nシリアル番号：A50285BI");
    QCOMPARE(box->toolTip(), adapter.device() + "（FT232R USB UART）");
    // The pick of a port, as for COMn: the status resets and the port is configured, not opened.
    QCOMPARE(w.lamp(), 0xFFFFFFu);
    QCOMPARE(w.caption(), "");
    QCOMPARE(w.form->state().PortName, adapter.device());
    QCOMPARE(portInUse(w), adapter.device());
    QVERIFY(!w.get<SerialLine>("mscPort")->isOpen());
    // The transfer goes to that device.
    w.click("Command1");
    QCOMPARE(adapter.receive(2), QByteArray("E\r"));

    w.boxes.answers = {QMessageBox::Yes}; // closing during the transfer
    QVERIFY(w.form->close());
    QCOMPARE(readFile(w.folder.filePath("Setting.ini")),
             "[Setting]\r\ncomport=" + adapter.device().toLatin1() +
                 "\r\n[Ports]\r\nCOM2=/dev/no-such-tty\r\n");

    StartedForm again(w.folder.path());
    again.form->setSerialDeviceList([&] { return present; });
    QVERIFY(again.start());
    QVERIFY(again.boxes.shown.isEmpty());
    auto* restored = again.get<QComboBox>("Comportbox");
    QCOMPARE(restored->currentText(), adapter.device());
    QTRY_COMPARE(restored->currentIndex(), 20); // its list item, once the window has been painted
    QCOMPARE(again.form->state().PortName, adapter.device());
    QCOMPARE(portInUse(again), adapter.device());
    again.click("Command1");
    QCOMPARE(adapter.receive(2), QByteArray("E\r"));
#endif
}

// On Windows the list offers the ports the system has: each of COM1 to COM20 says what the
// system says of it, and a port above COM20 (as Windows often numbers a USB adapter) follows
// COM20; picking it configures that port.
void TestPort::windowsPortsListed()
{
#ifndef Q_OS_WIN
    QSKIP("Linux lists its devices by their paths (devicesListedAfterCom20)");
#else
    const QList<SerialDevice> present{{"COM4", "USB Serial Port", "FTDI", "A50285BI"},
                                      {"COM23", "Prolific USB-to-Serial Comm Port", "Prolific", ""}};
    FakeLineForm w;
    w.form->setSerialDeviceList([&] { return present; });
    QVERIFY(w.start());
    auto* box = w.get<QComboBox>("Comportbox");
    QTRY_COMPARE(itemsOf(box), comItems() << "COM23"); // once the window has been painted
    QCOMPARE(box->itemData(3, Qt::ToolTipRole).toString(), "COM4（USB Serial Port）");
    QCOMPARE(box->itemData(4, Qt::ToolTipRole).toString(), "COM5（接続されていません）");
    QCOMPARE(box->itemData(20, Qt::ToolTipRole).toString(),
             "説明：Prolific USB-to-Serial Comm Port\nメーカー：Prolific");

    pickFromOpenedList(box, "COM23");
    QCOMPARE(box->toolTip(), "COM23（Prolific USB-to-Serial Comm Port）");
    QCOMPARE(portInUse(w), "COM23");
    w.click("Command1");
    QCOMPARE(w.line.openings, QStringList{"COM23"});
    w.boxes.answers = {QMessageBox::Yes}; // closing during the transfer
    QVERIFY(w.form->close());
    QCOMPARE(readFile(w.folder.filePath("Setting.ini")),
             "[Setting]\r\ncomport=COM23\r\n[Ports]\r\nCOM3=/dev/ttyFAKE0\r\n");
#endif
}

// A stored device that is not there at start-up is still the port: the box
// shows it, and its tool tip says it is missing.
void TestPort::storedDeviceNotPresent()
{
#ifndef Q_OS_LINUX
    QSKIP("device paths are Linux port names");
#else
    StartedForm w;
    QVERIFY(writeFile(w.folder.filePath("Setting.ini"), "[Setting]\r\ncomport=/dev/ttyUSB7\r\n"));
    w.form->setSerialDeviceList([] { return QList<SerialDevice>{}; });
    QVERIFY(w.start());
    auto* box = w.get<QComboBox>("Comportbox");
    QCOMPARE(itemsOf(box), comItems());
    QCOMPARE(box->currentText(), "/dev/ttyUSB7");
    QCOMPARE(box->toolTip(), "/dev/ttyUSB7（接続されていません）");
    QCOMPARE(portInUse(w), "/dev/ttyUSB7");
    w.click("Command1");
    QVERIFY2(
        w.get<QLabel>("disp1")->toolTip().startsWith("ポート「/dev/ttyUSB7」を開けません（/dev/ttyUSB7: "),
        qPrintable(w.get<QLabel>("disp1")->toolTip()));
#endif
}

// A network port stored as the window's port is listed after the devices, so that a pick of
// another port can be taken back; the transfer goes to the port's URL.
void TestPort::storedNetworkPortListed()
{
    const QString url = "rfc2217://rack1.local:4001";
    FakeLineForm w;
    QVERIFY(writeFile(w.folder.filePath("Setting.ini"), "[Setting]\r\ncomport=" + url.toLatin1() + "\r\n"));
    w.form->setSerialDeviceList([] { return QList<SerialDevice>{}; });
    QVERIFY(w.start());
    auto* box = w.get<QComboBox>("Comportbox");
    QCOMPARE(portInUse(w), url);
    QTRY_COMPARE(itemsOf(box), comItems() << url); // once the window has been painted
    QCOMPARE(box->currentIndex(), 20);

    w.chooseItem("Comportbox", "COM3");
    QCOMPARE(portInUse(w), "COM3");
    pickFromOpenedList(box, url);
    QCOMPARE(portInUse(w), url);
    w.click("Command1");
    QCOMPARE(w.line.openings, QStringList{url});
}

void TestPort::portToolTip_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("toolTip");

    const QByteArray mapped =
        "[Ports]\r\nCOM3=/dev/ttyUSB0\r\nCOM4=/dev/null\r\nCOM5=/dev/ttyUSB9\r\n"
        "COM6=/dev/ttyACM0\r\nCOM7=rfc2217://rack1.local:4001\r\nCOM8=tcp://rack1.local\r\n"
        "[Setting]\r\ncomport=";
    // clang-format off
    QTest::newRow("COM3, adapter present") << mapped + "COM3\r\n" << "COM3" << "COM3 → /dev/ttyUSB0（FT232R USB UART）";
    QTest::newRow("COM6, only the maker known") << mapped + "COM6\r\n" << "COM6" << "COM6 → /dev/ttyACM0（Arduino）";
    QTest::newRow("COM5, adapter not present") << mapped + "COM5\r\n" << "COM5" << "COM5 → /dev/ttyUSB9（接続されていません）";
    // The system does not list every device that can be opened (pseudo-terminals, for one).
    QTest::newRow("COM4, a device the system does not list") << mapped + "COM4\r\n" << "COM4" << "COM4 → /dev/null";
    QTest::newRow("device path") << mapped + "/dev/ttyUSB0\r\n" << "/dev/ttyUSB0" << "/dev/ttyUSB0（FT232R USB UART）";
    QTest::newRow("COM7, a network port") << mapped + "COM7\r\n" << "COM7" << "COM7 → rfc2217://rack1.local:4001（ネットワークのポート、RFC 2217：回線の設定もサーバーに送ります）";
    QTest::newRow("network port") << mapped + "tcp://10.0.0.5:4001\r\n" << "tcp://10.0.0.5:4001" << "tcp://10.0.0.5:4001（ネットワークのポート、TCP：回線の設定はサーバーのとおり）";
    QTest::newRow("COM8, no network port") << mapped + "COM8\r\n" << "COM8" << "COM8 → 「tcp://rack1.local」はネットワークポートの名前ではありません（tcp://ホスト:ポート番号、または rfc2217://ホスト:ポート番号。ポート番号は 1～65535）";
    QTest::newRow("no file") << QByteArray() << "ERROR" << "「ERROR」はポートの名前ではありません";
    QTest::newRow("com3") << mapped + "com3\r\n" << "com3" << "「com3」はポートの名前ではありません";
    QTest::newRow("choose") << QByteArray("[Setting]\r\ncomport=\x91\x49\x91\xF0\r\n") << "選択" << "ポートが選ばれていません";
    // clang-format on
}

// Looking at the system's devices costs more than the first picture: it waits until the window
// has been painted, and the settings file is read once at start-up.
void TestPort::devicesGatheredAfterFirstPaint()
{
    StartedForm w;
    QVERIFY(writeFile(w.folder.filePath("Setting.ini"),
                      "[Setting]\r\ncomport=" + ListedDevice.toLatin1() + "\r\n"));
    int gathered = 0;
    bool paintedBefore = false;
    struct FirstPaint : QObject
    {
        bool painted = false;
        bool eventFilter(QObject*, QEvent* event) override
        {
            painted = painted || event->type() == QEvent::Paint;
            return false;
        }
    } firstPaint;
    w.form->installEventFilter(&firstPaint);
    w.form->setSerialDeviceList([&] {
        paintedBefore = firstPaint.painted;
        ++gathered;
        return QList<SerialDevice>{{ListedDevice, "FT232R USB UART", "FTDI", ""}};
    });
    QVERIFY(w.form->Form_Load());
    QCOMPARE(gathered, 0);
    QCOMPARE(w.get<QComboBox>("Comportbox")->currentText(), ListedDevice);
    w.form->show();
    QTRY_COMPARE(gathered, 1);
    QVERIFY(paintedBefore);
    // The stored device, present, is then its list item.
    auto* box = w.get<QComboBox>("Comportbox");
    QCOMPARE(box->currentIndex(), 20);
    QCOMPARE(box->toolTip(), ListedDevice + "（FT232R USB UART）");
}

void TestPort::portToolTip()
{
#ifndef Q_OS_LINUX
    QSKIP("the devices behind COMn are Linux's");
#else
    QFETCH(QByteArray, settings);
    QFETCH(QString, shown);
    QFETCH(QString, toolTip);

    StartedForm w;
    if (!settings.isEmpty())
        QVERIFY(writeFile(w.folder.filePath("Setting.ini"), settings));
    w.form->setSerialDeviceList([] {
        return QList<SerialDevice>{{"/dev/ttyACM0", "", "Arduino", ""},
                                   {"/dev/ttyUSB0", "FT232R USB UART", "FTDI", ""}};
    });
    QVERIFY(w.start());
    auto* box = w.get<QComboBox>("Comportbox");
    QCOMPARE(box->currentText(), shown);
    // The COMn items say the same of themselves, once the window has been painted.
    if (portNumberOf(shown) > 0)
        QTRY_COMPARE(box->itemData(portNumberOf(shown) - 1, Qt::ToolTipRole).toString(), toolTip);
    QTRY_COMPARE(box->toolTip(), toolTip);

    // It follows the value shown.
    QVERIFY(writeFile(w.folder.filePath("Setting.ini"), "[Ports]\r\nCOM12=/dev/ttyUSB0\r\n"));
    w.chooseItem("Comportbox", "COM12");
    QCOMPARE(box->toolTip(), "COM12 → /dev/ttyUSB0（FT232R USB UART）");
#endif
}

void TestPort::portBoxShowsStart_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<bool>("whole"); // fits the design's narrow box
    QTest::newRow("COM10") << "COM10" << true;
    QTest::newRow("COM20") << "COM20" << true;
    QTest::newRow("COM3") << "COM3" << true;
    QTest::newRow("device path") << "/dev/ttyS0" << false;
    QTest::newRow("stable name") << "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0" << false;
}

// The box shows the start of the port's name, focused or not and after a restart; a name too
// long for it is named whole by the tool tip.
void TestPort::portBoxShowsStart()
{
    QFETCH(QString, port);
    QFETCH(bool, whole);
    // Where the offscreen platform has no fonts (Windows' under Wine), text has no real widths.
    if (QFontDatabase::families().isEmpty())
        QSKIP("no fonts on this platform");
    StartedForm w;
    QVERIFY(writeFile(w.folder.filePath("Setting.ini"), "[Setting]\r\ncomport=" + port.toUtf8() + "\r\n"));
    for (int run = 0; run < 2; ++run) {
        QVERIFY(run == 0 ? w.start() : w.restart());
        w.form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.form.get()));
        auto* box = w.get<QComboBox>("Comportbox");
        QLineEdit* field = box->lineEdit();
        QCOMPARE(field->text(), port);
        QVERIFY2(box->toolTip().contains(port), qPrintable(box->toolTip()));
        const int middle = field->height() / 2;
        for (bool focused : {false, true}) {
            if (focused) {
                w.get<QWidget>("Command5")->setFocus();
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab); // Tab into the box
                QVERIFY(box->hasFocus());
            }
            QCOMPARE(field->cursorPositionAt(QPoint(1, middle)), 0);
            if (whole)
                QCOMPARE(field->cursorPositionAt(QPoint(field->width() - 1, middle)), port.size());
        }
        w.get<QWidget>("Command1")->setFocus();
        QCOMPARE(field->cursorPositionAt(QPoint(1, middle)), 0);
        QVERIFY(w.form->close());
    }
}

void TestPort::openFailureListsDevices_data()
{
    QTest::addColumn<QList<SerialDevice>>("present");
    QTest::addColumn<QString>("listed");

    // clang-format off
#ifdef Q_OS_WIN
    QTest::newRow("two adapters") << QList<SerialDevice>{{"COM1", "", "", ""}, {"COM23", "USB Serial Port", "FTDI", "A1"}} << "接続されているシリアルデバイス：COM1、COM23（USB Serial Port）";
#else
    QTest::newRow("two adapters") << QList<SerialDevice>{{"/dev/ttyACM0", "", "", ""}, {"/dev/ttyUSB0", "FT232R USB UART", "FTDI", "A1"}} << "接続されているシリアルデバイス：/dev/ttyACM0、/dev/ttyUSB0（FT232R USB UART）";
#endif
    QTest::newRow("none") << QList<SerialDevice>{} << "接続されているシリアルデバイスはありません。";
    // clang-format on
}

// When the port cannot be opened, the reason also says which serial devices are there.
void TestPort::openFailureListsDevices()
{
    QFETCH(QList<SerialDevice>, present);
    QFETCH(QString, listed);

    StartedForm w;
    QVERIFY(writeFile(w.folder.filePath("Setting.ini"), "[Setting]\r\ncomport=" + MissingPort.toLatin1() +
                                                            "\r\n[Ports]\r\nCOM3=/dev/no-such-tty\r\n"));
    w.form->setSerialDeviceList([&] { return present; });
    QVERIFY(w.start());
    w.click("Command1");
    QCOMPARE(w.caption(), "失敗");
    const QStringList reason = w.get<QLabel>("disp1")->toolTip().split('\n');
    QCOMPARE(reason.size(), 2);
    QVERIFY2(reason[0].startsWith("ポート「" + MissingPort + "」を開けません（" + MissingPortLabel + ": "),
             qPrintable(reason[0]));
    QCOMPARE(reason[1], listed);
}

void TestPort::portLockedByAnotherProgram_data()
{
    QTest::addColumn<QString>("holder");
    QTest::newRow("a Qt program's port") << "tst_port";
    // The oldest format, which QSerialPort takes for stale and removes while its process runs.
    QTest::newRow("ten characters by another program") << "cat";
}

// A port another program holds names that program's lock file and process, so that a lock
// left behind can be found and removed.
void TestPort::portLockedByAnotherProgram()
{
    QFETCH(QString, holder);
    if (!QFileInfo("/var/lock").isWritable())
        QSKIP("the lock files are not in /var/lock here");
    PseudoTerminal line;
    if (!line.isValid())
        QSKIP("no pseudo-terminals here: a Windows port held by another program is tried under Wine from "
              "outside");
    const QString lockFile = "/var/lock/LCK.." + line.device().mid(5).replace('/', '_');
    QSerialPort port(line.device());
    LockingProgram other;
    if (holder == "tst_port") {
        QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
    } else {
        QVERIFY(other.lock(lockFile, "%10\n"));
    }
    const QByteArray held = readFile(lockFile);
    StartedForm w;
    QVERIFY(writeFile(w.folder.filePath("Setting.ini"), settingsWithCom3(line.device())));
    QVERIFY(w.start());
    w.click("Command1");
    QCOMPARE(w.caption(), "失敗");
    const QString reason = w.get<QLabel>("disp1")->toolTip().section('\n', 0, 0);
    const QRegularExpressionMatch match =
        QRegularExpression("^ポート「COM3」を開けません（COM3 \\(" +
                           QRegularExpression::escape(line.device()) +
                           "\\): ポートは他のプログラムが使用中です（" + holder +
                           "、プロセス番号 (\\d+)、ロックファイル「([^」]+)」））。$")
            .match(reason);
    QVERIFY2(match.hasMatch(), qPrintable(reason));
    QCOMPARE(match.captured(1).toLongLong(),
             holder == "tst_port" ? QCoreApplication::applicationPid() : other.pid());
    QCOMPARE(match.captured(2), lockFile);
    QCOMPARE(readFile(lockFile), held);

    // Once the other program lets go, the same click reaches the line.
    port.close();
    other.end();
    w.click("Command1");
    QCOMPARE(w.caption(), "処理中");
    QCOMPARE(line.receive(2), QByteArray("E\r"));
}

namespace {
// "[Setting]\r\ncomport=COM3\r\n" as a text editor saves it as "Unicode".
QByteArray utf16Settings()
{
    QStringEncoder utf16(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    return utf16.encode(QStringLiteral("[Setting]\r\ncomport=COM3\r\n"));
}

// A window over `folder` and the same user's folders each time.
bool startOver(StartedForm& w, const ProgramFolder& folder)
{
    w.form = std::make_unique<Form1>(folder.path(), folder.configFolder(), folder.dataFolder(), w.boxes);
    return w.start();
}
} // namespace

// A settings file beside the program in UTF-16 is read but never written: closing without a
// change leaves everything as it was and says nothing.
void TestPort::utf16SettingsUnchanged()
{
    const QByteArray beside = utf16Settings();
    QCOMPARE(beside.left(6), QByteArray("\xFF\xFE[\0S\0", 6));
    ProgramFolder folder;
    QVERIFY(writeFile(folder.filePath("Setting.ini"), beside));
    QTest::failOnWarning(QRegularExpression("."));

    StartedForm w(folder.path());
    QVERIFY(startOver(w, folder));
    QCOMPARE(w.get<QComboBox>("Comportbox")->currentText(), "COM3");
    QCOMPARE(portInUse(w), "COM3");
    QVERIFY(w.form->close());
    QCOMPARE(readFile(folder.filePath("Setting.ini")), beside);
    QVERIFY(!QFileInfo::exists(folder.configFolder()));
}

// A port picked where the file beside the program is in UTF-16 is kept in the user's file,
// and the next start shows it.
void TestPort::utf16SettingsPickKeptForUser()
{
    const QByteArray beside = utf16Settings();
    ProgramFolder folder;
    QVERIFY(writeFile(folder.filePath("Setting.ini"), beside));
    // The offscreen platform has its own words for the opened list; the program has none.
    QTest::failOnWarning(QRegularExpression("trv5kb"));
    {
        StartedForm w(folder.path());
        QVERIFY(startOver(w, folder));
        w.chooseItem("Comportbox", "COM5");
        QVERIFY(w.form->close());
        QVERIFY(w.boxes.shown.isEmpty());
    }
    QCOMPARE(readFile(folder.filePath("Setting.ini")), beside);
    QCOMPARE(readFile(folder.configFolder() + "/Setting.ini"), QByteArray("[Setting]\r\ncomport=COM5\r\n"));

    StartedForm again(folder.path());
    QVERIFY(startOver(again, folder));
    QCOMPARE(again.get<QComboBox>("Comportbox")->currentText(), "COM5");
    QCOMPARE(portInUse(again), "COM5");
}

QTEST_MAIN(TestPort)
#include "tst_port.moc"
