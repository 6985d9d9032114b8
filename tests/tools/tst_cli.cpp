#include "ChartText.h"
#include "FileBytes.h"
#include "SimulatorProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#if defined(Q_OS_LINUX)
#include <pty.h>
#else
#include <util.h>
#endif
#endif

namespace {

// The time-out given to a transfer that must end by itself: the controller's
// 15 s may not be enough for a whole transfer on a busy machine, and the test
// is not about it. This only bounds a hang; the program's own run is bounded
// a little later, so that a hung transfer still ends with the writer's report.
constexpr int HangLimitMs = 60000;
constexpr int RunLimitMs = HangLimitMs + 30000;

// OFF everywhere but UP on A1 of steps 1 to 10, ON-1/2 on C3 of step 2 and DOWN on H5 of step
// 50, which lies beyond the step count 37.
QByteArray goodFile()
{
    return patternFileOf(
        [](int step, int channel) -> QByteArray {
            if (channel == 0 && step < 10)
                return "0";
            if (step == 1 && channel == 12)
                return "\":\"";
            if (step == 49 && channel == 39)
                return "1";
            return "3";
        },
        "37");
}

// The good file with two values that are no element: the number 10 on B4 of step 5, the text
// X on B5 of step 6.
QByteArray unsendableFile()
{
    return patternFileOf(
        [](int step, int channel) -> QByteArray {
            if (step == 4 && channel == 8)
                return "10";
            if (step == 5 && channel == 9)
                return "\"X\"";
            return "3";
        },
        "80");
}

struct Result
{
    int code = -1;
    QString out;
    QString err;
};

} // namespace

// The command-line writer run as a user runs it, from a program folder of its
// own whose Setting.ini maps COMn, against files in a temporary folder and
// the controller simulator on a pseudo-terminal.
class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void helpAndVersion();
    void badUsage_data();
    void badUsage();
    void check_data();
    void check();
    void show_data();
    void show();
    void write_data();
    void write();
    void progressOnTerminal();

private:
    // `whileRunning`, when given, is called every few milliseconds until the program ends.
    Result run(const QStringList& arguments, const std::function<void(QProcess&)>& prepare = {},
               const std::function<void()>& whileRunning = {});
    QString file(const QString& name, const QByteArray& bytes);

    QTemporaryDir m_dir;
    QString m_program;
};

