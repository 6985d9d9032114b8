#include "FileBytes.h"
#include "ReadOnlyFolder.h"
#include "SimulatorProcess.h"
#include "SmallFileSystem.h"
#include "chart/PatternTable.h"
#include "files/PatternFile.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

namespace {
// How long a test waits for a reply that must come. A reply comes within a
// millisecond; the limit only bounds a hang, for on a busy machine the reply
// to the last record waits for the received chart to reach the disk.
constexpr int ReplyLimitMs = 30000;

// The simulator as a user runs it, with the terminal it names opened the way
// the programmer opens its port.
class SimulatorRun
{
public:
    explicit SimulatorRun(const QStringList& arguments)
    {
        if (!m_simulator.start(arguments))
            return;
        m_port.setPortName(m_simulator.device());
        openPort();
    }

    bool opened() const { return m_opened; }
    void closePort() { m_port.close(); }
    void openPort()
    {
        m_opened = m_port.open(QIODevice::ReadWrite) && m_port.setBaudRate(57600) &&
                   m_port.setFlowControl(QSerialPort::NoFlowControl);
    }
    QProcess& process() { return m_simulator.process(); }
    QSerialPort& port() { return m_port; }

    // Writes each part as a write of its own.
    void send(const QList<QByteArray>& parts)
    {
        for (const QByteArray& part : parts)
            m_port.write(part);
        m_port.flush();
    }

    // Everything that arrives until a CR came or the time is up.
    QByteArray readThroughCR(int timeoutMs = ReplyLimitMs)
    {
        QByteArray got;
        const QDeadlineTimer deadline(timeoutMs);
        while (!got.endsWith('\r') && !deadline.hasExpired()) {
            if (m_port.bytesAvailable() == 0 && !m_port.waitForReadyRead(int(deadline.remainingTime())))
                break;
            got += m_port.read(1);
        }
        return got;
    }

    // Ends a simulator that serves on and gives its exit status.
    int stop()
    {
        m_port.close();
        return m_simulator.stop();
    }

private:
    SimulatorProcess m_simulator;
    QSerialPort m_port;
    bool m_opened = false;
};

// Stops the simulator and checks its exit status and that its report holds the
// violation, or nothing at all when none is expected.
void stopAndCheckReport(SimulatorRun& simulator, const QString& violation)
{
    QCOMPARE(simulator.stop(), violation.isEmpty() ? 0 : 1);
    const QString errors = QString::fromLocal8Bit(simulator.process().readAllStandardError());
    if (violation.isEmpty())
        QCOMPARE(errors, QString());
    else
        QVERIFY2(errors.startsWith("violation: ") && errors.contains(violation), qPrintable(errors));
}

QByteArray recordLine(const PatternTable& chart, int record)
{
    QByteArray line = QByteArray::number(record).rightJustified(3, '0');
    for (int i = 0; i < 8; ++i)
        line += chart.at(record / 5, record % 5 * 8 + i).toText().toLatin1();
    return line + '\r';
}

PatternTable variedChart(int factor)
{
    PatternTable chart;
    for (int step = 0; step < 80; ++step)
        for (int channel = 0; channel < 40; ++channel)
            chart.at(step, channel) = ElementCode::ofOrdinal((step * factor + channel * 5) % 16);
    return chart;
}

// One whole transfer as the programmer makes it, each message after the
// answer to the one before; gives all the answers, up to the first one missing.
QByteArray transfer(SimulatorRun& simulator, const PatternTable& chart, const QByteArray& stepCountMessage)
{
    QList<QList<QByteArray>> messages{{"E\r"}, {stepCountMessage}};
    for (int record = 0; record < 400; ++record)
        messages.append({"W", recordLine(chart, record)});
    QByteArray replies;
    for (const QList<QByteArray>& message : messages) {
        simulator.send(message);
        const QByteArray reply = simulator.readThroughCR();
        replies += reply;
        if (!reply.endsWith('\r'))
            break;
    }
    return replies;
}

const QByteArray WholeTransferReplies = "e\rs\r" + QByteArray("w\r").repeated(400);
} // namespace

