#include "transfer/ControllerTransfer.h"

#include "ChartText.h"
#include "FakeSerialLine.h"
#include "FileBytes.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

Q_DECLARE_METATYPE(TransferEnd)
Q_DECLARE_METATYPE(TransferCause)

namespace {
// What the transfer reported, in order: "started", "progress N", "finished".
struct Reports
{
    QStringList events;
    TransferEnd end = TransferEnd::None;
    TransferCause cause = TransferCause::None;
    QString reason;
};

#ifdef Q_OS_WIN
// Windows' serial ports are the COMn themselves: the settings map none, and a reason names the port alone.
const QString Com3Device = "COM3";
const QString Com3Label = "COM3";
// A port above COM20 is a port name of its own.
const QString DevicePort = "COM23";
const QList<SerialDevice> TwoAdapters{{"COM1", "", "", ""}, {"COM23", "USB Serial Port", "", ""}};
const QString TwoAdaptersText = "COM1、COM23（USB Serial Port）";
#else
const QString Com3Device = "/dev/ttyUSB0";
const QString Com3Label = "COM3 (/dev/ttyUSB0)";
const QString DevicePort = "/dev/ttyUSB0";
const QList<SerialDevice> TwoAdapters{{"/dev/ttyACM0", "", "", ""},
                                      {"/dev/ttyUSB0", "FT232R USB UART", "", ""}};
const QString TwoAdaptersText = "/dev/ttyACM0、/dev/ttyUSB0（FT232R USB UART）";
#endif
} // namespace

// The transfer object over a line the test plays the controller on.
class TestControllerTransfer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void success();
    void repliesJoinedInOneRead();
    void startWhileRunning();
    void whichDevice_data();
    void whichDevice();
    void portCannotOpen_data();
    void portCannotOpen();
    void unsendableChart();
    void timeout_data();
    void timeout();
    void lostLine();
    void writeFails();
    void networkPortNotOpened_data();
    void networkPortNotOpened();

private:
    // A transfer of the start-up chart on COM3, which Setting.ini maps to /dev/ttyUSB0 (on
    // Windows, COM3 is the device).
    void makeTransfer();

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<ControllerTransfer> transfer;
    FakeSerialLine* line = nullptr;
    Reports reports;
    PatternTable chart;
};

void TestControllerTransfer::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(writeFile(dir->filePath("Setting.ini"), settingsWithCom3("/dev/ttyUSB0")));
    chart = startUpChart();
    makeTransfer();
}

void TestControllerTransfer::makeTransfer()
{
    reports = {};
    auto fake = std::make_unique<FakeSerialLine>();
    line = fake.get();
    transfer = std::make_unique<ControllerTransfer>(std::move(fake));
    transfer->setPort("COM3", SettingsLocation(dir->filePath("Setting.ini")));
    transfer->setSerialDeviceList([] { return TwoAdapters; });
    connect(transfer.get(), &ControllerTransfer::started, this, [this] { reports.events << "started"; });
    connect(transfer.get(), &ControllerTransfer::progress, this,
            [this](int records) { reports.events << QStringLiteral("progress %1").arg(records); });
    connect(transfer.get(), &ControllerTransfer::finished, this,
            [this](TransferEnd end, TransferCause cause, const QString& reason) {
                reports.events << "finished";
                reports.end = end;
                reports.cause = cause;
                reports.reason = reason;
            });
}

