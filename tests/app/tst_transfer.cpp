#include "FormFixture.h"

#include "Ser2netServer.h"
#include "SimulatorProcess.h"
#include "app/Controls.h"
#include "app/TerminationSignals.h"
#include "serial/SerialLine.h"

#include <QDir>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <csignal>

namespace {

using E = ElementCode;

constexpr quint32 White = 0xFFFFFF, Orange = 0xFFC080, PaleOrange = 0xFFE0C0, Green = 0xC0FFC0,
                  Red = 0xFFC0C0;

// A chart that holds every element in both kinds, differently in every record.
QByteArray mixedChartFile()
{
    return patternFileOf([](int step, int channel) { return elementField((step * 3 + channel * 5) % 16); });
}

} // namespace

// Writes charts into the controller simulator over a real pseudo-terminal, and
// into a controller the test plays itself on a line inside the test program.
class TestTransfer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void success();
    void faults_data();
    void faults();
    void portCannotOpen_data();
    void portCannotOpen();
    void unsendableChart_data();
    void unsendableChart();
    void recordsFollowTheController();
    void timeoutNeverEarly();
    void modeOptionDuringTransfer();
    void closingDuringTransfer_data();
    void closingDuringTransfer();
    void terminationSignalDuringTransfer();
    void networkPort_data();
    void networkPort();

private:
    // The window with COM3 pointing at the simulator, started with `arguments`.
    bool startWith(const QStringList& arguments);
    void expectIdleAfter(const char* caption);

    std::unique_ptr<QTemporaryDir> workDir;
    QString previousDir;
    std::unique_ptr<SimulatorProcess> simulator;
    std::unique_ptr<StartedForm> w;
    QString received() const { return workDir->filePath("received.txt"); }
};

void TestTransfer::init()
{
    previousDir = QDir::currentPath();
    workDir = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir::setCurrent(workDir->path()));
}

void TestTransfer::cleanup()
{
    w.reset();
    simulator.reset();
    QDir::setCurrent(previousDir);
    workDir.reset();
}

bool TestTransfer::startWith(const QStringList& arguments)
{
    simulator = std::make_unique<SimulatorProcess>();
    if (!simulator->start(QStringList{"--output", received()} + arguments)) {
        qWarning() << simulator->errorString();
        return false;
    }
    w = std::make_unique<StartedForm>();
    return writeFile(w->folder.filePath("Setting.ini"), simulator->settingsFile()) && w->start() &&
           w->form->state().PortName == "COM3";
}

// After a transfer ended: not busy, timers off, port closed, and the window edits again.
void TestTransfer::expectIdleAfter(const char* caption)
{
    QCOMPARE(w->caption(), QString::fromUtf8(caption));
    QCOMPARE(w->form->state().BusyFlag, "0");
    QVERIFY(!w->get<QTimer>("Timer1")->isActive());
    QVERIFY(!w->get<QTimer>("Timer2")->isActive());
    QVERIFY(!w->get<SerialLine>("mscPort")->isOpen());
    w->clickCell(0); // OFF becomes UP
    QVERIFY(w->form->document().PatternData().at(0, 0) == E::number(0));
    QCOMPARE(w->lamp(), White);
    QCOMPARE(w->caption(), "");
}

void TestTransfer::success()
{
    QVERIFY(startWith({}));
    w->load(mixedChartFile());
    w->chooseItem("Combo1", "37");
    // The lamp is looked at while the transfer runs, and on a busy machine a
    // whole transfer may take longer than the 15 s the controller is given.
    w->holdTimers();

    w->click("Command1");
    QCOMPARE(w->form->state().BusyFlag, "1");
    QCOMPARE(w->lamp(), Orange);
    QCOMPARE(w->caption(), "処理中");
    QVERIFY(w->get<QTimer>("Timer1")->isActive());
    QVERIFY(w->get<QTimer>("Timer2")->isActive());
    w->click("Command1"); // a second press while busy does nothing

    QVERIFY(waitFor([&] { return w->form->state().BusyFlag == "0"; }, HangLimitMs));
    QCOMPARE(w->caption(), "成功");
    QCOMPARE(w->lamp(), Green);
    QCOMPARE(w->form->state().RecordIndex, 400);
    QVERIFY(!w->get<QTimer>("Timer1")->isActive());
    QVERIFY(!w->get<QTimer>("Timer2")->isActive());
    QVERIFY(!w->get<SerialLine>("mscPort")->isOpen());

    // What the controller received is byte for byte the chart as the window saves it.
    w->click("Command2");
    QCOMPARE(readFile(received()), readFile(workDir->filePath("パターン１.txt")));
    QCOMPARE(simulator->stop(), 0);
    QCOMPARE(simulator->errors(), QByteArray());

    // The next transfer, of a changed chart, goes through the same port again.
    QVERIFY(QFile::remove(received()));
    simulator = std::make_unique<SimulatorProcess>();
    QVERIFY(simulator->start(QStringList{"--output", received()}));
    QVERIFY(writeFile(w->folder.filePath("Setting.ini"), simulator->settingsFile()));
    w->clickCell(0);
    w->click("Command1");
    QVERIFY(waitFor([&] { return w->form->state().BusyFlag == "0"; }, HangLimitMs));
    QCOMPARE(w->caption(), "成功");
    w->click("Command2");
    QCOMPARE(readFile(received()), readFile(workDir->filePath("パターン１.txt")));
}

