#include "ChartText.h"
#include "FileBytes.h"
#include "PseudoTerminal.h"
#include "SimulatorProcess.h"
#include "SmallFileSystem.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <functional>
#include <memory>
#include <optional>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
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

#ifdef Q_OS_UNIX
// The account the unprivileged runs use: most systems' "nobody".
constexpr uid_t Unprivileged = 65534;

// Runs the program as that user, in no group but its own, as a user without the right to a
// device would.
void runUnprivileged(QProcess& process)
{
    process.setChildProcessModifier([] {
        if (::setgroups(0, nullptr) != 0 || ::setgid(Unprivileged) != 0 || ::setuid(Unprivileged) != 0)
            ::_exit(126);
    });
}

// Why the unprivileged runs cannot be made here, or nothing.
QString whyNotUnprivileged()
{
    if (::geteuid() != 0)
        return QStringLiteral("only root can run the program as another user");
    if (!::getpwuid(Unprivileged))
        return QStringLiteral("no user %1 on this system").arg(Unprivileged);
    return {};
}
#endif

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
    void portRefused_data();
    void portRefused();
    void ports_data();
    void ports();
    void progressOnTerminal();
    void lostOutputFails_data();
    void lostOutputFails();

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
    // Other users may run the program from here too, and read what the tests put beside it.
    const auto everyone = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                          QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    QVERIFY(QFile::setPermissions(m_program, everyone));
    QVERIFY(QFile::setPermissions(m_dir.path(), everyone));
    QVERIFY(QFile::setPermissions(m_dir.filePath("program"), everyone));
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
                              "write FILE --port PORT", "pdf FILE OUT.pdf", "--version", "終了ステータス"})
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

    // clang-format off
    QTest::newRow("nothing") << QStringList{} << "サブコマンド（ports、check、show、write、pdf）を指定してください";
    QTest::newRow("unknown subcommand") << QStringList{"erase"} << "「erase」というサブコマンドはありません";
    QTest::newRow("unknown option") << QStringList{"ports", "--fast"} << "「--fast」というオプションはありません";
    QTest::newRow("no file") << QStringList{"check"} << "check にはパターンファイルを指定してください";
    QTest::newRow("two files") << QStringList{"show", "a.txt", "b.txt"} << "余分な引数「b.txt」があります";
    QTest::newRow("group for write") << QStringList{"write", "a.txt", "--port", "COM3", "--group", "A"} << "write には --group を指定できません";
    QTest::newRow("port for check") << QStringList{"check", "a.txt", "--port", "COM3"} << "check には --port を指定できません";
    QTest::newRow("group I") << QStringList{"show", "a.txt", "--group", "I"} << "--group には A から H のどれかを指定してください";
    QTest::newRow("write without port") << QStringList{"write", "a.txt"} << "write には --port で書き込むポートを指定してください";
    QTest::newRow("port without value") << QStringList{"write", "a.txt", "--port"} << "オプション「--port」には値が要ります";
    QTest::newRow("COM21") << QStringList{"write", "a.txt", "--port", "COM21"} << "「COM21」はポートの名前ではありません（COM1～COM20、または /dev/ttyUSB0 " "のようなデバイスのパス）";
    QTest::newRow("path out of /dev") << QStringList{"write", "a.txt", "--port", "/dev/../tmp/x"} << "「/dev/../tmp/x」はポートの名前ではありません（COM1～COM20、または " "/dev/ttyUSB0 のようなデバイスのパス）";
    // clang-format on
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

// The lines `check` prints for the eight groups, グループA to グループH, each with what its steps hold.
static QString groupLines(const QStringList& elements)
{
    QString lines;
    for (qsizetype group = 0; group < elements.size(); ++group)
        lines += QStringLiteral("グループ%1：%2\n").arg(QChar(char16_t(u'A' + group))).arg(elements[group]);
    return lines;
}