class TestSimulator : public QObject
{
    Q_OBJECT

private slots:
    void wholeTransfer();
    void repeatedTransfers();
    void fullDiskKeepsOldFile_data();
    void fullDiskKeepsOldFile();
    void exchanges_data();
    void exchanges();
    void lineSettings_data();
    void lineSettings();
    void latencyHoldsReplies();
    void badLatency_data();
    void badLatency();
    void setUpHint_data();
    void setUpHint();
};

void TestSimulator::wholeTransfer()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString received = dir.filePath(QStringLiteral("received.txt"));
    SimulatorRun simulator({"--once", "--trace", "--output", received});
    QVERIFY(simulator.opened());

    const PatternTable chart = variedChart(7);
    QCOMPARE(transfer(simulator, chart, "S37\r"), WholeTransferReplies);

    QProcess& process = simulator.process();
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(process.readAllStandardError(), QByteArray());

    QFile file(received);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), formatPatternFile(chart, 37));

    // Every letter and every CR went out in a write of its own.
    int sent = 0;
    int messages = 0;
    for (const QByteArray& line : process.readAllStandardOutput().split('\n')) {
        if (line.startsWith("sent ")) {
            ++sent;
            QVERIFY2(line == R"(sent "\r")" || (line.size() == 8 && QByteArray("esw").contains(line[6])),
                     line.constData());
        }
        messages += line.startsWith("recv ");
    }
    QCOMPARE(sent, 804);
    QCOMPARE(messages, 402);
}

// The simulator serves on, over the port closed and opened again, and each
// whole transfer replaces the file.
void TestSimulator::repeatedTransfers()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString received = dir.filePath(QStringLiteral("received.txt"));
    SimulatorRun simulator({"--output", received});
    QVERIFY(simulator.opened());

    QCOMPARE(transfer(simulator, variedChart(3), "S80\r"), WholeTransferReplies);
    simulator.closePort();
    simulator.openPort();
    QVERIFY(simulator.opened());
    // A transfer given up half-way, then a whole one.
    simulator.send({"E\r"});
    QCOMPARE(simulator.readThroughCR(), QByteArray("e\r"));
    QCOMPARE(transfer(simulator, variedChart(11), "S01\r"), WholeTransferReplies);

    QCOMPARE(simulator.stop(), 0);
    QCOMPARE(simulator.process().readAllStandardError(), QByteArray());
    QFile file(received);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), formatPatternFile(variedChart(11), 1));
}

// A chart that cannot be written leaves the file of the transfer before as it
// was, says why and fails the run, also where the disk took part of it.
void TestSimulator::fullDiskKeepsOldFile_data()
{
    QTest::addColumn<int>("bytesLeft");
    QTest::newRow("full") << 0;
    QTest::newRow("4 KB left") << 4096;
}

void TestSimulator::fullDiskKeepsOldFile()
{
    QFETCH(int, bytesLeft);
    SmallFileSystem disk("size=64k");
    if (!disk.isMounted())
        QSKIP(qPrintable(disk.whyNotMounted()));
    const QString received = disk.filePath(QStringLiteral("received.txt"));
    const QByteArray old = formatPatternFile(variedChart(3), 80);
    QVERIFY(writeFile(received, old));
    QVERIFY(disk.fillBlocks());
    const QString filler = disk.filePath(QStringLiteral("filler"));
    QVERIFY(QFile::resize(filler, QFileInfo(filler).size() - bytesLeft));

    SimulatorRun simulator({"--once", "--output", received});
    QVERIFY(simulator.opened());
    QCOMPARE(transfer(simulator, variedChart(7), "S37\r"), WholeTransferReplies);

    QProcess& process = simulator.process();
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 1);
    const QString errors = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(
        errors.startsWith("trv5kb-simulator: transfer 1 complete, but the chart could not be written to " +
                          received + " (the file is left as it was): ") &&
            errors.endsWith(": ディスクの空きが足りません\n") && errors.count('\n') == 1,
        qPrintable(errors));
    QVERIFY(!process.readAllStandardOutput().contains("written"));
    QCOMPARE(readFile(received), old);
    QCOMPARE(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden),
             (QStringList{"filler", "received.txt"}));
}