void TestControllerTransfer::success()
{
    // The line is the transfer's `mscPort`, and the time-out its `Timer1`.
    QCOMPARE(transfer->findChild<SerialLine*>("mscPort"), line);
    auto* timer = transfer->findChild<QTimer*>("Timer1");
    QVERIFY(timer);
    QCOMPARE(timer->interval(), 15000);
    QVERIFY(timer->isSingleShot());
    QCOMPARE(timer->timerType(), Qt::PreciseTimer);

    chart.at(0, 0) = ElementCode::number(0);
    chart.at(79, 39) = ElementCode::text(":");
    transfer->start(chart, 37);
    QVERIFY(transfer->isRunning());
    QVERIFY(timer->isActive());
    QCOMPARE(line->openings, QStringList{Com3Device});
    QCOMPARE(reports.events, (QStringList{"started", "progress 0"}));
    QCOMPARE(line->answerWritten(), QList<QByteArray>{"E"});
    QCOMPARE(line->answerWritten(), QList<QByteArray>{"S37"});
    QCOMPARE(transfer->recordsSent(), 1);
    QCOMPARE(reports.events.last(), "progress 1");
    QCOMPARE(line->answerWritten(), QList<QByteArray>{"W00003333333"});
    for (int record = 1; record < 399; ++record)
        QCOMPARE(line->answerWritten().size(), 1);
    QCOMPARE(line->answerWritten(), QList<QByteArray>{"W3993333333:"});
    QCOMPARE(reports.events.size(), 1 + 401 + 1);
    QCOMPARE(reports.events.last(), "finished");
    QCOMPARE(reports.end, TransferEnd::Success);
    QCOMPARE(reports.cause, TransferCause::None);
    QCOMPARE(reports.reason, "");
    QVERIFY(!transfer->isRunning());
    QVERIFY(!timer->isActive());
    QVERIFY(!line->isOpen());
    QCOMPARE(transfer->recordsSent(), 400);
}

// The controller's letters and CRs reach the protocol one character at a time, however they
// come; what comes after the end is dropped with the closed line.
void TestControllerTransfer::repliesJoinedInOneRead()
{
    transfer->start(chart, 80);
    QCOMPARE(line->take(), "E\r");
    line->send("e\rs\r");
    QCOMPARE(line->take(), "S80\rW00033333333\r");
    QByteArray rest;
    for (int record = 0; record < 400; ++record)
        rest += "w\r";
    line->send(rest + "e\r");
    QCOMPARE(reports.end, TransferEnd::Success);
    QCOMPARE(line->take().count('W'), 399);
    QVERIFY(!line->isOpen());
}

void TestControllerTransfer::startWhileRunning()
{
    transfer->start(chart, 80);
    line->answerWritten();
    transfer->start(chart, 5);
    QCOMPARE(reports.events, (QStringList{"started", "progress 0"}));
    QCOMPARE(line->openings.size(), 1);
    QCOMPARE(line->take(), "S80\r");
}

void TestControllerTransfer::whichDevice_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QString>("device");

    // clang-format off
    QTest::newRow("COMn of [Ports]") << "COM3" << QByteArray("[Ports]\r\nCOM3=/dev/ttyUSB0\r\n") << "/dev/ttyUSB0";
    QTest::newRow("COMn without an entry") << "COM4" << QByteArray("[Ports]\r\nCOM3=/dev/ttyUSB0\r\n") << "/dev/ttyS3";
    QTest::newRow("device path, whatever COMn maps") << "/dev/serial/by-id/usb-x" << QByteArray("[Ports]\r\nCOM3=/dev/ttyUSB0\r\n") << "/dev/serial/by-id/usb-x";
    // clang-format on
}

// A COMn is looked up in the settings at each opening, so a changed file counts from the next
// transfer on; a device path is the device itself.
void TestControllerTransfer::whichDevice()
{
#ifdef Q_OS_WIN
    QSKIP("COMn is the device on Windows");
#else
    QFETCH(QString, port);
    QFETCH(QByteArray, settings);
    QFETCH(QString, device);

    const QString file = dir->filePath("Setting.ini");
    QVERIFY(writeFile(file, settings));
    transfer->setPort(port, SettingsLocation(file));
    transfer->start(chart, 80);
    line->hangUp();
    QVERIFY(writeFile(file, settings.replace("COM3=/dev/ttyUSB0", "COM3=/dev/ttyUSB1\r\nCOM4=/dev/ttyACM1")));
    transfer->start(chart, 80);
    const QString again = port == "COM3" ? "/dev/ttyUSB1" : port == "COM4" ? "/dev/ttyACM1" : device;
    QCOMPARE(line->openings, (QStringList{device, again}));
#endif
}