void TestTransfer::faults_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("unanswered"); // the record left unanswered, -1 for none
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("reason"); // how the status caption's tool tip begins; %1: the device

    // The controller answered, so it is there: too slow, not silent from the start.
    const QString tooSlow =
        "書き込みが制限時間（15 秒）内に終わりませんでした。コントローラーが受け取ったレコードは "
        "400 件中 3 件で、コントローラーには途中までのパターンしか書き込まれていません。";
    // Qt's own words for the last failed call ("Inappropriate ioctl for device") are no reason.
    const QString lineLost =
        "通信中にポートが使えなくなりました（COM3 (%1): デバイスが取り外されたか、応答しなくなりました）。";
    // clang-format off
    QTest::newRow("silent after 3 records")      << QStringList{"--silent-after", "3"} << 3 << "失敗" << tooSlow;
    QTest::newRow("line closed mid-transfer")    << QStringList{"--hangup-after", "5"} << -1 << "失敗" << lineLost;
    // One character per read takes a letter and its CR apart even when they come together,
    // and lets stray bytes between replies pass.
    QTest::newRow("letter and CR in one write")  << QStringList{"--joined-replies"} << -1 << "成功" << "";
    QTest::newRow("garbage between replies")     << QStringList{"--garbage"} << -1 << "成功" << "";
    QTest::newRow("paced as a 57,600-baud line") << QStringList{"--paced"} << -1 << "成功" << "";
    // clang-format on
}

void TestTransfer::faults()
{
    QFETCH(QStringList, options);
    QFETCH(int, unanswered);
    QFETCH(QString, result);
    QFETCH(QString, reason);

    QVERIFY(startWith(options));
    w->holdTimers();
    w->click("Command1");
    if (unanswered >= 0) {
        // Once that record has gone out nothing more comes back, and the time-out ends the transfer.
        QVERIFY(waitFor([&] { return w->form->state().RecordIndex == unanswered + 1; }, HangLimitMs));
        w->tick("Timer1");
    }
    QVERIFY(waitFor([&] { return w->form->state().BusyFlag == "0"; }, HangLimitMs));
    QCOMPARE(w->caption(), result);
    QCOMPARE(w->lamp(), result == "成功" ? Green : Red);
    if (result == "成功")
        QCOMPARE(readFile(received()).size(), 6484);
    const QString toolTip = w->get<QLabel>("disp1")->toolTip();
    QVERIFY2(reason.isEmpty() ? toolTip.isEmpty()
                              : toolTip.startsWith(reason.replace("%1", simulator->device())),
             qPrintable(toolTip));
    QVERIFY2(!toolTip.contains("ioctl"), qPrintable(toolTip));
    expectIdleAfter(qPrintable(result));
}

void TestTransfer::portCannotOpen_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QString>("reason");
    // clang-format off
    QTest::newRow("no settings file: port 0") << QByteArray("(none)") << "ポート「ERROR」を開けません（";
    QTest::newRow("no such device") << QByteArray("[Setting]\r\ncomport=COM3\r\n[Ports]\r\nCOM3=/dev/no-such-tty\r\n") << "ポート「COM3」を開けません（";
    QTest::newRow("a name that is no port") << QByteArray("[Setting]\r\ncomport=COM21\r\n") << "ポート「COM21」を開けません（";
    // clang-format on
}

void TestTransfer::portCannotOpen()
{
    QFETCH(QByteArray, settings);
    QFETCH(QString, reason);
    w = std::make_unique<StartedForm>();
    if (settings != "(none)")
        QVERIFY(writeFile(w->folder.filePath("Setting.ini"), settings));
    QVERIFY(w->start());
    w->click("Command1");
    QCOMPARE(w->lamp(), Red);
    const QString toolTip = w->get<QLabel>("disp1")->toolTip();
    QVERIFY2(toolTip.startsWith(reason), qPrintable(toolTip));
    expectIdleAfter("失敗");
}

