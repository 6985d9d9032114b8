#include "transfer/TransferProtocol.h"

#include "ChartText.h"
#include "transfer/SendRule.h"

#include <QTest>

using Writes = QList<QByteArray>;
using Stage = TransferProtocol::Stage;

Q_DECLARE_METATYPE(ElementCode)
Q_DECLARE_METATYPE(TransferProtocol::Stage)
Q_DECLARE_METATYPE(TransferEnd)
Q_DECLARE_METATYPE(TransferCause)

namespace {
// Every cell (step, channel) holds element (3 * step + channel) mod 16, so
// every record line differs and all sixteen characters go out.
void fillVaried(PatternTable& chart)
{
    for (int step = 0; step < 80; ++step)
        for (int channel = 0; channel < 40; ++channel)
            chart.at(step, channel) = ElementCode::ofOrdinal((3 * step + channel) % 16);
}

// A controller that answers every message as it should: its letter, then a
// lone CR, in reads of their own.
struct ControllerRun
{
    int erases = 0;
    int stepCounts = 0;
    int acknowledgements = 0;
    QList<QByteArray> records;
    Writes unexpected;
    TransferActions last;
};

ControllerRun answerUntilEnd(TransferProtocol& protocol, TransferActions actions)
{
    ControllerRun run;
    while (actions.end == TransferEnd::None && run.acknowledgements < 1000) {
        QByteArray letter;
        const Writes& w = actions.writes;
        if (w == Writes{"E\r"}) {
            ++run.erases;
            letter = "e";
        } else if (w.size() == 1 && w[0].size() == 4 && w[0].startsWith('S')) {
            ++run.stepCounts;
            letter = "s";
        } else if (w.size() == 2 && w[0] == "W") {
            run.records += w[1];
            letter = "w";
        } else {
            run.unexpected += w;
            break;
        }
        ++run.acknowledgements;
        if (protocol.received(letter) != TransferActions{})
            break;
        actions = protocol.received("\r");
    }
    run.last = actions;
    return run;
}

// Feeds reads one after the other and gathers all that the program writes.
Writes feed(TransferProtocol& protocol, const QList<QByteArray>& reads)
{
    Writes written;
    for (const QByteArray& read : reads)
        written += protocol.received(read).writes;
    return written;
}

// What start() asks for once the port is open; the controller answers from there.
TransferActions eraseSent()
{
    TransferActions actions;
    actions.writes = {"E\r"};
    return actions;
}

QList<QByteArray> split(const char* reads)
{
    QList<QByteArray> list;
    for (const QByteArray& read : QByteArray(reads).split('|'))
        list += read == "CR" ? QByteArray("\r") : read;
    return list;
}

} // namespace

class TestTransferProtocol : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void stepCountMessage_data();
    void stepCountMessage();
    void recordLines_data();
    void recordLines();
    void wholeExchange();
    void reads_data();
    void reads();
    void carriedOverState_data();
    void carriedOverState();
    void leftOverRecordIndexIsNoSuccess();
    void secondStartWhileBusy();
    void endings_data();
    void endings();
    void timeLimit_data();
    void timeLimit();
    void readsSinceReplySaturates();
    void unsendableChart_data();
    void unsendableChart();
    void firstFaultInStepOrder();

private:
    // The chart and step count each test starts from: the start-up chart, 80 steps.
    PatternTable chart;
    qint16 stepCount = 80;
};

void TestTransferProtocol::init()
{
    chart = startUpChart();
    stepCount = 80;
}

void TestTransferProtocol::stepCountMessage_data()
{
    QTest::addColumn<int>("stepCount");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("80") << 80 << QByteArray("S80\r");
    QTest::newRow("5") << 5 << QByteArray("S05\r");
    QTest::newRow("1") << 1 << QByteArray("S01\r");
    QTest::newRow("10") << 10 << QByteArray("S10\r");
}

void TestTransferProtocol::stepCountMessage()
{
    QFETCH(int, stepCount);
    QFETCH(QByteArray, message);
    TransferProtocol protocol;
    QCOMPARE(protocol.start(chart, qint16(stepCount)).writes, Writes{"E\r"});
    QCOMPARE(feed(protocol, {"e", "\r"}), Writes{message});
}