void TestControllerTransfer::portCannotOpen_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("reason"); // the first line

    // clang-format off
    QTest::newRow("refused") << "COM3" << "ポート「COM3」を開けません（" + Com3Label + ": ポートは他のプログラムが使用中です）。";
    QTest::newRow("a device path refused") << DevicePort << "ポート「" + DevicePort + "」を開けません（" + DevicePort + ": ポートは他のプログラムが使用中です）。";
    QTest::newRow("a name that is no port") << "COM0" << "ポート「COM0」を開けません（ポートが選ばれていません）。";
    QTest::newRow("no port chosen") << "" << "ポート「未選択」を開けません（ポートが選ばれていません）。";
    // clang-format on
}

// The reason names the port as the user chose it and, on a line of its own, the devices present.
void TestControllerTransfer::portCannotOpen()
{
    QFETCH(QString, port);
    QFETCH(QString, reason);

    line->refusal = "ポートは他のプログラムが使用中です";
    transfer->setPort(port, SettingsLocation(dir->filePath("Setting.ini")));
    transfer->start(chart, 80);
    QCOMPARE(reports.events, (QStringList{"started", "finished"}));
    QCOMPARE(reports.end, TransferEnd::Failure);
    QCOMPARE(reports.cause, TransferCause::PortNotOpened);
    QCOMPARE(reports.reason, reason + "\n接続されているシリアルデバイス：" + TwoAdaptersText);
    QCOMPARE(line->openings.size(), reason.contains("ポートが選ばれていません") ? 0 : 1);
    QCOMPARE(line->take(), "");
    QVERIFY(!transfer->isRunning());
    QVERIFY(!transfer->findChild<QTimer*>("Timer1")->isActive());
}

// Refused before the line is opened: the reason names the first value at fault.
void TestControllerTransfer::unsendableChart()
{
    chart.at(4, 8) = ElementCode::number(10);
    transfer->start(chart, 80);
    QCOMPARE(reports.events, QStringList{"finished"});
    QCOMPARE(reports.cause, TransferCause::UnsendableChart);
    QCOMPARE(reports.reason,
             "送れない値があります：ステップ数は 1～80、各セルは16の要素のどれかでなければなりません。\n"
             "ステップ 5 の B4 の値 10 は16の要素のどれでもないため、コントローラに送れません。");
    QVERIFY(line->openings.isEmpty());
}

void TestControllerTransfer::timeout_data()
{
    QTest::addColumn<int>("answers"); // messages the controller answers before it falls silent
    QTest::addColumn<int>("sent");
    QTest::addColumn<TransferCause>("cause");
    QTest::addColumn<QString>("reason");

    // clang-format off
    QTest::newRow("never answered") << 0 << 0 << TransferCause::NoReply << "コントローラーから時間内に応答がありませんでした。";
    QTest::newRow("too slow after 3 records") << 5 << 4 << TransferCause::TimeLimit << "書き込みが制限時間（0.2 秒）内に終わりませんでした。コントローラーが受け取ったレコードは 400 件中 3 件で、コントローラーには途中までのパターンしか書き込まれていません。";
    // clang-format on
}

// A controller that stops answering: nothing else happens on the fake line, so the time-out
// is the only thing that can end the transfer.
void TestControllerTransfer::timeout()
{
    QFETCH(int, answers);
    QFETCH(int, sent);
    QFETCH(TransferCause, cause);
    QFETCH(QString, reason);
    transfer->setTimeoutInterval(200);
    transfer->start(chart, 80);
    for (int i = 0; i < answers; ++i)
        line->answerWritten();
    QSignalSpy finished(transfer.get(), &ControllerTransfer::finished);
    QVERIFY(finished.wait(5000));
    QCOMPARE(reports.end, TransferEnd::Failure);
    QCOMPARE(reports.cause, cause);
    QCOMPARE(reports.reason, reason);
    QVERIFY(!line->isOpen());
    QCOMPARE(transfer->recordsSent(), sent);
}