// A loaded chart that cannot be put on the wire fails before anything is sent.
void TestTransfer::unsendableChart_data()
{
    QTest::addColumn<QByteArray>("stepCount");
    QTest::addColumn<QByteArray>("lastCell"); // step 80, channel 40
    QTest::addColumn<QString>("fault");       // the second line of the reason
    // clang-format off
    QTest::newRow("step count 0") << QByteArray("0") << QByteArray("3") << "ステップ数 0 はコントローラに送れません（1～80）。";
    QTest::newRow("step count 81") << QByteArray("81") << QByteArray("3") << "ステップ数 81 はコントローラに送れません（1～80）。";
    QTest::newRow("number 10 in a cell") << QByteArray("80") << QByteArray("10") << "ステップ 80 の H5 の値 10 は16の要素のどれでもないため、コントローラに送れません。";
    QTest::newRow("text 3 in a cell") << QByteArray("80") << QByteArray("\"3\"") << "ステップ 80 の H5 の値 \"3\" は16の要素のどれでもないため、コントローラに送れません。";
    // clang-format on
}

void TestTransfer::unsendableChart()
{
    QFETCH(QByteArray, stepCount);
    QFETCH(QByteArray, lastCell);
    QFETCH(QString, fault);

    auto* form = new FakeLineForm;
    w.reset(form);
    QVERIFY(w->start());
    w->load(patternFile({{79, 39, lastCell}}, stepCount));
    w->click("Command1");
    QCOMPARE(w->lamp(), Red);
    QCOMPARE(w->caption(), "失敗");
    QCOMPARE(w->get<QLabel>("disp1")->toolTip(),
             "送れない値があります：ステップ数は 1～80、各セルは16の要素のどれかでなければなりません。\n" +
                 fault);
    // Nothing reached the line: it was not even opened.
    QCOMPARE(form->line.openings, QStringList());
    QCOMPARE(form->line.take(), QByteArray());
    QCOMPARE(w->form->state().BusyFlag, "0");
}

// BusyFlag is "1" from the click to the end, RecordIndex follows every record sent, and the
// lamp shows the end. The record index carries over into the next transfer until the
// controller's "s" starts it again.
void TestTransfer::recordsFollowTheController()
{
    auto* form = new FakeLineForm;
    w.reset(form);
    QVERIFY(w->start());
    FakeSerialLine& line = form->line;
    const WindowState& state = w->form->state();
    w->holdTimers(); // the lamp is looked at while the transfer runs

    w->click("Command1");
    QCOMPARE(line.openings, QStringList{FakeLineForm::FakeDevice});
    QCOMPARE(state.BusyFlag, "1");
    QCOMPARE(w->lamp(), Orange);
    QCOMPARE(w->caption(), "処理中");
    QVERIFY(w->get<QTimer>("Timer1")->isActive());
    QVERIFY(w->get<QTimer>("Timer2")->isActive());
    QCOMPARE(line.answerWritten(), QList<QByteArray>{"E"});
    QCOMPARE(state.RecordIndex, 0);
    QCOMPARE(line.answerWritten(), QList<QByteArray>{"S80"});
    for (int record = 1; record < 400; ++record) {
        QCOMPARE(state.RecordIndex, record);
        QCOMPARE(line.answerWritten(),
                 QList<QByteArray>{QByteArray::number(record - 1).rightJustified(3, '0').prepend('W') +
                                   "33333333"});
    }
    QCOMPARE(state.RecordIndex, 400);
    QCOMPARE(state.BusyFlag, "1");
    QCOMPARE(line.answerWritten(), QList<QByteArray>{"W39933333333"});
    QCOMPARE(state.BusyFlag, "0");
    QCOMPARE(w->lamp(), Green);
    QCOMPARE(w->caption(), "成功");
    QCOMPARE(w->get<QLabel>("disp1")->toolTip(), "");
    QVERIFY(!w->get<QTimer>("Timer1")->isActive());
    QVERIFY(!w->get<QTimer>("Timer2")->isActive());
    QVERIFY(!line.isOpen());

    w->click("Command1");
    line.answerWritten();
    QCOMPARE(state.RecordIndex, 400);
    line.answerWritten();
    QCOMPARE(state.RecordIndex, 1);
}