void TestTransferProtocol::recordLines_data()
{
    QTest::addColumn<bool>("varied");
    QTest::addColumn<int>("record");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("record 0") << true << 0 << QByteArray("00001234567\r");
    QTest::newRow("record 7: step 1, channels 16-23") << true << 7 << QByteArray("0073456789:\r");
    QTest::newRow("record 399: step 79, channels 32-39") << true << 399 << QByteArray("399=>?01234\r");
    QTest::newRow("all OFF") << false << 123 << QByteArray("12333333333\r");
}

void TestTransferProtocol::recordLines()
{
    QFETCH(bool, varied);
    QFETCH(int, record);
    QFETCH(QByteArray, line);
    if (varied)
        fillVaried(chart);
    TransferProtocol protocol;
    const ControllerRun run = answerUntilEnd(protocol, protocol.start(chart, stepCount));
    QCOMPARE(run.records.size(), 400);
    QCOMPARE(run.records[record], line);
}

void TestTransferProtocol::wholeExchange()
{
    TransferProtocol protocol;
    QVERIFY(!protocol.running());
    const TransferActions first = protocol.start(chart, stepCount);
    QVERIFY(first.openPort);
    QCOMPARE(first.writes, Writes{"E\r"});
    QVERIFY(first.startTimeout);
    QVERIFY(!first.stopTimeout);
    QVERIFY(!first.closePort);
    QVERIFY(protocol.running());

    const ControllerRun run = answerUntilEnd(protocol, first);
    QCOMPARE(run.unexpected, Writes{});
    QCOMPARE(run.erases, 1);
    QCOMPARE(run.stepCounts, 1);
    QCOMPARE(run.records.size(), 400);
    QCOMPARE(run.acknowledgements, 402);
    for (int record = 0; record < 400; ++record)
        QCOMPARE(run.records[record].left(3).toInt(), record);

    QCOMPARE(run.last.end, TransferEnd::Success);
    QCOMPARE(run.last.cause, TransferCause::None);
    QVERIFY(run.last.stopTimeout);
    QVERIFY(run.last.closePort);
    QCOMPARE(run.last.writes, Writes{});
    QVERIFY(!protocol.running());
    QCOMPARE(protocol.state().RecordIndex, 400);

    // Once idle, a late CR is ignored.
    QCOMPARE(protocol.received("\r"), TransferActions{});
    QVERIFY(!protocol.running());
}

// Reads after the start of a first transfer (the chart all OFF, 80 steps).
void TestTransferProtocol::reads_data()
{
    QTest::addColumn<QByteArray>("reads");
    QTest::addColumn<Writes>("writes");
    QTest::addColumn<Stage>("stage");
    QTest::addColumn<int>("readsSinceReply");
    QTest::addColumn<int>("recordIndex");

    const QByteArray s80 = "S80\r";
    const QByteArray w = "W";
    auto rec = [](const char* number) { return QByteArray(number) + "33333333\r"; };

    // clang-format off
    QTest::newRow("lone CR before any letter") << QByteArray("CR") << Writes{} << Stage::Empty << 1 << 0;
    QTest::newRow("letter and CR in one read") << QByteArray("e\r") << Writes{} << Stage::Empty << 1 << 0;
    QTest::newRow("w and CR in one read in the record phase") << QByteArray("e|CR|s|CR|w\r|CR") << Writes{s80, w, rec("000")} << Stage::Step << 3 << 1;
    QTest::newRow("two CRs after one letter") << QByteArray("e|CR|CR") << Writes{s80} << Stage::Erase << 2 << 0;
    QTest::newRow("other text between letter and CR") << QByteArray("e|x|CR") << Writes{} << Stage::Erase << 2 << 0;
    QTest::newRow("text before the letter is forgotten") << QByteArray("x|\n|e|CR") << Writes{s80} << Stage::Erase << 1 << 0;
    QTest::newRow("capital letter") << QByteArray("E|CR") << Writes{} << Stage::Empty << 2 << 0;
    QTest::newRow("CR LF") << QByteArray("e|\r\n") << Writes{} << Stage::Erase << 1 << 0;
    QTest::newRow("second e in the record phase sends the step count again") << QByteArray("e|CR|s|CR|w|CR|e|CR") << Writes{s80, w, rec("000"), w, rec("001"), s80} << Stage::Erase << 1 << 2;
    QTest::newRow("record index restarts only after s") << QByteArray("e|CR|s|CR|w|CR|e|CR|w|CR|s|CR") << Writes{s80, w, rec("000"), w, rec("001"), s80, w, rec("002"), w, rec("000")} << Stage::Step << 1 << 1;
    // clang-format on
}