// A short transfer of 5 steps, or a broken one. Each message waits for its
// answer (up to a CR) before the next goes out, unless it is marked "~" as
// one that gets none. A last erase, which is always answered, shows that
// nothing else was answered before it, so no test waits on the clock.
void TestSimulator::exchanges_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("messages");
    QTest::addColumn<QByteArray>("replies");
    QTest::addColumn<QString>("violation"); // a part of the report on standard error
    QTest::addColumn<bool>("hangsUp");

    const QByteArray transfer = "E\r|S05\r|W|00012345678\r|W|00100000000\r|W|002:;<=>?:;\r|W|00333333333\r|"
                                "W|00433333333\r|E\r";
    const QByteArray allReplies = "e\rs\rw\rw\rw\rw\rw\re\r";
    // clang-format off
    QTest::newRow("plain")          << QStringList{} << transfer << allReplies << QString() << false;
    QTest::newRow("paced")          << QStringList{"--paced"} << transfer << allReplies << QString() << false;
    QTest::newRow("joined replies") << QStringList{"--joined-replies"} << transfer << allReplies << QString() << false;
    QTest::newRow("garbage")        << QStringList{"--garbage"} << transfer << QByteArray("e\r#s\r\nw\r\0w\r\xffw\rEw\r w\r#e\r", 23) << QString() << false;
    QTest::newRow("silent after 3") << QStringList{"--silent-after", "3"} << QByteArray(transfer).replace("W|003", "W|~003").replace("W|004", "W|~004") << QByteArray("e\rs\rw\rw\rw\re\r") << QString() << false;
    QTest::newRow("silent until the next erase") << QStringList{"--silent-after", "0"} << QByteArray("E\r|S05\r|W|~00012345678\r|E\r|S80\r") << QByteArray("e\rs\re\rs\r") << QString() << false;
    QTest::newRow("hang-up after 2") << QStringList{"--hangup-after", "2"} << QByteArray("E\r|S05\r|W|00012345678\r|W|00100000000\r|W|~00233333333\r") << QByteArray("e\rs\rw\rw\r") << QString() << true;

    QTest::newRow("step count before the erase")  << QStringList{} << QByteArray("~S05\r|E\r") << QByteArray("e\r") << "without an erase" << false;
    QTest::newRow("step count 81")                << QStringList{} << QByteArray("E\r|~S81\r|E\r") << QByteArray("e\re\r") << "outside 01 to 80" << false;
    QTest::newRow("step count 00")                << QStringList{} << QByteArray("E\r|~S00\r|E\r") << QByteArray("e\re\r") << "outside 01 to 80" << false;
    QTest::newRow("record out of turn")           << QStringList{} << QByteArray("E\r|S05\r|W|00012345678\r|W|~00212345678\r|E\r") << QByteArray("e\rs\rw\re\r") << "record 002 where 001 was due" << false;
    QTest::newRow("no element character")         << QStringList{} << QByteArray("E\r|S05\r|W|~000123@5678\r|E\r") << QByteArray("e\rs\re\r") << "element code" << false;
    QTest::newRow("record without its CR")        << QStringList{} << QByteArray("E\r|S05\r|W|~000123456789|E\r") << QByteArray("e\rs\re\r") << "no CR" << false;
    QTest::newRow("record before the step count") << QStringList{} << QByteArray("E\r|W|~00012345678\r|E\r") << QByteArray("e\re\r") << "before the step count" << false;
    QTest::newRow("message before the reply")     << QStringList{} << QByteArray("E\rS05\r|E\r") << QByteArray("e\rs\re\r") << "sent before the reply" << false;
    QTest::newRow("stray bytes")                  << QStringList{} << QByteArray("~xyz\r|E\r") << QByteArray("e\r") << "outside a message" << false;
    // clang-format on
}