// The time-out and the blink keep to the millisecond: a coarse timer may fire
// up to 5 % early and end a transfer that would still have finished in time.
// A controller that stops answering leaves the transfer waiting until the
// time-out's tick ends it.
void TestTransfer::timeoutNeverEarly()
{
    auto* form = new FakeLineForm;
    w.reset(form);
    QVERIFY(w->start());
    auto* timer1 = w->get<QTimer>("Timer1");
    QCOMPARE(timer1->interval(), 15000);
    QCOMPARE(timer1->timerType(), Qt::PreciseTimer);
    QVERIFY(timer1->isSingleShot());
    auto* timer2 = w->get<QTimer>("Timer2");
    QCOMPARE(timer2->interval(), 250);
    QCOMPARE(timer2->timerType(), Qt::PreciseTimer);
    QVERIFY(!timer2->isSingleShot());

    w->holdTimers();
    w->click("Command1");
    QVERIFY(timer1->isActive());
    QVERIFY(timer2->isActive());
    // The erase and the step count are answered, the first record never.
    form->line.answerWritten();
    form->line.answerWritten();
    QCOMPARE(w->form->state().RecordIndex, 1);
    QCOMPARE(w->form->state().BusyFlag, "1");
    w->tick("Timer1");
    QCOMPARE(w->lamp(), Red);
    QCOMPARE(
        w->get<QLabel>("disp1")->toolTip(),
        "書き込みが制限時間（15 秒）内に終わりませんでした。コントローラーが受け取ったレコードは 400 件中 0 "
        "件で、コントローラーには途中までのパターンしか書き込まれていません。");
    expectIdleAfter("失敗");
}

// A mode option acts during a transfer: the lamp turns white and the blink no
// longer changes it, and the transfer's result still shows at its end.
void TestTransfer::modeOptionDuringTransfer()
{
    auto* busy = new BusyForm; // a controller that never answers
    w.reset(busy);
    QVERIFY(w->start());
    QVERIFY(busy->startTransfer()); // the timers tick only when the test says so
    QVERIFY(w->get<QTimer>("Timer2")->isActive());
    QCOMPARE(w->lamp(), Orange);
    w->tick("Timer2");
    QCOMPARE(w->lamp(), PaleOrange); // blinking
    w->tick("Timer2");
    QCOMPARE(w->lamp(), Orange);

    w->click("Option3");
    QCOMPARE(w->lamp(), White);
    QCOMPARE(w->caption(), "");
    QCOMPARE(w->form->state().EditMode, EditingMode::Batch);
    // The blink runs on and leaves the lamp white.
    QVERIFY(w->get<QTimer>("Timer2")->isActive());
    for (int tick = 0; tick < 2; ++tick) {
        w->tick("Timer2");
        QCOMPARE(w->lamp(), White);
    }
    QCOMPARE(w->form->state().BusyFlag, "1");

    w->tick("Timer1"); // the controller never answered
    QCOMPARE(w->caption(), "失敗");
    QCOMPARE(w->lamp(), Red);
}

void TestTransfer::closingDuringTransfer_data()
{
    QTest::addColumn<QMessageBox::StandardButton>("answer");
    QTest::newRow("stays open") << QMessageBox::No;
    QTest::newRow("closes") << QMessageBox::Yes;
}