void TestTransferProtocol::reads()
{
    QFETCH(QByteArray, reads);
    QFETCH(Writes, writes);
    QFETCH(Stage, stage);
    QFETCH(int, readsSinceReply);
    QFETCH(int, recordIndex);

    TransferProtocol protocol;
    protocol.start(chart, stepCount);
    QCOMPARE(feed(protocol, split(reads.constData())), writes);
    QCOMPARE(protocol.state().TransferStage, stage);
    QCOMPARE(protocol.state().ReadsSinceReply, readsSinceReply);
    QCOMPARE(protocol.state().RecordIndex, recordIndex);
    QVERIFY(protocol.running());
}

// A transfer that timed out leaves its stage, count and record index to the
// next one; a CR that comes before the controller's "e" acts on them.
void TestTransferProtocol::carriedOverState_data()
{
    QTest::addColumn<QByteArray>("firstReads");
    QTest::addColumn<Writes>("afterLoneCR");
    QTest::addColumn<int>("recordIndex");

    // clang-format off
    QTest::newRow("failed between w and its CR") << QByteArray("e|CR|s|CR|w|CR|w|CR|w|CR|w|CR|w") << Writes{"W", "00533333333\r"} << 6;
    QTest::newRow("failed between e and its CR") << QByteArray("e") << Writes{"S80\r"} << 0;
    QTest::newRow("failed after a CR") << QByteArray("e|CR|s|CR|w|CR") << Writes{} << 2;
    QTest::newRow("failed before any letter") << QByteArray("") << Writes{} << 0;
    // clang-format on
}

void TestTransferProtocol::carriedOverState()
{
    QFETCH(QByteArray, firstReads);
    QFETCH(Writes, afterLoneCR);
    QFETCH(int, recordIndex);

    TransferProtocol protocol;
    protocol.start(chart, stepCount);
    if (!firstReads.isEmpty())
        feed(protocol, split(firstReads.constData()));
    QCOMPARE(protocol.timeout().end, TransferEnd::Failure);
    const TransferProtocol::State before = protocol.state();

    QCOMPARE(protocol.start(chart, stepCount).writes, Writes{"E\r"});
    QCOMPARE(protocol.state().TransferStage, before.TransferStage);
    QCOMPARE(protocol.state().ReadsSinceReply, before.ReadsSinceReply);
    QCOMPARE(protocol.state().RecordIndex, before.RecordIndex);
    QCOMPARE(protocol.received("\r").writes, afterLoneCR);
    QCOMPARE(protocol.state().RecordIndex, recordIndex);

    // The controller's own answers then take over and the transfer succeeds.
    const ControllerRun run = answerUntilEnd(protocol, eraseSent());
    QCOMPARE(run.last.end, TransferEnd::Success);
    QCOMPARE(run.records.size(), 400);
}

// The "w" after record 399 came but its CR did not: the time-out ends the
// transfer with RecordIndex 400. A stray CR at the start of the next one,
// after only the erase went out, must not show success.
void TestTransferProtocol::leftOverRecordIndexIsNoSuccess()
{
    TransferProtocol protocol;
    protocol.start(chart, stepCount);
    feed(protocol, {"e", "\r", "s", "\r"});
    for (int record = 1; record < 400; ++record)
        feed(protocol, {"w", "\r"});
    protocol.received("w");
    QCOMPARE(protocol.state().RecordIndex, 400);
    QCOMPARE(protocol.timeout().end, TransferEnd::Failure);

    protocol.start(chart, stepCount);
    QCOMPARE(protocol.received("\r"), TransferActions{});
    QVERIFY(protocol.running());

    const ControllerRun run = answerUntilEnd(protocol, eraseSent());
    QCOMPARE(run.records.size(), 400);
    QCOMPARE(run.last.end, TransferEnd::Success);
}

// A second start while one runs changes nothing: not the stage, nor the chart being written.
void TestTransferProtocol::secondStartWhileBusy()
{
    TransferProtocol protocol;
    protocol.start(chart, stepCount);
    feed(protocol, {"e", "\r", "s"});
    PatternTable other = chart;
    other.at(0, 0) = ElementCode::number(0);
    QCOMPARE(protocol.start(other, 5), TransferActions{});
    QVERIFY(protocol.running());
    QCOMPARE(protocol.state().TransferStage, Stage::Step);
    QCOMPARE(protocol.received("\r").writes, (Writes{"W", "00033333333\r"}));
}