void TestCli::check_data()
{
    QTest::addColumn<QByteArray>("bytes"); // "(none)": no such file
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err"); // "%1" stands for the file as given

    // clang-format off
    QTest::newRow("good") << goodFile() << 0 << "ステップ数：37（ステップ 1～37 を使用）\n" + groupLines({"UP, OFF", "OFF", "OFF, ON-1/2", "OFF", "OFF", "OFF", "OFF", "OFF"}) << "";
    QTest::newRow("values that are no element") << unsendableFile() << 1 << "ステップ数：80（ステップ 1～80 を使用）\n" + groupLines({"OFF", "OFF（要素でない値：10, \"X\"）", "OFF", "OFF", "OFF", "OFF", "OFF", "OFF"}) << "ステップ 5 の B4 の値 10 は16の要素のどれでもないため、コントローラに送れません。\n";
    QByteArray stepCount0 = goodFile();
    stepCount0.replace("\r\n37\r\n", "\r\n0\r\n");
    QTest::newRow("step count 0") << stepCount0 << 1 << "ステップ数：0（1～80 の外。以下は 80 ステップすべて）\n" + groupLines({"UP, OFF", "OFF", "OFF, ON-1/2", "OFF", "OFF", "OFF", "OFF", "DOWN, OFF"}) << "ステップ数 0 はコントローラに送れません（1～80）。\n";
    // Refused as the window refuses it, with the window's words.
    QTest::newRow("cut short") << goodFile().left(1000) << 1 << "" << "「%1」：ファイルが壊れています（値が足りません）。\n";
    QTest::newRow("missing") << QByteArray("(none)") << 1 << "" << "「%1」：ファイルが見つかりません。\n";
    // clang-format on
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

    // clang-format off
    QTest::newRow("group C") << goodFile() << QStringList{"--group", "c"} << QStringList{"0",  "ステップ数：37　グループC", "1",  "ステップ  C1      C2      C3      C4      C5", "2",  "       1  OFF     OFF     OFF     OFF     OFF", "3",  "       2  OFF     OFF     ON-1/2  OFF     OFF", "38", "      37  OFF     OFF     OFF     OFF     OFF", "39", "（ここまでがステップ数 37 の使用範囲）", "40", "      38  OFF     OFF     OFF     OFF     OFF", "82", "      80  OFF     OFF     OFF     OFF     OFF"};
    QTest::newRow("values as they stand") << unsendableFile() << QStringList{"--group", "B"} << QStringList{"1", "ステップ  B1   B2   B3   B4   B5",    "6",  "       5  OFF  OFF  OFF  10   OFF", "7", "       6  OFF  OFF  OFF  OFF  \"X\"", "81", "      80  OFF  OFF  OFF  OFF  OFF"};
    QString header = "ステップ";
    QString step50 = "      50";
    for (int channel = 0; channel < 40; ++channel) {
        header += QStringLiteral("  %1%2    ").arg(QChar('A' + channel / 5)).arg(channel % 5 + 1);
        step50 += channel == 39 ? "  DOWN" : "  OFF   ";
    }
    QTest::newRow("all groups") << goodFile() << QStringList{} << QStringList{"1", header.trimmed(), "52", step50};
    // clang-format on
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
    QTest::addColumn<QString>("lastLine"); // how the last line begins; %1: the simulator's device
    QTest::addColumn<QString>("err");      // what standard error begins with, "" for nothing
    // --timeout-ms; 0 for none, where the transfer ends before its time-out starts
    QTest::addColumn<int>("timeoutMs");

    // clang-format off
    QTest::newRow("COM3 of Setting.ini") << QStringList{} << goodFile() << "COM3" << 0 << "成功" << "" << HangLimitMs;
    QTest::newRow("device path, paced") << QStringList{"--paced"} << unsendableFile().replace("10", "9").replace("\"X\"", "\"?\"") << "device" << 0 << "成功" << "" << HangLimitMs;
    // However early or late the short time-out comes, it ends the transfer alike: the controller
    // answers nothing after record 3.
    QTest::newRow("silent after 3 records") << QStringList{"--silent-after", "3"} << goodFile() << "COM3" << 1 << "失敗：コントローラーから時間内に応答がありませんでした。" << "失敗：" << 500;
    QTest::newRow("hang-up after 5 records") << QStringList{"--hangup-after", "5"} << goodFile() << "COM3" << 1 << "失敗：通信中にポートが使えなくなりました（COM3 (%1): " "デバイスが取り外されたか、応答しなくなりました）。" << "失敗：" << HangLimitMs;
    QTest::newRow("port cannot be opened") << QStringList{} << goodFile() << "COM4" << 1 << "失敗：ポート「COM4」を開けません（COM4 (/dev/no-such-tty): " << "接続されているシリアルデバイス" << 0;
    QTest::newRow("unsendable chart") << QStringList{} << unsendableFile() << "COM3" << 1 << "失敗：送れない値があります：ステップ数は 1～80、各セルは16の要素のどれかでなければなりません。" << "ステップ 5 の B4 の値 10 は16の要素のどれでもないため、コントローラに送れません。\n失敗：" << 0;
    // clang-format on
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
    QVERIFY2(!lines.isEmpty() && lines.last().startsWith(lastLine.replace("%1", controller.device())),
             qPrintable(result.out + result.err));
    QVERIFY2(!result.err.contains("ioctl"), qPrintable(result.err));
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

void TestCli::portRefused_data()
{
    QTest::addColumn<QString>("holder"); // what keeps the program from the port
    QTest::addColumn<bool>("unprivileged");
    // %1: the device as a lock file names it (pts_5), %2: this test's process, %3: a process gone
    QTest::addColumn<QString>("reason");

    const QString lockFile = "/var/lock/LCK..%1";
    // clang-format off
    QTest::newRow("locked by another program") << "port" << false << "ポートは他のプログラムが使用中です（tst_cli、プロセス番号 %2、ロックファイル「" + lockFile + "」）";
    QTest::newRow("lock left by a process gone") << "stale lock" << true << "ポートのロックファイル「" + lockFile + "」が残っています（置いたプロセス %3 はもう動いていません）。" "このファイルを削除すると使えます";
    QTest::newRow("no right to the device") << "group tty" << true << "このデバイスを使う権限がありません（グループ tty のメンバーだけが使えます）。" "root で「usermod -aG tty nobody」を実行し、ログインし直してください";
    QTest::newRow("opened exclusively") << "exclusive" << true << "ポートは他のプログラムが専有しています（ロックファイルがないため、どのプログラムかは分かりません）";
    // clang-format on
}

// A port refused for a lock, the device's rights or another program's exclusive hold says
// which, on a real pseudo-terminal; the unprivileged cases run the program as another user,
// since root may open a device whatever its rights.
void TestCli::portRefused()
{
#ifndef Q_OS_UNIX
    QSKIP("needs a pseudo-terminal");
#else
    QFETCH(QString, holder);
    QFETCH(bool, unprivileged);
    QFETCH(QString, reason);
    if (unprivileged && !whyNotUnprivileged().isEmpty())
        QSKIP(qPrintable(whyNotUnprivileged()));
    PseudoTerminal line;
    QVERIFY(line.isValid());
    const QString device = line.device();
    const QByteArray path = QFile::encodeName(device);
    // The lock folder is the first of QSerialPort's that can be used.
    if (!QFileInfo("/var/lock").isWritable())
        QSKIP("the lock files are not in /var/lock here");
    const QString lockFile = "/var/lock/LCK.." + device.mid(5).replace('/', '_');
    QVERIFY(!QFile::exists(lockFile));
    const auto removeLock = qScopeGuard([&] { QFile::remove(lockFile); });

    QProcess gone;
    gone.start("true");
    QVERIFY(gone.waitForStarted());
    const qint64 gonePid = gone.processId();
    QVERIFY(gone.waitForFinished());

    QSerialPort port(device);
    const group* tty = ::getgrnam("tty");
    if (holder == "port") {
        QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
    } else if (holder == "stale lock") {
        // Written by root: the other user can neither take the lock nor remove it.
        QVERIFY(writeFile(lockFile, QByteArray::number(gonePid).rightJustified(10) + '\n'));
        QVERIFY(::chmod(path, 0666) == 0);
    } else if (holder == "group tty") {
        if (!tty)
            QSKIP("no group tty on this system");
        QVERIFY(::chown(path, 0, tty->gr_gid) == 0 && ::chmod(path, 0660) == 0);
    } else if (holder == "exclusive") {
        QVERIFY(::chmod(path, 0666) == 0 && ::ioctl(line.slaveDescriptor(), TIOCEXCL) == 0);
    }

    const Result result = run({"write", file("chart.txt", goodFile()), "--port", device},
                              unprivileged ? std::function<void(QProcess&)>(runUnprivileged)
                                           : std::function<void(QProcess&)>());
    QCOMPARE(result.code, 1);
    QCOMPARE(result.out, "");
    const QStringList lines = result.err.split('\n', Qt::SkipEmptyParts);
    QVERIFY2(!lines.isEmpty(), qPrintable(result.err));
    reason.replace("%1", device.mid(5).replace('/', '_'))
        .replace("%2", QString::number(QCoreApplication::applicationPid()))
        .replace("%3", QString::number(gonePid));
    QCOMPARE(lines.last(), QStringLiteral("失敗：ポート「%1」を開けません（%1: %2）。").arg(device, reason));
#endif
}

void TestCli::ports_data()
{
    QTest::addColumn<QByteArray>("settings"); // "(none)": no Setting.ini; %1: a pseudo-terminal
    QTest::addColumn<bool>("unprivileged");
    QTest::addColumn<QStringList>("lines"); // lines the output holds, one after the other

    const QString noRight =
        "    このデバイスを使う権限がありません（グループ tty のメンバーだけが使えます）。"
        "root で「usermod -aG tty nobody」を実行し、ログインし直してください";
    // clang-format off
    QTest::newRow("first start") << QByteArray("(none)") << false << QStringList{ "ウィンドウで選ばれているポート：まだありません（ポート欄には「ERROR」と表示されます。" "ポートを選ばずに閉じると ERROR が保存されます）"};
    QTest::newRow("closed without a pick") << QByteArray("[Setting]\r\ncomport=ERROR\r\n") << false << QStringList{ "ウィンドウで選ばれているポート：ERROR（ポートを選ばずにウィンドウを閉じたときに保存される値です。" "ウィンドウでポートを選んでください）"};
    QTest::newRow("a device the user may not open") << QByteArray("[Setting]\r\ncomport=COM3\r\n[Ports]\r\nCOM3=%1\r\n") << true << QStringList{"  COM3 → %1", noRight, "  [Ports] にないほかの COMn は /dev/ttyS(n-1) です。", "ウィンドウで選ばれているポート：COM3 — COM3 → %1"};
    // clang-format on
}

// What `ports` says of the port the window will show, and of a device the user may not open.
void TestCli::ports()
{
#ifndef Q_OS_UNIX
    QSKIP("needs a pseudo-terminal");
#else
    QFETCH(QByteArray, settings);
    QFETCH(bool, unprivileged);
    QFETCH(QStringList, lines);
    if (unprivileged && !whyNotUnprivileged().isEmpty())
        QSKIP(qPrintable(whyNotUnprivileged()));
    PseudoTerminal line;
    QVERIFY(line.isValid());
    if (unprivileged) {
        const group* tty = ::getgrnam("tty");
        if (!tty)
            QSKIP("no group tty on this system");
        const QByteArray path = QFile::encodeName(line.device());
        QVERIFY(::chown(path, 0, tty->gr_gid) == 0 && ::chmod(path, 0660) == 0);
    }
    const QString settingsFile = m_dir.filePath("program/Setting.ini");
    QFile::remove(settingsFile);
    if (settings != "(none)")
        QVERIFY(writeFile(settingsFile, settings.replace("%1", QFile::encodeName(line.device()))));

    const Result result = run({"ports"}, unprivileged ? std::function<void(QProcess&)>(runUnprivileged)
                                                      : std::function<void(QProcess&)>());
    QCOMPARE(result.code, 0);
    QCOMPARE(result.err, "");
    const QStringList shown = result.out.split('\n');
    qsizetype at = shown.indexOf(lines.first().replace("%1", line.device()));
    QVERIFY2(at >= 0, qPrintable(result.out));
    for (QString& expected : lines.mid(1))
        QCOMPARE(shown.value(++at), expected.replace("%1", line.device()));
    // Each device is noted once, not again for the port the window shows.
    QCOMPARE(result.out.count("このデバイスを使う権限がありません（グループ tty"), unprivileged ? 1 : 0);
#endif
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

void TestCli::lostOutputFails_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("fullDisk"); // standard output into a file on a full disk, else into /dev/full

    for (const bool fullDisk : {false, true}) {
        const char* where = fullDisk ? "full disk" : "/dev/full";
        QTest::addRow("show, %s", where) << QStringList{"show", "good.txt"} << fullDisk;
        QTest::addRow("check, %s", where) << QStringList{"check", "good.txt"} << fullDisk;
        QTest::addRow("ports, %s", where) << QStringList{"ports"} << fullDisk;
        QTest::addRow("--help, %s", where) << QStringList{"--help"} << fullDisk;
        QTest::addRow("--version, %s", where) << QStringList{"--version"} << fullDisk;
    }
}

// What a script takes for the result was lost: the run fails and says why.
void TestCli::lostOutputFails()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, fullDisk);

    QVERIFY(!file("good.txt", goodFile()).isEmpty());
    QString output = QStringLiteral("/dev/full");
    std::optional<SmallFileSystem> disk;
    if (fullDisk) {
        disk.emplace("size=16k");
        if (!disk->isMounted())
            QSKIP(qPrintable(disk->whyNotMounted()));
        QVERIFY(disk->fillBlocks());
        output = disk->filePath("out.txt");
    } else if (!QFileInfo::exists(output)) {
        QSKIP("no /dev/full here");
    }

    const Result result = run(arguments, [&](QProcess& process) { process.setStandardOutputFile(output); });
    QCOMPARE(result.err, "trv5kb: 標準出力に書き込めません: " + qt_error_string(ENOSPC) + "\n");
    QCOMPARE(result.code, 1);
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