// Closing the window while records go out asks first (No by default); a Yes
// stops the transfer as a failure before the usual shutdown.
void TestTransfer::closingDuringTransfer()
{
    QFETCH(QMessageBox::StandardButton, answer);
    auto* form = new FakeLineForm;
    w.reset(form);
    QVERIFY(w->start());
    w->holdTimers();
    w->click("Command1");
    while (w->form->state().RecordIndex <= 3)
        QVERIFY(!form->line.answerWritten().isEmpty());
    QCOMPARE(form->line.take(), "W00333333333\r");

    const QByteArray settings = readFile(w->folder.filePath("Setting.ini"));
    form->boxes.answers = {answer};
    const bool closed = w->form->close();
    QCOMPARE(form->boxes.shown.size(), 1);
    QCOMPARE(form->boxes.shown[0].text,
             "書込中です。終了するとコントローラーには途中までしか書き込まれません。終了しますか？");
    QCOMPARE(form->boxes.shown[0].buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(form->boxes.shown[0].defaultButton, QMessageBox::No);

    if (answer == QMessageBox::No) {
        QVERIFY(!closed);
        QVERIFY(w->form->isVisible());
        QCOMPARE(w->form->state().BusyFlag, "1");
        form->line.send("w\r"); // the records go on
        QCOMPARE(form->line.take(), "W00433333333\r");
        QCOMPARE(readFile(w->folder.filePath("Setting.ini")), settings); // no shutdown ran
        return;
    }
    QVERIFY(closed);
    QVERIFY(!form->line.isOpen());
    QCOMPARE(w->form->state().BusyFlag, "0");
    QCOMPARE(w->caption(), "失敗");
    QVERIFY(!w->get<QTimer>("Timer1")->isActive());
    form->line.send("w\r"); // unheard: no record follows
    QCOMPARE(form->line.take(), QByteArray());
    QCOMPARE(readFile(w->folder.filePath("Setting.ini")).left(25), "[Setting]\r\ncomport=COM3\r\n");
}

// SIGTERM (the end of the session) during a transfer asks nothing: the transfer
// stops, standard error says what the controller holds, and the window closes.
void TestTransfer::terminationSignalDuringTransfer()
{
#ifdef Q_OS_UNIX
    auto* form = new FakeLineForm;
    w.reset(form);
    QVERIFY(w->start());
    w->holdTimers();
    closeWindowsOnTerminationSignals([&] { w->form->terminationRequested(); });
    w->click("Command1");
    while (w->form->state().RecordIndex <= 3)
        QVERIFY(!form->line.answerWritten().isEmpty());

    QTest::ignoreMessage(QtWarningMsg, "書込の途中で終了しました。"
                                       "コントローラーには途中までしか書き込まれていません。");
    ::raise(SIGTERM);
    QVERIFY(waitFor([&] { return !w->form->isVisible(); }, HangLimitMs));
    QVERIFY(form->boxes.shown.isEmpty());
    QVERIFY(!form->line.isOpen());
    QCOMPARE(w->form->state().BusyFlag, "0");
    QCOMPARE(readFile(w->folder.filePath("Setting.ini")).left(25), "[Setting]\r\ncomport=COM3\r\n");
#else
    QSKIP("needs SIGTERM");
#endif
}

void TestTransfer::networkPort_data()
{
    QTest::addColumn<QString>("server"); // "tcp", "rfc2217", or "nobody" for a port where nobody listens

    QTest::newRow("raw") << "tcp";
    QTest::newRow("RFC 2217") << "rfc2217";
    QTest::newRow("nobody listens") << "nobody";
}

// 書込 through a serial device server, as COM3 of Setting.ini: the controller behind ser2net
// gets the chart byte for byte, with RFC 2217 on a line the server first opened at 9,600 baud
// with 2 stop bits (which the simulator would report); a port where nobody listens fails with
// the reason in the status caption's tool tip.
void TestTransfer::networkPort()
{
    QFETCH(QString, server);

    simulator = std::make_unique<SimulatorProcess>();
    QVERIFY2(simulator->start({"--output", received()}), qPrintable(simulator->errorString()));
    Ser2netServer ser2net;
    const quint16 nobody = Ser2netServer::freePort();
    QString url = QStringLiteral("tcp://127.0.0.1:%1").arg(nobody);
    if (server != "nobody") {
        const bool raw = server == "tcp";
        QVERIFY2(ser2net.start({{simulator->device(),
                                 raw ? Ser2netServer::Protocol::Raw : Ser2netServer::Protocol::Rfc2217,
                                 raw ? "57600n81" : "9600n82"}}),
                 qPrintable(ser2net.errorString()));
        url = ser2net.url(0);
    }
    w = std::make_unique<StartedForm>();
    QVERIFY(writeFile(w->folder.filePath("Setting.ini"), settingsWithCom3(url)));
    QVERIFY(w->start());
    w->load(mixedChartFile());
    w->holdTimers();
    w->click("Command1");
    QVERIFY(waitFor([&] { return w->form->state().BusyFlag == "0"; }, HangLimitMs));

    if (server == "nobody") {
        QCOMPARE(
            w->get<QLabel>("disp1")->toolTip(),
            QStringLiteral("ポート「COM3」を開けません（COM3 (%1): 127.0.0.1 のポート %2 は接続を拒否しました"
                           "（待ち受けているサーバーがありません））。")
                .arg(url)
                .arg(nobody));
        QCOMPARE(w->caption(), "失敗");
        QCOMPARE(w->lamp(), Red);
        QVERIFY(!w->get<SerialLine>("mscPort")->isOpen());
        return;
    }
    QCOMPARE(w->caption(), "成功");
    QVERIFY(!w->get<SerialLine>("mscPort")->isOpen());
    w->click("Command2");
    QCOMPARE(readFile(received()), readFile(workDir->filePath("パターン１.txt")));
    QCOMPARE(simulator->stop(), 0);
    QCOMPARE(simulator->errors(), QByteArray());
}

QTEST_MAIN(TestTransfer)
#include "tst_transfer.moc"