void TestTransferProtocol::endings_data()
{
    QTest::addColumn<QByteArray>("event");
    QTest::addColumn<bool>("running");
    QTest::addColumn<TransferEnd>("end");
    QTest::addColumn<TransferCause>("cause");

    using C = TransferCause;
    // clang-format off
    QTest::newRow("time-out while running") << QByteArray("timeout") << true << TransferEnd::Failure << C::TimeLimit;
    QTest::newRow("time-out when idle") << QByteArray("timeout") << false << TransferEnd::None << C::None;
    QTest::newRow("port not opened while running") << QByteArray("not opened") << true << TransferEnd::Failure << C::PortNotOpened;
    QTest::newRow("write failed while running") << QByteArray("write failed") << true << TransferEnd::Failure << C::WriteFailed;
    QTest::newRow("port lost while running") << QByteArray("lost") << true << TransferEnd::Failure << C::PortLost;
    QTest::newRow("port lost when idle") << QByteArray("lost") << false << TransferEnd::None << C::None;
    QTest::newRow("stopped while running") << QByteArray("stop") << true << TransferEnd::Failure << C::Stopped;
    QTest::newRow("stopped when idle") << QByteArray("stop") << false << TransferEnd::None << C::None;
    // clang-format on
}

void TestTransferProtocol::endings()
{
    QFETCH(QByteArray, event);
    QFETCH(bool, running);
    QFETCH(TransferEnd, end);
    QFETCH(TransferCause, cause);

    TransferProtocol protocol;
    if (running) {
        protocol.start(chart, stepCount);
        feed(protocol, {"e", "\r", "s", "\r", "w"});
    }

    const TransferActions actions = event == "timeout"        ? protocol.timeout()
                                    : event == "not opened"   ? protocol.portNotOpened()
                                    : event == "write failed" ? protocol.writeFailed()
                                    : event == "stop"         ? protocol.stop()
                                                              : protocol.portLost();
    QCOMPARE(actions.end, end);
    QCOMPARE(actions.cause, cause);
    QVERIFY(actions.stopTimeout);
    QVERIFY(actions.closePort);
    QCOMPARE(actions.writes, Writes{});
    QVERIFY(!actions.openPort && !actions.startTimeout);
    QVERIFY(!protocol.running());

    // The end is final: the CR of the pending "w" sends nothing, and a second report of the
    // failure changes nothing more.
    QCOMPARE(protocol.received("\r"), TransferActions{});
    QCOMPARE(protocol.portLost().end, TransferEnd::None);
    QVERIFY(!protocol.running());
}

void TestTransferProtocol::timeLimit_data()
{
    QTest::addColumn<QList<QByteArray>>("reads"); // "start": a transfer starts
    QTest::addColumn<TransferCause>("cause");
    QTest::addColumn<int>("acknowledged");

    const QList<QByteArray> threeRecords{"start", "e", "\r", "s", "\r", "w", "\r", "w", "\r", "w", "\r", "w"};
    // clang-format off
    QTest::newRow("never answered") << QList<QByteArray>{"start"} << TransferCause::NoReply << 0;
    QTest::newRow("stray bytes are no answer") << QList<QByteArray>{"start", "\r", "x", "\r"} << TransferCause::NoReply << 0;
    QTest::newRow("erased, then too slow") << QList<QByteArray>{"start", "e", "\r"} << TransferCause::TimeLimit << 0;
    // The fourth record's "w" has come, its CR not yet.
    QTest::newRow("three records acknowledged") << threeRecords << TransferCause::TimeLimit << 3;
    // Records sent on a count carried over from a transfer cut off before were acknowledged in
    // that one, not in this.
    QTest::newRow("count carried over") << threeRecords + QList<QByteArray>{"start", "w", "\r", "w", "\r"} << TransferCause::TimeLimit << 0;
    QTest::newRow("erased again") << threeRecords + QList<QByteArray>{"\r", "e"} << TransferCause::TimeLimit << 0;
    // clang-format on
}

// A controller that never answered is "no reply"; one that answered too slowly for the whole
// transfer is told apart, with the records it acknowledged.
void TestTransferProtocol::timeLimit()
{
    QFETCH(QList<QByteArray>, reads);
    QFETCH(TransferCause, cause);
    QFETCH(int, acknowledged);

    TransferProtocol protocol;
    for (const QByteArray& read : reads) {
        if (read == "start") {
            protocol.timeout();
            QVERIFY(!protocol.start(chart, stepCount).writes.isEmpty());
        } else {
            protocol.received(read);
        }
    }
    const TransferActions actions = protocol.timeout();
    QCOMPARE(actions.end, TransferEnd::Failure);
    QCOMPARE(actions.cause, cause);
    QCOMPARE(protocol.recordsAcknowledged(), acknowledged);
}