void TestCli::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir(m_dir.path()).mkpath("program"));
    m_program = m_dir.filePath("program/trv5kb");
    QVERIFY(QFile::copy(TRV_CLI, m_program));
    QVERIFY(QFile::setPermissions(m_program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

Result TestCli::run(const QStringList& arguments, const std::function<void(QProcess&)>& prepare,
                    const std::function<void()>& whileRunning)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", m_dir.filePath("config"));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(m_dir.path());
    if (prepare)
        prepare(process);
    process.start(m_program, arguments);
    Result result;
    const QDeadlineTimer deadline(RunLimitMs);
    while (!process.waitForFinished(whileRunning ? 5 : RunLimitMs) &&
           process.state() != QProcess::NotRunning && !deadline.hasExpired())
        if (whileRunning)
            whileRunning();
    if (process.state() != QProcess::NotRunning || process.exitStatus() != QProcess::NormalExit)
        return result;
    result.code = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

QString TestCli::file(const QString& name, const QByteArray& bytes)
{
    const QString path = m_dir.filePath(name);
    return writeFile(path, bytes) ? path : QString();
}

void TestCli::helpAndVersion()
{
    const Result help = run({"--help"});
    QCOMPARE(help.code, 0);
    QCOMPARE(help.err, "");
    for (const char* usage : {"使い方: trv5kb", "ports", "check FILE", "show FILE [--group A-H]",
                              "write FILE --port PORT", "--version", "終了ステータス"})
        QVERIFY2(help.out.contains(QString::fromUtf8(usage)), usage);
    QVERIFY(!help.out.contains("timeout"));

    const Result version = run({"--version"});
    QCOMPARE(version.code, 0);
    QCOMPARE(version.out, "trv5kb " TRV_VERSION "\n");
    QCOMPARE(version.err, "");
}

void TestCli::badUsage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("reason");

    QTest::newRow("nothing") << QStringList{}
                             << "サブコマンド（ports、check、show、write）を指定してください";
    QTest::newRow("unknown subcommand") << QStringList{"erase"} << "「erase」というサブコマンドはありません";
    QTest::newRow("unknown option") << QStringList{"ports", "--fast"}
                                    << "「--fast」というオプションはありません";
    QTest::newRow("no file") << QStringList{"check"} << "check にはパターンファイルを指定してください";
    QTest::newRow("two files") << QStringList{"show", "a.txt", "b.txt"} << "余分な引数「b.txt」があります";
    QTest::newRow("group for write") << QStringList{"write", "a.txt", "--port", "COM3", "--group", "A"}
                                     << "write には --group を指定できません";
    QTest::newRow("port for check") << QStringList{"check", "a.txt", "--port", "COM3"}
                                    << "check には --port を指定できません";
    QTest::newRow("group I") << QStringList{"show", "a.txt", "--group", "I"}
                             << "--group には A から H のどれかを指定してください";
    QTest::newRow("write without port")
        << QStringList{"write", "a.txt"} << "write には --port で書き込むポートを指定してください";
    QTest::newRow("port without value")
        << QStringList{"write", "a.txt", "--port"} << "オプション「--port」には値が要ります";
    QTest::newRow("COM21") << QStringList{"write", "a.txt", "--port", "COM21"}
                           << "「COM21」はポートの名前ではありません（COM1～COM20、または /dev/ttyUSB0 "
                              "のようなデバイスのパス）";
    QTest::newRow("path out of /dev") << QStringList{"write", "a.txt", "--port", "/dev/../tmp/x"}
                                      << "「/dev/../tmp/x」はポートの名前ではありません（COM1～COM20、または "
                                         "/dev/ttyUSB0 のようなデバイスのパス）";
}

// One line on standard error, exit status 2, and nothing done.
void TestCli::badUsage()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, reason);
    const Result result = run(arguments);
    QCOMPARE(result.code, 2);
    QCOMPARE(result.out, "");
    QCOMPARE(result.err, "trv5kb: " + reason + "（使い方は trv5kb --help）\n");
}

void TestCli::check_data()
{
    QTest::addColumn<QByteArray>("bytes"); // "(none)": no such file
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err"); // "%1" stands for the file as given

    QTest::newRow("good") << goodFile() << 0
                          << "ステップ数：37（ステップ 1～37 を使用）\n"
                             "グループA：UP, OFF\nグループB：OFF\nグループC：OFF, ON-1/2\nグループD：OFF\n"
                             "グループE：OFF\nグループF：OFF\nグループG：OFF\nグループH：OFF\n"
                          << "";
    QTest::newRow("values that are no element")
        << unsendableFile() << 1
        << "ステップ数：80（ステップ 1～80 を使用）\n"
           "グループA：OFF\nグループB：OFF（要素でない値：10, \"X\"）\nグループC：OFF\nグループD：OFF\n"
           "グループE：OFF\nグループF：OFF\nグループG：OFF\nグループH：OFF\n"
        << "ステップ 5 の B4 の値 10 は16の要素のどれでもないため、コントローラに送れません。\n";
    QByteArray stepCount0 = goodFile();
    stepCount0.replace("\r\n37\r\n", "\r\n0\r\n");
    QTest::newRow("step count 0")
        << stepCount0 << 1
        << "ステップ数：0（1～80 の外。以下は 80 ステップすべて）\n"
           "グループA：UP, OFF\nグループB：OFF\nグループC：OFF, ON-1/2\nグループD：OFF\n"
           "グループE：OFF\nグループF：OFF\nグループG：OFF\nグループH：DOWN, OFF\n"
        << "ステップ数 0 はコントローラに送れません（1～80）。\n";
    // Refused as the window refuses it, with the window's words.
    QTest::newRow("cut short") << goodFile().left(1000) << 1 << ""
                               << "「%1」：ファイルが壊れています（値が足りません）。\n";
    QTest::newRow("missing") << QByteArray("(none)") << 1 << ""
                             << "「%1」：ファイルが見つかりません。\n";
}