void TestSimulator::exchanges()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, messages);
    QFETCH(QByteArray, replies);
    QFETCH(QString, violation);
    QFETCH(bool, hangsUp);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    SimulatorRun simulator(arguments + QStringList{"--output", dir.filePath("received.txt")});
    QVERIFY(simulator.opened());

    QByteArray got;
    for (QByteArray part : messages.split('|')) {
        const bool answered = part != "W" && !part.startsWith('~');
        if (part.startsWith('~'))
            part.remove(0, 1);
        simulator.send({part});
        // One reply for each message, and each message ends with a CR.
        for (qsizetype messagesSent = part.count('\r'); answered && messagesSent > 0; --messagesSent)
            got += simulator.readThroughCR();
    }
    QCOMPARE(got, replies);

    QProcess& process = simulator.process();
    if (hangsUp) {
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), 0);
        return;
    }
    stopAndCheckReport(simulator, violation);
}

// The simulator leaves the terminal at settings the controller does not use,
// so a programmer that does not set the line up is caught.
void TestSimulator::lineSettings_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QString>("fault"); // empty: no fault

    // clang-format off
    QTest::newRow("57,600 baud, 1 stop bit") << "" << "";
    QTest::newRow("9600 baud") << "baud" << "not 57,600 baud";
    QTest::newRow("2 stop bits") << "stop" << "2 stop bits";
    QTest::newRow("hardware flow control") << "flow" << "flow control on";
    // clang-format on
}

void TestSimulator::lineSettings()
{
    QFETCH(QString, setting);
    QFETCH(QString, fault);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    SimulatorRun simulator({"--output", dir.filePath("received.txt")});
    QVERIFY(simulator.opened());
    QSerialPort& port = simulator.port();
    if (setting == "baud")
        QVERIFY(port.setBaudRate(9600));
    else if (setting == "stop")
        QVERIFY(port.setStopBits(QSerialPort::TwoStop));
    else if (setting == "flow")
        QVERIFY(port.setFlowControl(QSerialPort::HardwareControl));

    simulator.send({"E\r"});
    QCOMPARE(simulator.readThroughCR(), QByteArray("e\r"));
    stopAndCheckReport(simulator, fault.isEmpty() ? fault : "line settings at the erase message: " + fault);
}

// Behind a 100 ms latency timer each reply waits for the next tick, and the
// next message can only follow the reply: ten exchanges take ten ticks at least.
// Load cannot break the bound, only lengthen the exchanges: the first reply
// waits for a tick after the clock started and each later one for a tick
// after the one before, so the tenth comes 900 ms after the start at the
// earliest, by the same monotonic clock in both processes.
void TestSimulator::latencyHoldsReplies()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    SimulatorRun simulator({"--latency", "100", "--output", dir.filePath("received.txt")});
    QVERIFY(simulator.opened());

    simulator.send({"E\r"});
    QCOMPARE(simulator.readThroughCR(), QByteArray("e\r"));
    QElapsedTimer clock;
    clock.start();
    QByteArray replies;
    for (int i = 0; i < 10; ++i) {
        simulator.send({"E\r"});
        replies += simulator.readThroughCR();
    }
    const qint64 elapsed = clock.elapsed();
    QCOMPARE(replies, QByteArray("e\r").repeated(10));
    QVERIFY2(elapsed >= 900, qPrintable(QString::number(elapsed)));
    stopAndCheckReport(simulator, QString());
}

void TestSimulator::badLatency_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("0") << "0";
    QTest::newRow("over a second") << "1001";
    QTest::newRow("not a number") << "16ms";
}

void TestSimulator::badLatency()
{
    QFETCH(QString, value);
    SimulatorProcess simulator;
    QVERIFY(!simulator.start({"--latency", value}));
    QCOMPARE(simulator.process().state(), QProcess::NotRunning);
    QCOMPARE(simulator.process().exitCode(), 2);
    QVERIFY2(simulator.errorString().contains("--latency"), qPrintable(simulator.errorString()));
}