void TestTransferProtocol::readsSinceReplySaturates()
{
    TransferProtocol protocol;
    protocol.start(chart, stepCount);
    protocol.received("e");
    for (int i = 0; i < 40000; ++i)
        protocol.received("x");
    QCOMPARE(protocol.state().ReadsSinceReply, qint16(32767));
    QCOMPARE(protocol.received("\r"), TransferActions{});
    QCOMPARE(protocol.state().ReadsSinceReply, qint16(32767));
    QCOMPARE(feed(protocol, {"e", "\r"}), Writes{"S80\r"});
}

void TestTransferProtocol::unsendableChart_data()
{
    QTest::addColumn<int>("stepCount");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("channel");
    QTest::addColumn<ElementCode>("value");
    QTest::addColumn<bool>("sendable");

    using E = ElementCode;
    QTest::newRow("step count 0") << 0 << 0 << 0 << E::number(3) << false;
    QTest::newRow("step count 81") << 81 << 0 << 0 << E::number(3) << false;
    QTest::newRow("step count -1") << -1 << 0 << 0 << E::number(3) << false;
    QTest::newRow("empty cell") << 80 << 0 << 0 << E() << false;
    QTest::newRow("number 10 in the last cell") << 80 << 79 << 39 << E::number(10) << false;
    QTest::newRow("number 3.5") << 80 << 40 << 17 << E::number(3.5) << false;
    QTest::newRow("text 3") << 80 << 12 << 8 << E::text("3") << false;
    QTest::newRow("two-character text") << 80 << 12 << 8 << E::text("::") << false;
    QTest::newRow("bad cell beyond the step count") << 1 << 79 << 0 << E::text("@") << false;
    QTest::newRow("unused channel 40") << 80 << 0 << 40 << E::text("@") << true;
    QTest::newRow("unused step 80") << 80 << 80 << 0 << E::number(99) << true;
    QTest::newRow("floating 3 is OFF") << 80 << 5 << 5 << E::number(3.0) << true;
}

void TestTransferProtocol::unsendableChart()
{
    QFETCH(int, stepCount);
    QFETCH(int, step);
    QFETCH(int, channel);
    QFETCH(ElementCode, value);
    QFETCH(bool, sendable);

    chart.at(step, channel) = value;
    const std::optional<SendFault> fault = firstSendFault(chart, qint16(stepCount));
    QCOMPARE(fault.has_value(), !sendable);
    TransferProtocol protocol;
    const TransferActions actions = protocol.start(chart, qint16(stepCount));
    if (sendable) {
        QCOMPARE(actions.writes, Writes{"E\r"});
        return;
    }
    // The step count is named before any cell.
    if (stepCount < 1 || stepCount > 80) {
        QCOMPARE(fault->kind, SendFault::Kind::StepCount);
        QCOMPARE(fault->stepCount, stepCount);
    } else {
        QCOMPARE(fault->kind, SendFault::Kind::Cell);
        QCOMPARE(fault->step, step);
        QCOMPARE(fault->channel, channel);
        QVERIFY(fault->value == value);
    }
    QCOMPARE(actions.end, TransferEnd::Failure);
    QCOMPARE(actions.cause, TransferCause::UnsendableChart);
    QCOMPARE(actions.writes, Writes{});
    QVERIFY(!actions.openPort && !actions.startTimeout);
    QVERIFY(actions.stopTimeout);
    QVERIFY(!protocol.running());
}

// Of several faults the first in step order is named, in the words the window and the
// command-line writer show.
void TestTransferProtocol::firstFaultInStepOrder()
{
    chart.at(10, 5) = ElementCode::text("@");
    chart.at(3, 38) = ElementCode::text("a\tb");
    chart.at(3, 39) = ElementCode::number(16);
    const std::optional<SendFault> fault = firstSendFault(chart, 80);
    QVERIFY(fault);
    QCOMPARE(sendFaultText(*fault),
             "ステップ 4 の H4 の値 \"a\\tb\" は16の要素のどれでもないため、コントローラに送れません。");
    QCOMPARE(sendFaultText(*firstSendFault(chart, 0)), "ステップ数 0 はコントローラに送れません（1～80）。");
}

QTEST_APPLESS_MAIN(TestTransferProtocol)
#include "tst_transferprotocol.moc"