void TestCli::check()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, code);
    QFETCH(QString, out);
    QFETCH(QString, err);

    const QString path = bytes == "(none)" ? m_dir.filePath("missing.txt") : file("check.txt", bytes);
    const Result result = run({"check", path});
    QCOMPARE(result.out, out);
    QCOMPARE(result.err, err.contains("%1") ? err.arg(path) : err);
    QCOMPARE(result.code, code);
}

void TestCli::show_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("lines"); // line number, then the line

    QTest::newRow("group C") << goodFile() << QStringList{"--group", "c"}
                             << QStringList{"0",  "ステップ数：37　グループC",
                                            "1",  "ステップ  C1      C2      C3      C4      C5",
                                            "2",  "       1  OFF     OFF     OFF     OFF     OFF",
                                            "3",  "       2  OFF     OFF     ON-1/2  OFF     OFF",
                                            "38", "      37  OFF     OFF     OFF     OFF     OFF",
                                            "39", "（ここまでがステップ数 37 の使用範囲）",
                                            "40", "      38  OFF     OFF     OFF     OFF     OFF",
                                            "82", "      80  OFF     OFF     OFF     OFF     OFF"};
    QTest::newRow("values as they stand")
        << unsendableFile() << QStringList{"--group", "B"}
        << QStringList{"1", "ステップ  B1   B2   B3   B4   B5",    "6",  "       5  OFF  OFF  OFF  10   OFF",
                       "7", "       6  OFF  OFF  OFF  OFF  \"X\"", "81", "      80  OFF  OFF  OFF  OFF  OFF"};
    QString header = "ステップ";
    QString step50 = "      50";
    for (int channel = 0; channel < 40; ++channel) {
        header += QStringLiteral("  %1%2    ").arg(QChar('A' + channel / 5)).arg(channel % 5 + 1);
        step50 += channel == 39 ? "  DOWN" : "  OFF   ";
    }
    QTest::newRow("all groups") << goodFile() << QStringList{}
                                << QStringList{"1", header.trimmed(), "52", step50};
}

// Steps down, channels across, element captions; the line after the steps in use.
void TestCli::show()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, lines);

    const Result result = run(QStringList{"show", file("show.txt", bytes)} + arguments);
    QCOMPARE(result.err, "");
    QCOMPARE(result.code, 0);
    const QStringList shown = result.out.split('\n');
    QCOMPARE(shown.size(), (bytes.endsWith("\r\n80\r\n") ? 82 : 83) + 1);
    for (int i = 0; i < lines.size(); i += 2)
        QCOMPARE(shown.value(lines[i].toInt()), lines[i + 1]);

    const Result broken = run({"show", file("broken.txt", bytes.left(100))});
    QCOMPARE(broken.code, 1);
    QCOMPARE(broken.out, "");
    QVERIFY2(broken.err.endsWith("broken.txt」：ファイルが壊れています（値が足りません）。\n"),
             qPrintable(broken.err));
}

void TestCli::write_data()
{
    QTest::addColumn<QStringList>("simulator");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("port"); // "device": the simulator's terminal by its path
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("lastLine"); // how the last line begins
    QTest::addColumn<QString>("err");      // what standard error begins with, "" for nothing
    // --timeout-ms; 0 for none, where the transfer ends before its time-out starts
    QTest::addColumn<int>("timeoutMs");

    QTest::newRow("COM3 of Setting.ini") << QStringList{} << goodFile() << "COM3" << 0 << "成功"
                                         << "" << HangLimitMs;
    QTest::newRow("device path, paced")
        << QStringList{"--paced"} << unsendableFile().replace("10", "9").replace("\"X\"", "\"?\"") << "device"
        << 0 << "成功"
        << "" << HangLimitMs;
    // However early or late the short time-out comes, it ends the transfer alike: the controller
    // answers nothing after record 3.
    QTest::newRow("silent after 3 records") << QStringList{"--silent-after", "3"} << goodFile() << "COM3" << 1
                                            << "失敗：コントローラーから時間内に応答がありませんでした。"
                                            << "失敗：" << 500;
    QTest::newRow("hang-up after 5 records") << QStringList{"--hangup-after", "5"} << goodFile() << "COM3"
                                             << 1 << "失敗：通信中にポートが使えなくなりました（"
                                             << "失敗：" << HangLimitMs;
    QTest::newRow("port cannot be opened") << QStringList{} << goodFile() << "COM4" << 1
                                           << "失敗：ポート「COM4」を開けません（COM4 (/dev/no-such-tty): "
                                           << "接続されているシリアルデバイス" << 0;
    QTest::newRow("unsendable chart")
        << QStringList{} << unsendableFile() << "COM3" << 1
        << "失敗：送れない値があります：ステップ数は 1～80、各セルは16の要素のどれかでなければなりません。"
        << "ステップ 5 の B4 の値 10 は16の要素のどれでもないため、コントローラに送れません。\n失敗：" << 0;
}