// The hint names the Setting.ini the window reads: beside the programs in a
// build folder; where the simulator is installed on bin/ and the window in a
// folder of its own, that folder's file, or the user's when that folder is
// not theirs, with the command that makes the user's folder while it is missing.
void TestSimulator::setUpHint_data()
{
    QTest::addColumn<QString>("layout");     // "build", "installed" or "installed, read-only"
    QTest::addColumn<bool>("configFolder");  // the user's configuration folder exists
    QTest::addColumn<QString>("settings");   // <program> the program folder, <config> the configuration home
    QTest::addColumn<QString>("makeFolder"); // the same

    // clang-format off
    QTest::newRow("build folder") << "build" << false << "<program>/Setting.ini" << "";
    QTest::newRow("installed, program folder writable") << "installed" << false << "<program>/Setting.ini" << "";
    QTest::newRow("installed, no configuration folder yet") << "installed, read-only" << false << "<config>/trv5kb-programmer/Setting.ini" << "mkdir -p <config>/trv5kb-programmer";
    QTest::newRow("configuration home with a blank") << "installed, read-only" << false << "<config>/trv5kb-programmer/Setting.ini" << "mkdir -p '<config>/trv5kb-programmer'";
    QTest::newRow("installed, configuration folder there") << "installed, read-only" << true << "<config>/trv5kb-programmer/Setting.ini" << "";
    // clang-format on
}

void TestSimulator::setUpHint()
{
    QFETCH(QString, layout);
    QFETCH(bool, configFolder);
    QFETCH(QString, settings);
    QFETCH(QString, makeFolder);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString configHome = dir.filePath(makeFolder.contains('\'') ? "my config" : "config");
    QVERIFY(QDir().mkpath(configFolder ? configHome + "/trv5kb-programmer" : configHome));
    QString simulator = SimulatorProcess::program();
    QString programFolder = QFileInfo(simulator).absolutePath();
    std::optional<ReadOnlyFolder> readOnly;
    if (layout != "build") {
        // As `cmake --install` lays it out.
        programFolder = dir.filePath("usr/lib/trv5kb-programmer");
        QVERIFY(QDir().mkpath(programFolder));
        QVERIFY(QDir().mkpath(dir.filePath("usr/bin")));
        QVERIFY(writeFile(programFolder + "/trv5kb-programmer", "the window"));
        QVERIFY(QFile::copy(simulator, dir.filePath("usr/bin/trv5kb-simulator")));
        simulator = dir.filePath("usr/bin/trv5kb-simulator");
        QVERIFY(QFile::setPermissions(simulator, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        if (layout.endsWith("read-only")) {
            readOnly.emplace(programFolder);
            if (!readOnly->failure().isEmpty())
                QSKIP(qPrintable(readOnly->failure()));
        }
    }

    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", configHome);
    process.setProcessEnvironment(environment);
    const QString received = dir.filePath("received.txt");
    process.start(simulator, {"--output", received});
    QByteArray shown;
    const QDeadlineTimer deadline(10000);
    while (!shown.contains("Ctrl+C.") && !deadline.hasExpired() && process.state() != QProcess::NotRunning) {
        process.waitForReadyRead(100);
        shown += process.readAllStandardOutput();
    }
    process.terminate();
    QVERIFY(process.waitForFinished(10000));

    const QStringList lines = QString::fromUtf8(shown).split('\n', Qt::SkipEmptyParts);
    QVERIFY2(!lines.isEmpty() && lines[0].startsWith("DEVICE=/dev/"), shown.constData());
    const QString device = lines[0].mid(7);
    const auto inPlace = [&](QString text) {
        return text.replace("<program>", programFolder).replace("<config>", configHome);
    };
    QStringList expected{"DEVICE=" + device,
                         "The controller simulator answers on " + device +
                             ". To use it, put these lines into the programmer's settings file",
                         inPlace(settings)};
    if (!makeFolder.isEmpty())
        expected << "(its folder does not exist yet; make it first: " + inPlace(makeFolder) + ")";
    expected << "    [Ports]"
             << "    COM3=" + device
             << "choose COM3 and press 書込. Each chart received goes to " + received + ". Stop with Ctrl+C.";
    QCOMPARE(lines, expected);
    // Nothing is made: the user's folder only by the command shown.
    QCOMPARE(QFileInfo::exists(configHome + "/trv5kb-programmer"), configFolder);
}

QTEST_GUILESS_MAIN(TestSimulator)
#include "tst_simulator.moc"