void TestControllerTransfer::lostLine()
{
    transfer->start(chart, 80);
    for (int message = 0; message < 5; ++message)
        line->answerWritten();
    line->hangUp();
    QCOMPARE(reports.events.last(), "finished");
    QCOMPARE(reports.cause, TransferCause::PortLost);
    QCOMPARE(reports.reason, "通信中にポートが使えなくなりました（" + Com3Label +
                                 ": デバイスが取り外されたか、応答しなくなりました）。");
    QVERIFY(!transfer->findChild<QTimer*>("Timer1")->isActive());
    QCOMPARE(transfer->recordsSent(), 4);
}

void TestControllerTransfer::writeFails()
{
    transfer->start(chart, 80);
    line->writeFailure = "Input/output error";
    line->answerWritten();
    QCOMPARE(reports.events, (QStringList{"started", "progress 0", "finished"}));
    QCOMPARE(reports.cause, TransferCause::WriteFailed);
    QCOMPARE(reports.reason, "ポートに書き込めません（" + Com3Label + ": Input/output error）。");
    QVERIFY(!line->isOpen());
    QVERIFY(!transfer->findChild<QTimer*>("Timer1")->isActive());

    // The next transfer opens the line again.
    line->writeFailure.clear();
    transfer->start(chart, 80);
    QCOMPARE(line->take(), "E\r");
    QCOMPARE(line->openings.size(), 2);
}

void TestControllerTransfer::networkPortNotOpened_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>(
        "fault"); // "refused": the server turned the line away; "time": it never answered
    QTest::addColumn<QString>("reason");

    // clang-format off
    QTest::newRow("turned away") << "tcp://rack1.local:4001" << "refused" << "ポート「tcp://rack1.local:4001」を開けません（tcp://rack1.local:4001: サーバーが接続を断りました：「Port already in use」）。";
    QTest::newRow("turned away, COMn") << "COM5" << "refused" << "ポート「COM5」を開けません（COM5 (rfc2217://rack1.local:4001): サーバーが接続を断りました：「Port already in use」）。";
    QTest::newRow("no answer in time") << "rfc2217://rack1.local:4001" << "time" << "ポート「rfc2217://rack1.local:4001」を開けません（rfc2217://rack1.local:4001: サーバーが回線の設定に答えませんでした）。";
    // clang-format on
}

// A network port that fails to open after the start, or is still opening when the time is
// up, ends as a port not opened, never as a controller that did not answer; the serial
// devices present have nothing to do with it and are not listed.
void TestControllerTransfer::networkPortNotOpened()
{
    QFETCH(QString, port);
    QFETCH(QString, fault);
    QFETCH(QString, reason);

    const QString file = dir->filePath("Setting.ini");
    QVERIFY(writeFile(file, settingsWithCom3("/dev/ttyUSB0") + "COM5=rfc2217://rack1.local:4001\r\n"));
    transfer->setPort(port, SettingsLocation(file));
    transfer->setTimeoutInterval(1);
    line->unfinished = "サーバーが回線の設定に答えませんでした";
    transfer->start(chart, 80);
    QCOMPARE(line->take(), "E\r");
    if (fault == "refused") {
        line->failOpening("サーバーが接続を断りました：「Port already in use」");
    } else {
        QSignalSpy finished(transfer.get(), &ControllerTransfer::finished);
        QVERIFY(finished.wait(5000));
    }
    QCOMPARE(reports.events, (QStringList{"started", "progress 0", "finished"}));
    QCOMPARE(reports.end, TransferEnd::Failure);
    QCOMPARE(reports.cause, TransferCause::PortNotOpened);
    QCOMPARE(reports.reason, reason);
    QVERIFY(!line->isOpen());
    QVERIFY(!transfer->findChild<QTimer*>("Timer1")->isActive());
}

QTEST_GUILESS_MAIN(TestControllerTransfer)
#include "tst_controllertransfer.moc"