// The window's transfer into the controller simulator; the last line says how it ended.
void TestCli::write()
{
    QFETCH(QStringList, simulator);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, port);
    QFETCH(int, code);
    QFETCH(QString, lastLine);
    QFETCH(QString, err);
    QFETCH(int, timeoutMs);

    const QString received = m_dir.filePath("received.txt");
    QFile::remove(received);
    SimulatorProcess controller;
    QVERIFY2(controller.start(QStringList{"--output", received} + simulator),
             qPrintable(controller.errorString()));
    QVERIFY(!file("program/Setting.ini",
                  "[Ports]\r\nCOM3=" + controller.device().toLocal8Bit() + "\r\nCOM4=/dev/no-such-tty\r\n")
                 .isEmpty());

    QStringList arguments{"write", file("chart.txt", bytes), "--port",
                          port == "device" ? controller.device() : port};
    if (timeoutMs > 0)
        arguments << "--timeout-ms" << QString::number(timeoutMs);
    const Result result = run(arguments);
    QCOMPARE(result.code, code);
    const QStringList lines = (code == 0 ? result.out : result.err).split('\n', Qt::SkipEmptyParts);
    QVERIFY2(!lines.isEmpty() && lines.last().startsWith(lastLine), qPrintable(result.out + result.err));
    QVERIFY2(err.isEmpty() ? result.err.isEmpty() : result.err.startsWith(err), qPrintable(result.err));
    QCOMPARE(result.out, code == 0 ? "成功\n" : "");

    // Success: the controller holds the chart, byte for byte as the file has it. Otherwise
    // nothing whole reached it; a chart that cannot be sent never reaches the line at all.
    const int exit = controller.stop();
    const QByteArray report = controller.errors();
    if (code == 0) {
        QCOMPARE(readFile(received), bytes);
    } else {
        QVERIFY(!QFile::exists(received));
    }
    if (!simulator.contains("--hangup-after")) {
        QCOMPARE(exit, 0);
        QCOMPARE(report, QByteArray());
    }
}

// On a terminal, standard error shows the records written so far; without one it stays empty
// (see write).
void TestCli::progressOnTerminal()
{
#ifndef Q_OS_UNIX
    QSKIP("needs a pseudo-terminal");
#else
    SimulatorProcess controller;
    QVERIFY2(controller.start({"--output", m_dir.filePath("received.txt")}),
             qPrintable(controller.errorString()));
    int master = -1, slave = -1;
    QVERIFY(::openpty(&master, &slave, nullptr, nullptr, nullptr) == 0);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    QByteArray terminal;
    // The terminal is read while the program writes, as a terminal window does.
    const auto readTerminal = [&] {
        char buffer[4096];
        for (ssize_t got; (got = ::read(master, buffer, sizeof buffer)) > 0;)
            terminal.append(buffer, got);
    };
    const Result result = run(
        {"write", file("chart.txt", goodFile()), "--port", controller.device(), "--timeout-ms",
         QString::number(HangLimitMs)},
        [slave](QProcess& process) {
            process.setChildProcessModifier([slave] { ::dup2(slave, STDERR_FILENO); });
        },
        readTerminal);
    ::close(slave);
    readTerminal();
    ::close(master);

    QCOMPARE(result.code, 0);
    QCOMPARE(result.out, "成功\n");
    const QString shown = QString::fromUtf8(terminal);
    QVERIFY2(shown.contains("\r書込中 [") && shown.contains("  0/400") &&
                 shown.endsWith("[########################################] 400/400\r\n"),
             qPrintable(shown));
#endif
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
