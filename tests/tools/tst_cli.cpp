#include "ByteArguments.h"
#include "ChartText.h"
#include "FileBytes.h"
#include "LockingProgram.h"
#include "PseudoTerminal.h"
#include "Ser2netServer.h"
#include "SimulatorProcess.h"
#include "SmallFileSystem.h"
#include "UnansweringPort.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSerialPort>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <limits>
#include <memory>
#include <optional>

#ifdef Q_OS_UNIX
#include <csignal>
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
// The time-out of a run where a silent controller fails while the others succeed: long enough
// that every other transfer, paced or not, has ended long before it on a loaded machine, since
// the test shows that the silent one holds up none of them.
constexpr int SilentLimitMs = 10000;
// The time-out of a run where a controller answers its first few messages and then falls silent:
// long enough for those answers on a loaded machine, so that the count it reports is known.
constexpr int AnswerLimitMs = 3000;

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

// The columns a character takes on a terminal: two for the wide (East Asian) ones.
int columnsOfCharacter(char32_t c)
{
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
                   (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
                   (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6)
               ? 2
               : 1;
}

int columnsOf(const QString& line)
{
    int columns = 0;
    for (const char32_t c : line.toUcs4())
        columns += columnsOfCharacter(c);
    return columns;
}

// What a terminal of `columns` x `rows` shows after `output`, with its scroll-back above it:
// the lines as the user sees them at the end. As a terminal does, it wraps a line at the right
// edge, scrolls at the bottom, and moves the cursor up (no further than the top of the screen:
// lines scrolled away are out of reach) and down, and clears the rest of a line (K) or of the
// screen (J).
QStringList screenOf(const QByteArray& output, int columns = 1000, int rows = 1000)
{
    // Each line as its cells; a wide character takes its cell and an empty one after it.
    QList<QStringList> lines{{}};
    qsizetype row = 0;
    int column = 0;
    const auto newLine = [&] {
        if (++row == lines.size())
            lines << QStringList();
        column = 0;
    };
    const QList<uint> ucs4 = QString::fromUtf8(output).toUcs4();
    const QList<char32_t> text(ucs4.cbegin(), ucs4.cend());
    static const QRegularExpression escape(QStringLiteral("^\\x1b\\[(\\d*)([ABJK])"));
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == 0x1b) {
            const QString rest = QString::fromUcs4(text.data() + i, std::min<qsizetype>(16, text.size() - i));
            const QRegularExpressionMatch move = escape.match(rest);
            if (!move.hasMatch())
                continue;
            const int count = move.captured(1).isEmpty() ? 1 : move.captured(1).toInt();
            const qsizetype top = std::max<qsizetype>(0, lines.size() - rows);
            if (move.captured(2) == "A")
                row = std::max(top, row - count);
            else if (move.captured(2) == "B")
                row = std::min(lines.size() - 1, row + count);
            else
                lines[row] = lines[row].mid(0, column);
            if (move.captured(2) == "J")
                lines.resize(row + 1);
            i += move.capturedLength() - 1;
        } else if (text[i] == '\r') {
            column = 0;
        } else if (text[i] == '\n') {
            newLine();
        } else {
            const int width = columnsOfCharacter(text[i]);
            if (column + width > columns)
                newLine();
            QStringList& cells = lines[row];
            while (cells.size() < column + width)
                cells << QStringLiteral(" ");
            cells[column] = QString::fromUcs4(&text[i], 1);
            if (width == 2)
                cells[column + 1] = QString();
            column += width;
        }
    }
    QStringList screen;
    for (const QStringList& cells : lines)
        screen << cells.join(QString());
    if (screen.last().isEmpty())
        screen.removeLast();
    return screen;
}

// Whether `actual` is `expected`, key by key and item by item; `where` names the first
// difference. In `expected`, "*" stands for any value, and a text ending in "*" for any text that
// begins with what comes before it.
bool sameJson(const QJsonValue& actual, const QJsonValue& expected, QString& where, const QString& path = "$")
{
    const auto differs = [&](const QString& what) {
        where = path + ": " + what;
        return false;
    };
    if (expected.isString() && expected.toString() == "*")
        return true;
    if (expected.isString() && expected.toString().endsWith('*'))
        return actual.isString() && actual.toString().startsWith(expected.toString().chopped(1))
                   ? true
                   : differs(QJsonDocument(QJsonArray{actual}).toJson(QJsonDocument::Compact) +
                             " does not begin with " + expected.toString().chopped(1));
    if (expected.isObject() && actual.isObject()) {
        const QJsonObject want = expected.toObject(), got = actual.toObject();
        if (want.keys() != got.keys())
            return differs("keys " + got.keys().join(',') + ", expected " + want.keys().join(','));
        for (const QString& key : want.keys())
            if (!sameJson(got[key], want[key], where, path + "." + key))
                return false;
        return true;
    }
    if (expected.isArray() && actual.isArray()) {
        const QJsonArray want = expected.toArray(), got = actual.toArray();
        if (want.size() != got.size())
            return differs(QStringLiteral("%1 items, expected %2").arg(got.size()).arg(want.size()));
        for (qsizetype i = 0; i < want.size(); ++i)
            if (!sameJson(got[i], want[i], where, path + QStringLiteral("[%1]").arg(i)))
                return false;
        return true;
    }
    if (actual == expected)
        return true;
    return differs(QJsonDocument(QJsonArray{actual}).toJson(QJsonDocument::Compact) + ", expected " +
                   QJsonDocument(QJsonArray{expected}).toJson(QJsonDocument::Compact));
}

// The one line of JSON on standard output as a document; an empty object when it is none.
QJsonObject jsonOf(const QString& out)
{
    if (out.count('\n') != 1 || !out.endsWith('\n'))
        return {};
    return QJsonDocument::fromJson(out.toUtf8()).object();
}

// An object from its JSON text, with %1 standing for `placeholder`.
QJsonValue json(QString text, const QString& placeholder = {})
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text.replace("%1", placeholder).toUtf8(), &error);
    if (error.error != QJsonParseError::NoError)
        qWarning("bad JSON in the test: %s at %d", qPrintable(error.errorString()), error.offset);
    return document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object());
}

// The eight groups of `check --json` when `steps` steps of OFF are in use, but for the groups
// given (by letter) with their elements and other values as JSON arrays.
QString groupsJson(int steps, const QMap<QChar, QPair<QString, QString>>& others = {})
{
    QStringList groups;
    for (const QChar group : QStringLiteral("ABCDEFGH")) {
        const auto [elements, values] = others.value(
            group, {QStringLiteral("[{\"element\":\"OFF\",\"cells\":%1}]").arg(steps * 5), "[]"});
        groups << QStringLiteral("{\"group\":\"%1\",\"elements\":%2,\"otherValues\":%3}")
                      .arg(group)
                      .arg(elements, values);
    }
    return "[" + groups.join(',') + "]";
}

// The lines of a summary of `write` split into their columns: port, result, time and, for a
// failure, the reason.
QList<QStringList> summaryRows(const QString& out)
{
    QList<QStringList> rows;
    for (const QString& line : out.split('\n', Qt::SkipEmptyParts))
        rows << line.split(QRegularExpression(QStringLiteral("\\s{2,}")));
    return rows;
}

// The time of a summary's row in milliseconds ("1.07 秒").
int summaryMilliseconds(const QStringList& row)
{
    return qRound(row.value(2).section(' ', 0, 0).toDouble() * 1000);
}

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

// How a run is prepared: as that user, or as the tests' own.
std::function<void(QProcess&)> asUser(bool unprivileged)
{
    return unprivileged ? std::function<void(QProcess&)>(runUnprivileged) : std::function<void(QProcess&)>();
}

// Why the unprivileged runs cannot be made here, or nothing.
QString whyNotUnprivileged()
{
    if (::geteuid() != 0)
        return QStringLiteral("only root can run the program as another user");
    if (!::getpwuid(Unprivileged))
        return QStringLiteral("no user %1 on this system").arg(Unprivileged);
    // The group the tests give a device that only root and its group may open.
    if (!::getgrnam("tty"))
        return QStringLiteral("no group tty on this system");
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
    void diff_data();
    void diff();
    void write_data();
    void write();
    void portRefused_data();
    void portRefused();
    void anotherProgramsLock_data();
    void anotherProgramsLock();
    void ports_data();
    void ports();
    void progressOnTerminal();
    void manyPorts_data();
    void manyPorts();
    void boardOnTerminal();
    void progressFitsTheTerminal_data();
    void progressFitsTheTerminal();
    void boardFollowsResize();
    void portNamedTwice_data();
    void portNamedTwice();
    void checkJson_data();
    void checkJson();
    void diffJson_data();
    void diffJson();
    void portsJson_data();
    void portsJson();
    void writeJson_data();
    void writeJson();
    void lostOutputFails_data();
    void lostOutputFails();
    void namesInBytes_data();
    void namesInBytes();
    void networkWrite_data();
    void networkWrite();
    void networkFaults_data();
    void networkFaults();
    void serverRefusesThenStops();

private:
    // `whileRunning`, when given, is called every few milliseconds until the program ends.
    Result run(const QStringList& arguments, const std::function<void(QProcess&)>& prepare = {},
               const std::function<void(QProcess&)>& whileRunning = {});
    // A run with its arguments as bytes, given through the shell as `trv5kb check $'sj\x83p'` gives them.
    Result runWithBytes(const QList<QByteArray>& arguments);
    // A run of the process `start` starts.
    Result runProcess(const std::function<void(QProcess&)>& start,
                      const std::function<void(QProcess&)>& prepare,
                      const std::function<void(QProcess&)>& whileRunning);
    QString file(const QString& name, const QByteArray& bytes);
    // A run with standard error on a terminal `columns` x `rows`, with what the terminal got.
    // `meanwhile`, when given, is called every few milliseconds with the terminal's master, the
    // program and what the terminal got so far.
    Result runOnTerminal(const QStringList& arguments, QByteArray& terminal, int columns = 80, int rows = 24,
                         const std::function<void(int, QProcess&, const QByteArray&)>& meanwhile = {});
#ifdef Q_OS_UNIX
    // `ports` with `options`, `line` named in the program's Setting.ini as `settings` gives it
    // ("%1" for its device, "(none)" for no file). Unprivileged, the device is made group tty's
    // with mode 0660, as a serial device of group dialout is.
    void runPorts(const PseudoTerminal& line, QByteArray settings, bool unprivileged,
                  const QStringList& options, Result& result);
#endif

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
                    const std::function<void(QProcess&)>& whileRunning)
{
    return runProcess([&](QProcess& process) { process.start(m_program, arguments); }, prepare, whileRunning);
}

Result TestCli::runWithBytes(const QList<QByteArray>& arguments)
{
    return runProcess([&](QProcess& process) { startWithBytes(process, m_program, arguments); }, {}, {});
}

Result TestCli::runProcess(const std::function<void(QProcess&)>& start,
                           const std::function<void(QProcess&)>& prepare,
                           const std::function<void(QProcess&)>& whileRunning)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", m_dir.filePath("config"));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(m_dir.path());
    if (prepare)
        prepare(process);
    start(process);
    Result result;
    const QDeadlineTimer deadline(RunLimitMs);
    while (!process.waitForFinished(whileRunning ? 5 : RunLimitMs) &&
           process.state() != QProcess::NotRunning && !deadline.hasExpired())
        if (whileRunning)
            whileRunning(process);
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

Result TestCli::runOnTerminal(const QStringList& arguments, QByteArray& terminal, int columns, int rows,
                              const std::function<void(int, QProcess&, const QByteArray&)>& meanwhile)
{
    Result result;
#ifdef Q_OS_UNIX
    int master = -1, slave = -1;
    winsize size{};
    size.ws_col = ushort(columns);
    size.ws_row = ushort(rows);
    if (::openpty(&master, &slave, nullptr, nullptr, &size) != 0)
        return result;
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    // The terminal is read while the program writes, as a terminal window does.
    const auto readTerminal = [&] {
        char buffer[4096];
        for (ssize_t got; (got = ::read(master, buffer, sizeof buffer)) > 0;)
            terminal.append(buffer, got);
    };
    result = run(
        arguments,
        [slave](QProcess& process) {
            process.setChildProcessModifier([slave] { ::dup2(slave, STDERR_FILENO); });
        },
        [&](QProcess& process) {
            readTerminal();
            if (meanwhile)
                meanwhile(master, process, terminal);
        });
    ::close(slave);
    readTerminal();
    ::close(master);
#else
    Q_UNUSED(arguments);
    Q_UNUSED(terminal);
    Q_UNUSED(columns);
    Q_UNUSED(rows);
    Q_UNUSED(meanwhile);
#endif
    return result;
}

#ifdef Q_OS_UNIX
void TestCli::runPorts(const PseudoTerminal& line, QByteArray settings, bool unprivileged,
                       const QStringList& options, Result& result)
{
    if (unprivileged) {
        const group* tty = ::getgrnam("tty");
        QVERIFY2(tty, "no group tty on this system");
        const QByteArray path = QFile::encodeName(line.device());
        QVERIFY(::chown(path, 0, tty->gr_gid) == 0 && ::chmod(path, 0660) == 0);
    }
    const QString settingsFile = m_dir.filePath("program/Setting.ini");
    QFile::remove(settingsFile);
    if (settings != "(none)")
        QVERIFY(writeFile(settingsFile, settings.replace("%1", QFile::encodeName(line.device()))));
    result = run(QStringList{"ports"} + options, asUser(unprivileged));
}
#endif

void TestCli::helpAndVersion()
{
    const Result help = run({"--help"});
    QCOMPARE(help.code, 0);
    QCOMPARE(help.err, "");
    for (const char* usage :
         {"使い方: trv5kb", "ports", "check FILE", "show FILE [--group A-H]", "write FILE --port PORT",
          "diff FILE1 FILE2", "pdf FILE OUT.pdf", "--json", "--force", "--version", "終了ステータス"})
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
    QTest::newRow("nothing") << QStringList{} << "サブコマンド（ports、check、show、write、diff、pdf、edit）を指定してください";
    QTest::newRow("unknown subcommand") << QStringList{"erase"} << "「erase」というサブコマンドはありません";
    QTest::newRow("unknown option") << QStringList{"ports", "--fast"} << "「--fast」というオプションはありません";
    QTest::newRow("no file") << QStringList{"check"} << "check にはパターンファイルを指定してください";
    QTest::newRow("two files") << QStringList{"show", "a.txt", "b.txt"} << "余分な引数「b.txt」があります";
    QTest::newRow("diff with one file") << QStringList{"diff", "a.txt"} << "diff にはパターンファイルを2つ指定してください";
    QTest::newRow("diff with three files") << QStringList{"diff", "a.txt", "b.txt", "c.txt"} << "余分な引数「c.txt」があります";
    QTest::newRow("group for write") << QStringList{"write", "a.txt", "--port", "COM3", "--group", "A"} << "write には --group を指定できません";
    QTest::newRow("port for check") << QStringList{"check", "a.txt", "--port", "COM3"} << "check には --port を指定できません";
    QTest::newRow("json for show") << QStringList{"show", "a.txt", "--json"} << "show には --json を指定できません";
    QTest::newRow("json for pdf") << QStringList{"pdf", "a.txt", "a.pdf", "--json"} << "pdf には --json を指定できません";
    QTest::newRow("group I") << QStringList{"show", "a.txt", "--group", "I"} << "--group には A から H のどれかを指定してください";
    QTest::newRow("write without port") << QStringList{"write", "a.txt"} << "write には --port で書き込むポートを指定してください";
    QTest::newRow("port without value") << QStringList{"write", "a.txt", "--port"} << "オプション「--port」には値が要ります";
    QTest::newRow("COM21") << QStringList{"write", "a.txt", "--port", "COM21"} << "「COM21」はポートの名前ではありません（COM1～COM20、/dev/ttyUSB0 " "のようなデバイスのパス、または tcp://ホスト:ポート番号、rfc2217://ホスト:ポート番号）";
    QTest::newRow("path out of /dev") << QStringList{"write", "a.txt", "--port", "/dev/../tmp/x"} << "「/dev/../tmp/x」はポートの名前ではありません（COM1～COM20、/dev/ttyUSB0 " "のようなデバイスのパス、または tcp://ホスト:ポート番号、rfc2217://ホスト:ポート番号）";
    QTest::newRow("network port without a number") << QStringList{"write", "a.txt", "--port", "rfc2217://rack1.local"} << "「rfc2217://rack1.local」はネットワークポートの名前ではありません（tcp://ホスト:ポート番号、" "または rfc2217://ホスト:ポート番号。ポート番号は 1～65535）";
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

void TestCli::diff_data()
{
    QTest::addColumn<QByteArray>("before"); // "(none)": no such file
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err"); // %1, %2: the files as given

    const QByteArray allOff = patternFile();
    // clang-format off
    QTest::newRow("the same") << goodFile() << goodFile() << 0 << "ステップ数：37（同じ）\n違うセル：0\n" << "";
    QTest::newRow("cells and step count") << patternFile({{0, 0, "0"}, {1, 12, "\":\""}}, "37") << patternFile({{0, 0, "1"}, {1, 12, "\"X\""}}, "40") << 1 << "ステップ数：37 → 40\nグループA A1 ステップ 1：UP → DOWN\nグループC C3 ステップ 2：ON-1/2 → \"X\"\n違うセル：2\n" << "";
    QTest::newRow("values that are no element") << allOff << patternFile({{4, 8, "10"}, {5, 9, "\"X\""}, {79, 39, "\":\""}}) << 1 << "ステップ数：80（同じ）\nグループB B4 ステップ 5：OFF → 10\nグループB B5 ステップ 6：OFF → \"X\"\nグループH H5 ステップ 80：OFF → ON-1/2\n違うセル：3\n" << "";
    QTest::newRow("step count alone") << allOff << patternFile({}, "79") << 1 << "ステップ数：80 → 79\n違うセル：0\n" << "";
    QTest::newRow("a file missing") << allOff << QByteArray("(none)") << 2 << "" << "「%2」：ファイルが見つかりません。\n";
    QTest::newRow("both unreadable") << goodFile().left(1000) << QByteArray("(none)") << 2 << "" << "「%1」：ファイルが壊れています（値が足りません）。\n「%2」：ファイルが見つかりません。\n";
    // clang-format on
}

// The cells that differ and the step counts; the exit status as the system's diff gives it.
void TestCli::diff()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QFETCH(int, code);
    QFETCH(QString, out);
    QFETCH(QString, err);

    const QString first = before == "(none)" ? m_dir.filePath("missing.txt") : file("before.txt", before);
    const QString second = after == "(none)" ? m_dir.filePath("missing.txt") : file("after.txt", after);
    const Result result = run({"diff", first, second});
    QCOMPARE(result.out, out);
    QCOMPARE(result.err, err.replace("%1", first).replace("%2", second));
    QCOMPARE(result.code, code);
}

void TestCli::write_data()
{
    QTest::addColumn<QStringList>("simulator");
    QTest::addColumn<QByteArray>("bytes");
    // "device": the simulator's terminal by its path; "silent line": a terminal nothing answers on
    QTest::addColumn<QString>("port");
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
    // Its first answers show that the controller is there: the time limit of the whole transfer
    // ran out, with three records acknowledged.
    QTest::newRow("silent after 3 records") << QStringList{"--silent-after", "3"} << goodFile() << "COM3" << 1 << "失敗：書き込みが制限時間（3 秒）内に終わりませんでした。コントローラーが受け取ったレコードは 400 件中 3 件で、コントローラーには途中までのパターンしか書き込まれていません。" << "失敗：" << AnswerLimitMs;
    // Nothing on the line ever answers.
    QTest::newRow("never answered") << QStringList{} << goodFile() << "silent line" << 1 << "失敗：コントローラーから時間内に応答がありませんでした。" << "失敗：" << 500;
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

    PseudoTerminal silentLine;
    QVERIFY(silentLine.isValid());
    QStringList arguments{"write", file("chart.txt", bytes), "--port",
                          port == "device"        ? controller.device()
                          : port == "silent line" ? silentLine.device()
                                                  : port};
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

    const Result result =
        run({"write", file("chart.txt", goodFile()), "--port", device}, asUser(unprivileged));
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

void TestCli::anotherProgramsLock_data()
{
    QTest::addColumn<QByteArray>("lock"); // %10 and %1: the holder's number (see LockingProgram)
    QTest::addColumn<int>("ageSeconds");
    QTest::addColumn<QString>("port");   // "device": the simulator's terminal; COM5: a link to it
    QTest::addColumn<QString>("locked"); // the name the lock file is for: "device" or "link"

    // clang-format off
    QTest::newRow("ten characters")                    << QByteArray("%10\n") << 0 << "device" << "device";
    QTest::newRow("program and user, two hours old")   << QByteArray("%10 minicom root\n") << 7200 << "device" << "device";
    QTest::newRow("binary number")                     << QByteArray("(binary)") << 0 << "device" << "device";
    QTest::newRow("QLockFile's lines, a day old")      << QByteArray("%1\nminicom\nhost\n") << 86400 << "device" << "device";
    QTest::newRow("through a link to a locked device") << QByteArray("%10\n") << 0 << "COM5" << "device";
    QTest::newRow("the link's own name locked")        << QByteArray("%10\n") << 0 << "COM5" << "link";
    // clang-format on
}

// A port another program holds by its lock file is refused, in whatever format the file is
// and however old, and the file stays; once that program's process is gone the lock is stale
// and the next write takes the port.
void TestCli::anotherProgramsLock()
{
#ifndef Q_OS_UNIX
    QSKIP("needs a pseudo-terminal");
#else
    QFETCH(QByteArray, lock);
    QFETCH(int, ageSeconds);
    QFETCH(QString, port);
    QFETCH(QString, locked);
    // The lock folder is the first of QSerialPort's that can be used.
    if (!QFileInfo("/var/lock").isWritable())
        QSKIP("the lock files are not in /var/lock here");

    const QString received = m_dir.filePath("received.txt");
    QFile::remove(received);
    SimulatorProcess controller;
    QVERIFY2(controller.start({"--output", received}), qPrintable(controller.errorString()));
    const QString link = m_dir.filePath("controller-link");
    QFile::remove(link);
    QVERIFY(QFile::link(controller.device(), link));
    QVERIFY(writeFile(m_dir.filePath("program/Setting.ini"),
                      "[Ports]\r\nCOM5=" + QFile::encodeName(link) + "\r\n"));
    QString lockedName = locked == "link" ? link : controller.device().mid(5);
    const QString lockFile = "/var/lock/LCK.." + lockedName.replace('/', '_');
    LockingProgram other;
    QVERIFY(other.lock(lockFile, lock, ageSeconds));
    const QByteArray held = readFile(lockFile);

    const QString portName = port == "device" ? controller.device() : port;
    const QStringList write{"write", file("chart.txt", goodFile()), "--port", portName};
    const Result refused = run(write);
    QCOMPARE(refused.code, 1);
    QCOMPARE(refused.out, "");
    const QString reason =
        QStringLiteral("ポートは他のプログラムが使用中です（cat、プロセス番号 %1、ロックファイル「%2」）")
            .arg(other.pid())
            .arg(lockFile);
    const QStringList lines = refused.err.split('\n', Qt::SkipEmptyParts);
    const QString last = lines.isEmpty() ? QString() : lines.last();
    QVERIFY2(last.startsWith("失敗：ポート「" + portName + "」を開けません（") && last.contains(reason),
             qPrintable(refused.err));
    QCOMPARE(readFile(lockFile), held);
    QVERIFY(!QFile::exists(received));
    // ports says the same under COM5, which leads to the device.
    const Result ports = run({"ports"});
    QVERIFY2(ports.out.contains("  COM5 → " + link + "\n    " + reason + "\n"), qPrintable(ports.out));

    other.end();
    const Result written = run(write);
    QCOMPARE(written.err, "");
    QCOMPARE(written.code, 0);
    QVERIFY(!QFile::exists(lockFile));
    QCOMPARE(controller.stop(), 0);
    QCOMPARE(readFile(received), goodFile());
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
    QTest::newRow("network ports") << QByteArray("[Setting]\r\ncomport=rfc2217://rack1.local:4001\r\n[Ports]\r\nCOM3=%1\r\nCOM5=rfc2217://rack1.local:4001\r\nCOM6=tcp://10.0.0.5:4001\r\n") << false << QStringList{"  COM3 → %1", "  COM5 → rfc2217://rack1.local:4001（ネットワークのポート、RFC 2217：回線の設定もサーバーに送ります）", "  COM6 → tcp://10.0.0.5:4001（ネットワークのポート、TCP：回線の設定はサーバーのとおり）", "  [Ports] にないほかの COMn は /dev/ttyS(n-1) です。", "ウィンドウで選ばれているポート：rfc2217://rack1.local:4001 — rfc2217://rack1.local:4001（ネットワークのポート、RFC 2217：回線の設定もサーバーに送ります）"};
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
    Result result;
    runPorts(line, settings, unprivileged, {}, result);
    if (QTest::currentTestFailed())
        return;
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
    QByteArray terminal;
    const Result result = runOnTerminal({"write", file("chart.txt", goodFile()), "--port",
                                         controller.device(), "--timeout-ms", QString::number(HangLimitMs)},
                                        terminal);

    QCOMPARE(result.code, 0);
    QCOMPARE(result.out, "成功\n");
    const QString shown = QString::fromUtf8(terminal);
    QVERIFY2(shown.contains("\r書込中 [") && shown.contains("  0/400") &&
                 shown.endsWith("[########################################] 400/400\r\n"),
             qPrintable(shown));
#endif
}

void TestCli::manyPorts_data()
{
    // For each port: the simulator's options, or "missing" for COM4, which stands for no device.
    // The first simulator is COM3 of Setting.ini, the others are given by their devices.
    QTest::addColumn<QStringList>("controllers");
    QTest::addColumn<int>("timeoutMs");
    // For each port: 成功, or 失敗 and how the reason begins, after "："; %1: the port's device
    QTest::addColumn<QStringList>("results");

    // clang-format off
    QTest::newRow("two controllers") << QStringList{"", ""} << HangLimitMs << QStringList{"成功", "成功"};
    QTest::newRow("three, one silent") << QStringList{"", "--silent-after 3", "--paced"} << SilentLimitMs << QStringList{"成功", "失敗：書き込みが制限時間（10 秒）内に終わりませんでした。コントローラーが受け取ったレコードは 400 件中 3 件で、", "成功"};
    QTest::newRow("hung up, missing, garbage") << QStringList{"--hangup-after 5", "missing", "--garbage"} << HangLimitMs << QStringList{"失敗：通信中にポートが使えなくなりました（COM3 (%1): デバイスが取り外されたか", "失敗：ポート「COM4」を開けません（COM4 (/dev/no-such-tty): ", "成功"};
    // clang-format on
}

// The same chart into several controllers at once, each with its own end: the summary names
// each port in the order given with its result, its time and the reason for a failure; without
// a terminal each port's end is one line on standard error. A controller that fails holds up
// no other: those that succeed end before a silent one's time-out.
void TestCli::manyPorts()
{
    QFETCH(QStringList, controllers);
    QFETCH(int, timeoutMs);
    QFETCH(QStringList, results);

    std::vector<std::unique_ptr<SimulatorProcess>> simulators;
    QStringList ports;
    QStringList devices;
    for (const QString& options : controllers) {
        if (options == "missing") {
            ports << "COM4";
            devices << "/dev/no-such-tty";
            simulators.emplace_back();
            continue;
        }
        const QString received = m_dir.filePath(QStringLiteral("received%1.txt").arg(simulators.size()));
        QFile::remove(received);
        auto& controller = simulators.emplace_back(std::make_unique<SimulatorProcess>());
        QVERIFY2(
            controller->start(QStringList{"--output", received} + options.split(' ', Qt::SkipEmptyParts)),
            qPrintable(controller->errorString()));
        devices << controller->device();
        ports << (ports.isEmpty() ? QStringLiteral("COM3") : controller->device());
    }
    QVERIFY(!file("program/Setting.ini",
                  "[Ports]\r\nCOM3=" + devices.first().toLocal8Bit() + "\r\nCOM4=/dev/no-such-tty\r\n")
                 .isEmpty());

    QStringList arguments{"write", file("chart.txt", goodFile()), "--timeout-ms", QString::number(timeoutMs)};
    for (const QString& port : ports)
        arguments << "--port" << port;
    const Result result = run(arguments);
    const bool allSucceeded = !results.join(' ').contains("失敗");
    QCOMPARE(result.code, allSucceeded ? 0 : 1);

    const QList<QStringList> rows = summaryRows(result.out);
    QCOMPARE(rows.size(), ports.size());
    const QStringList ends = result.err.split('\n', Qt::SkipEmptyParts).filter(QRegularExpression("^\\S"));
    QCOMPARE(ends.size(), ports.size());
    int slowestSuccess = 0;
    int firstTimeOut = std::numeric_limits<int>::max();
    for (qsizetype i = 0; i < ports.size(); ++i) {
        const QStringList& row = rows[i];
        const QString expected = QString(results[i]).replace("%1", devices[i]);
        QCOMPARE(row.value(0), ports[i]);
        QCOMPARE(row.value(1), expected.section("：", 0, 0));
        QVERIFY2(row.value(2).endsWith(" 秒"), qPrintable(row.value(2)));
        QVERIFY2(row.value(3).startsWith(expected.section("：", 1)), qPrintable(result.out));
        QCOMPARE(ends.filter(QRegularExpression("^" + QRegularExpression::escape(ports[i]) + "：" +
                                                row.value(1) + "（"))
                     .size(),
                 1);
        if (row.value(1) == "成功") {
            slowestSuccess = std::max(slowestSuccess, summaryMilliseconds(row));
            QCOMPARE(readFile(m_dir.filePath(QStringLiteral("received%1.txt").arg(i))), goodFile());
        } else if (row.value(3).startsWith("書き込みが制限時間")) {
            firstTimeOut = std::min(firstTimeOut, summaryMilliseconds(row));
            QVERIFY(summaryMilliseconds(row) >= timeoutMs);
        }
        // A simulator that hung up has ended by itself.
        if (simulators[std::size_t(i)] && !controllers[i].contains("--hangup-after")) {
            QCOMPARE(simulators[std::size_t(i)]->stop(), 0);
            QCOMPARE(simulators[std::size_t(i)]->errors(), QByteArray());
        }
    }
    QVERIFY2(slowestSuccess < firstTimeOut, qPrintable(result.out));
}

// On a terminal each port has a line of its own, drawn over itself until it shows the result;
// a name too long for the terminal keeps its end. The reason for a failure follows the lines.
void TestCli::boardOnTerminal()
{
#ifndef Q_OS_UNIX
    QSKIP("needs a pseudo-terminal");
#else
    SimulatorProcess controller;
    QVERIFY2(controller.start({"--output", m_dir.filePath("received.txt")}),
             qPrintable(controller.errorString()));
    const QString missing = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    QByteArray terminal;
    const Result result =
        runOnTerminal({"write", file("chart.txt", goodFile()), "--port", controller.device(), "--port",
                       missing, "--timeout-ms", QString::number(HangLimitMs)},
                      terminal, 60);
    QCOMPARE(result.code, 1);

    // 60 columns leave 19 for the names, the last one free.
    // The reasons after the board are text, which the terminal may wrap; the board's lines fit.
    const QStringList screen = screenOf(terminal);
    QVERIFY2(screen.size() >= 3, terminal.constData());
    QCOMPARE(screen[0], controller.device().leftJustified(19) + "  [####################] 400/400  成功");
    QCOMPARE(screen[1], "...285BI-if00-port0  [--------------------]   0/400  失敗");
    QVERIFY2(screen[2].startsWith(missing + "：失敗（"), qPrintable(screen[2]));
    QVERIFY2(screen[2].contains("）：ポート「" + missing + "」を開けません（"), qPrintable(screen[2]));
    QVERIFY2(screen.value(3).startsWith("  接続されているシリアルデバイス"), qPrintable(screen.value(3)));
    QCOMPARE(summaryRows(result.out).size(), 2);
#endif
}

void TestCli::progressFitsTheTerminal_data()
{
    QTest::addColumn<int>("ports");
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("rows");
    // The whole screen at the end, scroll-back included, each line a pattern; %0 to %5 stand for
    // the ports' devices cut to eight columns, "..." and their ends.
    QTest::addColumn<QStringList>("screen");

    const QString ended = R"(/dev/pts/\d+：成功（\d+\.\d\d 秒）)";
    // clang-format off
    // One line drawn over itself, never wrapped: no partial bars left in the scroll-back.
    QTest::newRow("one port, 30 columns") << 1 << 30 << 24 << QStringList{R"(書込中 \[#{12}\] 400/400)"};
    // No room for bars: the names and counts stay on their lines.
    QTest::newRow("two ports, 30 columns") << 2 << 30 << 24 << QStringList{"%0  400/400  成功", "%1  400/400  成功"};
    // Fewer rows than ports: the ports still running, and a count of those that ended.
    QTest::newRow("six ports, 5 rows") << 6 << 80 << 5 << QStringList{"終了 6 ポート（成功 6、失敗 0）"};
    // Too few rows for any board: each port's end on a line of its own.
    QTest::newRow("six ports, 2 rows") << 6 << 80 << 2 << QStringList(6, ended);
    // clang-format on
}

// The progress on a terminal smaller than its lines or its ports, through a real pseudo-terminal
// of that size: every line fits the width (the last column stays free), nothing is drawn over
// the wrong line, and the summary stays whole.
void TestCli::progressFitsTheTerminal()
{
#ifndef Q_OS_UNIX
    QSKIP("needs a pseudo-terminal");
#else
    QFETCH(int, ports);
    QFETCH(int, columns);
    QFETCH(int, rows);
    QFETCH(QStringList, screen);
    std::vector<std::unique_ptr<SimulatorProcess>> simulators;
    QStringList arguments{"write", file("chart.txt", goodFile()), "--timeout-ms",
                          QString::number(HangLimitMs)};
    for (int i = 0; i < ports; ++i) {
        auto& controller = simulators.emplace_back(std::make_unique<SimulatorProcess>());
        QVERIFY2(controller->start({"--output", m_dir.filePath(QStringLiteral("received%1.txt").arg(i))}),
                 qPrintable(controller->errorString()));
        arguments << "--port" << controller->device();
        for (QString& line : screen)
            line.replace(QStringLiteral("%%1").arg(i),
                         QRegularExpression::escape("..." + controller->device().right(5)));
    }
    QByteArray terminal;
    const Result result = runOnTerminal(arguments, terminal, columns, rows);
    QCOMPARE(result.code, 0);
    QCOMPARE(summaryRows(result.out).size(), ports);

    const QStringList shown = screenOf(terminal, columns, rows);
    QCOMPARE(shown.size(), screen.size());
    for (qsizetype i = 0; i < shown.size(); ++i) {
        QVERIFY2(columnsOf(shown[i]) < columns, qPrintable(shown.join('\n')));
        QVERIFY2(
            QRegularExpression(QRegularExpression::anchoredPattern(screen[i])).match(shown[i]).hasMatch(),
            qPrintable(shown.join('\n')));
    }
    if (rows < 3)
        QVERIFY2(!terminal.contains("\x1b["), terminal.constData());
#endif
}

// A terminal made narrower while the ports are written (SIGWINCH): the board is drawn again
// below, fitted to the new width, and goes on there to the end.
void TestCli::boardFollowsResize()
{
#ifndef Q_OS_UNIX
    QSKIP("needs a pseudo-terminal");
#else
    SimulatorProcess fast, stuck;
    QVERIFY2(fast.start({"--output", m_dir.filePath("received0.txt")}), qPrintable(fast.errorString()));
    QVERIFY2(stuck.start({"--output", m_dir.filePath("received1.txt"), "--silent-after", "3"}),
             qPrintable(stuck.errorString()));
    QByteArray terminal;
    qsizetype resizedAt = -1;
    const Result result =
        runOnTerminal({"write", file("chart.txt", goodFile()), "--port", fast.device(), "--port",
                       stuck.device(), "--timeout-ms", QString::number(HangLimitMs)},
                      terminal, 80, 24, [&](int master, QProcess& program, const QByteArray& shown) {
                          // Once the one has ended and the other waits for its fourth record's answer: 40
                          // columns.
                          if (resizedAt < 0 && shown.contains("成功") && shown.contains("  4/400  書込中")) {
                              resizedAt = shown.size();
                              winsize size{};
                              size.ws_col = 40;
                              size.ws_row = 24;
                              ::ioctl(master, TIOCSWINSZ, &size);
                              ::kill(pid_t(program.processId()), SIGWINCH);
                          } else if (resizedAt >= 0 && stuck.process().state() == QProcess::Running &&
                                     shown.mid(resizedAt).contains("書込中")) {
                              // Drawn again: the waiting controller goes away, which ends its transfer.
                              stuck.stop();
                          }
                      });
    QCOMPARE(result.code, 1);
    QVERIFY2(resizedAt >= 0, terminal.constData());

    // The board's lines fit; the reason under them is text, which the terminal wraps.
    const QStringList shown = screenOf(terminal.mid(resizedAt), 40, 24);
    QVERIFY2(shown.size() >= 3, qPrintable(shown.join('\n')));
    QCOMPARE(shown[0], "..." + fast.device().right(5) + "  [###########] 400/400  成功");
    QCOMPARE(shown[1], "..." + stuck.device().right(5) + "  [-----------]   4/400  失敗");
    QVERIFY2(shown[2].startsWith(stuck.device() + "：失敗（"), qPrintable(shown[2]));
#endif
}

void TestCli::portNamedTwice_data()
{
    // %1: the simulator's device, which COM3 stands for; COM5 is a link to it, COM4 no device
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<QString>("reason");

    // clang-format off
    QTest::newRow("the same name twice") << QStringList{"COM3", "COM3"} << "ポート「COM3」が二度指定されています";
    QTest::newRow("COM3 and its device") << QStringList{"COM3", "%1"} << "ポート「COM3」と「%1」は同じデバイス（%1）です";
    QTest::newRow("its device and a link to it") << QStringList{"%1", "COM4", "COM5"} << "ポート「%1」と「COM5」は同じデバイス（%1）です";
    QTest::newRow("a device twice among others") << QStringList{"%1", "COM4", "%1"} << "ポート「%1」が二度指定されています";
    QTest::newRow("one server port by both protocols") << QStringList{"tcp://Rack1.local:4001", "%1", "rfc2217://rack1.local:4001"} << "ポート「tcp://Rack1.local:4001」と「rfc2217://rack1.local:4001」は同じデバイス（rack1.local:4001）です";
    // clang-format on
}

// A controller named twice, under any of its names, is a wrong command line: nothing is written.
void TestCli::portNamedTwice()
{
    QFETCH(QStringList, ports);
    QFETCH(QString, reason);

    SimulatorProcess controller;
    QVERIFY2(controller.start({"--output", m_dir.filePath("received.txt"), "--trace"}),
             qPrintable(controller.errorString()));
    const QString link = m_dir.filePath("controller-link");
    QFile::remove(link);
    QVERIFY(QFile::link(controller.device(), link));
    QVERIFY(!file("program/Setting.ini", "[Ports]\r\nCOM3=" + controller.device().toLocal8Bit() +
                                             "\r\nCOM4=/dev/no-such-tty\r\nCOM5=" + link.toLocal8Bit() +
                                             "\r\n")
                 .isEmpty());

    QStringList arguments{"write", file("chart.txt", goodFile())};
    for (const QString& port : ports)
        arguments << "--port" << QString(port).replace("%1", controller.device());
    const Result result = run(arguments);
    QCOMPARE(result.code, 2);
    QCOMPARE(result.out, "");
    QCOMPARE(result.err,
             "trv5kb: " + reason.replace("%1", controller.device()) + "（使い方は trv5kb --help）\n");

    QCOMPARE(controller.stop(), 0);
    QVERIFY(!controller.process().readAllStandardOutput().contains("recv"));
    QCOMPARE(controller.errors(), QByteArray());
}

void TestCli::checkJson_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("groups");
    QTest::addColumn<QString>("rest"); // the document's other fields; %1: the file as given

    const QString elements = "[{\"element\":\"%1\",\"cells\":%2},{\"element\":\"%3\",\"cells\":%4}]";
    const QString aGroup = elements.arg("UP").arg(1).arg("OFF").arg(184);
    const QString cGroup = elements.arg("OFF").arg(184).arg("ON-1/2").arg(1);
    const QString bValues = "[{\"value\":\"10\",\"cells\":1},{\"value\":\"\\\"X\\\"\",\"cells\":1}]";
    // clang-format off
    QTest::newRow("good") << patternFile({{0, 0, "0"}, {1, 12, "\":\""}, {49, 39, "1"}}, "37") << 0 << groupsJson(37, {{'A', {aGroup, "[]"}}, {'C', {cGroup, "[]"}}}) << R"({"file":"%1","stepCount":37,"stepsInUse":37,"firstUnsendable":null})";
    QTest::newRow("values that are no element") << patternFile({{4, 8, "10"}, {5, 9, "\"X\""}}) << 1 << groupsJson(80, {{'B', {"[{\"element\":\"OFF\",\"cells\":398}]", bValues}}}) << R"({"file":"%1","stepCount":80,"stepsInUse":80,"firstUnsendable":{"kind":"cell","step":5,"channel":"B4","value":"10","text":"ステップ 5 の B4 の値 10 は16の要素のどれでもないため、コントローラに送れません。"}})";
    QTest::newRow("step count 0") << patternFile({}, "0") << 1 << groupsJson(80) << R"({"file":"%1","stepCount":0,"stepsInUse":80,"firstUnsendable":{"kind":"stepCount","stepCount":0,"text":"ステップ数 0 はコントローラに送れません（1～80）。"}})";
    // clang-format on
}

// The facts of `check` as JSON; the reason for a chart that cannot be sent still on standard error.
void TestCli::checkJson()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, code);
    QFETCH(QString, groups);
    QFETCH(QString, rest);

    const QString path = file("check.txt", bytes);
    const Result result = run({"check", path, "--json"});
    QCOMPARE(result.code, code);
    QJsonObject expected = json(rest, path).toObject();
    expected["groups"] = json(groups);
    QString where;
    QVERIFY2(sameJson(jsonOf(result.out), expected, where), qPrintable(where + "\n" + result.out));
    QCOMPARE(result.err.isEmpty(), code == 0);
}

void TestCli::diffJson_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after"); // "(none)": no such file
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("document"); // %1: the folder of the files; "" for no document

    // clang-format off
    QTest::newRow("the same") << goodFile() << goodFile() << 0 << R"({"before":{"file":"%1/before.txt","stepCount":37},"after":{"file":"%1/after.txt","stepCount":37},"same":true,"cells":[]})";
    QTest::newRow("cells and step count") << patternFile({{0, 0, "0"}, {1, 12, "\":\""}}, "37") << patternFile({{0, 0, "1"}, {1, 12, "\"X\""}}, "40") << 1 << R"({"before":{"file":"%1/before.txt","stepCount":37},"after":{"file":"%1/after.txt","stepCount":40},"same":false,"cells":[{"group":"A","channel":"A1","step":1,"before":"UP","after":"DOWN"},{"group":"C","channel":"C3","step":2,"before":"ON-1/2","after":"\"X\""}]})";
    QTest::newRow("step count alone") << patternFile() << patternFile({}, "79") << 1 << R"({"before":{"file":"%1/before.txt","stepCount":80},"after":{"file":"%1/after.txt","stepCount":79},"same":false,"cells":[]})";
    QTest::newRow("a file missing") << patternFile() << QByteArray("(none)") << 2 << "";
    // clang-format on
}

// The differences as JSON; a file that cannot be read gives no document, only its reason.
void TestCli::diffJson()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QFETCH(int, code);
    QFETCH(QString, document);

    const QString first = file("before.txt", before);
    QFile::remove(m_dir.filePath("after.txt"));
    const QString second = after == "(none)" ? m_dir.filePath("after.txt") : file("after.txt", after);
    const Result result = run({"diff", first, second, "--json"});
    QCOMPARE(result.code, code);
    if (document.isEmpty()) {
        QCOMPARE(result.out, "");
        QVERIFY(!result.err.isEmpty());
        return;
    }
    QString where;
    QVERIFY2(sameJson(jsonOf(result.out), json(document, m_dir.path()), where),
             qPrintable(where + "\n" + result.out));
    QCOMPARE(result.err, "");
}

void TestCli::portsJson_data()
{
    QTest::addColumn<QByteArray>("settings"); // "(none)": no Setting.ini; %1: a pseudo-terminal
    QTest::addColumn<bool>("unprivileged");
    QTest::addColumn<QString>("com3"); // COM3's entry; %1: the pseudo-terminal
    QTest::addColumn<QString>("chosen");

    const QString noRight = "このデバイスを使う権限がありません（グループ tty のメンバーだけが使えます）。"
                            "root で「usermod -aG tty nobody」を実行し、ログインし直してください";
    // clang-format off
    QTest::newRow("first start") << QByteArray("(none)") << false << R"({"port":"COM3","device":"/dev/ttyS2","mapped":false,"connected":"*","network":null,"accessProblem":null})" << R"({"port":"ERROR","stored":false,"device":null,"network":null})";
    QTest::newRow("closed without a pick") << QByteArray("[Setting]\r\ncomport=ERROR\r\n") << false << R"({"port":"COM3","device":"/dev/ttyS2","mapped":false,"connected":"*","network":null,"accessProblem":null})" << R"({"port":"ERROR","stored":true,"device":null,"network":null})";
    QTest::newRow("COM3 chosen") << QByteArray("[Setting]\r\ncomport=COM3\r\n[Ports]\r\nCOM3=%1\r\n") << false << R"({"port":"COM3","device":"%1","mapped":true,"connected":true,"network":null,"accessProblem":null})" << R"({"port":"COM3","stored":true,"device":"%1","network":null})";
    QTest::newRow("a device the user may not open") << QByteArray("[Setting]\r\ncomport=%1\r\n[Ports]\r\nCOM3=%1\r\n") << true << R"({"port":"COM3","device":"%1","mapped":true,"connected":true,"network":null,"accessProblem":")" + noRight + R"("})" << R"({"port":"%1","stored":true,"device":"%1","network":null})";
    // No two slashes in a row here: moc, thrown off by the raw strings, would take them for a
    // comment. "\x2f" and JSON's "\/" are slashes all the same.
    QTest::newRow("a network port") << QByteArray("[Setting]\r\ncomport=COM3\r\n[Ports]\r\nCOM3=rfc2217:/\x2frack1.local:4001\r\n") << false << R"({"port":"COM3","device":"rfc2217:\/\/rack1.local:4001","mapped":true,"connected":null,"network":{"protocol":"rfc2217","host":"rack1.local","port":4001},"accessProblem":null})" << R"({"port":"COM3","stored":true,"device":"rfc2217:\/\/rack1.local:4001","network":{"protocol":"rfc2217","host":"rack1.local","port":4001}})";
    // clang-format on
}

// The facts of `ports` as JSON: the devices present with what the system says of them, the
// settings files read, all twenty COMn with their devices, and the window's port.
void TestCli::portsJson()
{
#ifndef Q_OS_UNIX
    QSKIP("needs a pseudo-terminal");
#else
    QFETCH(QByteArray, settings);
    QFETCH(bool, unprivileged);
    QFETCH(QString, com3);
    QFETCH(QString, chosen);
    if (unprivileged && !whyNotUnprivileged().isEmpty())
        QSKIP(qPrintable(whyNotUnprivileged()));
    PseudoTerminal line;
    QVERIFY(line.isValid());
    Result result;
    runPorts(line, settings, unprivileged, {"--json"}, result);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(result.code, 0);
    QCOMPARE(result.err, "");
    const QJsonObject document = jsonOf(result.out);
    QCOMPARE(document.keys(), QStringList({"chosenPort", "comPorts", "devices", "settingsFiles"}));
    QString where;
    for (const QJsonValue device : document["devices"].toArray())
        QVERIFY2(
            sameJson(
                device,
                json(
                    R"({"path":"/dev/*","description":"*","manufacturer":"*","serialNumber":"*","accessProblem":"*"})"),
                where),
            qPrintable(where));
    // Run as root, the program keeps its settings beside itself; another user reads their own first.
    const QString files = unprivileged
                              ? R"(["%1/config/trv5kb-programmer/Setting.ini","%1/program/Setting.ini"])"
                              : R"(["%1/program/Setting.ini"])";
    QVERIFY2(sameJson(document["settingsFiles"], json(files, m_dir.path()), where), qPrintable(where));
    const QJsonArray comPorts = document["comPorts"].toArray();
    QCOMPARE(comPorts.size(), 20);
    QVERIFY2(
        sameJson(
            comPorts[0],
            json(
                R"({"port":"COM1","device":"/dev/ttyS0","mapped":false,"connected":"*","network":null,"accessProblem":"*"})"),
            where),
        qPrintable(where));
    QVERIFY2(sameJson(comPorts[2], json(com3, line.device()), where), qPrintable(where));
    QVERIFY2(
        sameJson(
            comPorts[19],
            json(
                R"({"port":"COM20","device":"/dev/ttyS19","mapped":false,"connected":"*","network":null,"accessProblem":"*"})"),
            where),
        qPrintable(where));
    QVERIFY2(sameJson(document["chosenPort"], json(chosen, line.device()), where), qPrintable(where));
#endif
}

void TestCli::writeJson_data()
{
    // For each port: the simulator's options, or "missing" for COM4, which stands for no device
    QTest::addColumn<QStringList>("controllers");
    QTest::addColumn<bool>("refused"); // the chart cannot be sent, else it is goodFile()
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<int>("code");
    // The ports' entries; %1: the first simulator's device. Times vary: "*".
    QTest::addColumn<QString>("ports");
    QTest::addColumn<QString>("err"); // how standard error begins

    const QString success =
        R"({"port":"%1","device":"%1","result":"success","cause":null,"reason":null,"details":[],"records":400,"acknowledged":400,"milliseconds":"*"})";
    const QString missing =
        R"({"port":"COM4","device":"/dev/no-such-tty","result":"failure","cause":"portNotOpened","reason":"ポート「COM4」を開けません（COM4 (/dev/no-such-tty): *","details":["接続されているシリアルデバイス*"],"records":0,"acknowledged":0,"milliseconds":"*"})";
    const QString refusal =
        R"({"port":"%2","device":"%3","result":"failure","cause":"unsendableChart","reason":"送れない値があります：ステップ数は 1～80、各セルは16の要素のどれかでなければなりません。","details":["ステップ 5 の B4 の値 10 は16の要素のどれでもないため、コントローラに送れません。"],"records":0,"acknowledged":0,"milliseconds":0})";
    // clang-format off
    QTest::newRow("one port") << QStringList{""} << false << HangLimitMs << 0 << "[" + success + "]" << "";
    QTest::newRow("one port, silent") << QStringList{"--silent-after 3"} << false << AnswerLimitMs << 1 << R"([{"port":"%1","device":"%1","result":"failure","cause":"timeLimit","reason":"書き込みが制限時間（3 秒）内に終わりませんでした。コントローラーが受け取ったレコードは 400 件中 3 件で、コントローラーには途中までのパターンしか書き込まれていません。","details":[],"records":4,"acknowledged":3,"milliseconds":"*"}])" << "失敗：書き込みが制限時間（3 秒）内に";
    QTest::newRow("two ports, one missing") << QStringList{"", "missing"} << false << HangLimitMs << 1 << "[" + success + "," + missing + "]" << "COM4：失敗（";
    // A script gets its document all the same: each port failed for the chart, none was opened.
    QTest::newRow("chart refused") << QStringList{"", "missing"} << true << HangLimitMs << 1 << "[" + refusal.arg("%1", "%1") + "," + refusal.arg("COM4", "/dev/no-such-tty") + "]" << "ステップ 5 の B4 の値 10";
    // clang-format on
}

// Each port's result as JSON in place of the summary; standard error as without --json.
void TestCli::writeJson()
{
    QFETCH(QStringList, controllers);
    QFETCH(bool, refused);
    QFETCH(int, timeoutMs);
    QFETCH(int, code);
    QFETCH(QString, ports);
    QFETCH(QString, err);

    std::vector<std::unique_ptr<SimulatorProcess>> simulators;
    QStringList arguments{"write", file("chart.txt", refused ? unsendableFile() : goodFile()), "--json",
                          "--timeout-ms", QString::number(timeoutMs)};
    for (const QString& options : controllers) {
        if (options == "missing") {
            arguments << "--port"
                      << "COM4";
            continue;
        }
        auto& controller = simulators.emplace_back(std::make_unique<SimulatorProcess>());
        QVERIFY2(controller->start(QStringList{"--output", m_dir.filePath("received.txt"), "--trace"} +
                                   options.split(' ', Qt::SkipEmptyParts)),
                 qPrintable(controller->errorString()));
        arguments << "--port" << controller->device();
    }
    QVERIFY(!file("program/Setting.ini", "[Ports]\r\nCOM4=/dev/no-such-tty\r\n").isEmpty());

    const Result result = run(arguments);
    QCOMPARE(result.code, code);
    const QString firstUnsendable =
        refused
            ? R"({"kind":"cell","step":5,"channel":"B4","value":"10","text":"ステップ 5 の B4 の値 10 は16の要素のどれでもないため、コントローラに送れません。"})"
            : "null";
    QJsonObject expected =
        json(R"({"file":"%1","stepCount":37,"success":true})", m_dir.filePath("chart.txt")).toObject();
    expected["stepCount"] = refused ? 80 : 37;
    expected["firstUnsendable"] = json("[" + firstUnsendable + "]").toArray().first();
    expected["success"] = code == 0;
    expected["ports"] = json(ports, simulators.front()->device());
    QString where;
    QVERIFY2(sameJson(jsonOf(result.out), expected, where), qPrintable(where + "\n" + result.out));
    QVERIFY2(err.isEmpty() ? result.err.isEmpty() : result.err.startsWith(err), qPrintable(result.err));
    // A chart refused reaches no controller.
    if (refused) {
        QCOMPARE(simulators.front()->stop(), 0);
        QVERIFY(!simulators.front()->process().readAllStandardOutput().contains("recv"));
    }
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
    QCOMPARE(result.err, "trv5kb: 標準出力に書き込めません: ディスクの空きが足りません\n");
    QCOMPARE(result.code, 1);
}

void TestCli::namesInBytes_data()
{
    QTest::addColumn<QList<QByteArray>>("arguments");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("out"); // how standard output begins
    QTest::addColumn<QString>("err"); // how the last line of standard error begins, "" for none

    // Saved by a system that writes names in Shift_JIS: "sjパタ.txt".
    const QByteArray name = "sj\x83p\x83^.txt";
    const QByteArray pdf = "sj\x83p\x83^.pdf";
    // clang-format off
    QTest::newRow("check") << QList<QByteArray>{"check", name} << 0 << "ステップ数：37（ステップ 1～37 を使用）\n" << "";
    QTest::newRow("check --json") << QList<QByteArray>{"check", name, "--json"} << 0 << R"({"file":"sj\\x83p\\x83^.txt",)" << "";
    QTest::newRow("show") << QList<QByteArray>{"show", name, "--group", "A"} << 0 << "ステップ数：37　グループA\n" << "";
    QTest::newRow("diff") << QList<QByteArray>{"diff", name, "good.txt"} << 0 << "ステップ数：37（同じ）\n" << "";
    // Read, then refused at the port: the file was found.
    QTest::newRow("write") << QList<QByteArray>{"write", name, "--port", "COM4"} << 1 << "" << "失敗：ポート「COM4」を開けません（";
    QTest::newRow("pdf, both names so") << QList<QByteArray>{"pdf", name, pdf} << 0 << "" << "";
    QTest::newRow("missing") << QList<QByteArray>{"check", "gone-\x83.txt"} << 1 << "" << "「gone-\\x83.txt」：ファイルが見つかりません。";
    QTest::newRow("broken") << QList<QByteArray>{"show", "broken-\x83.txt"} << 1 << "" << "「broken-\\x83.txt」：ファイルが壊れています（値が足りません）。";
    QTest::newRow("too long") << QList<QByteArray>{"check", QByteArray(300, 'a')} << 1 << "" << "「" + QString(300, 'a') + "」：ファイル名が長すぎます。";
    QTest::newRow("too long to write") << QList<QByteArray>{"pdf", "good.txt", QByteArray(300, 'a') + ".pdf"} << 1 << "" << "「" + QString(300, 'a') + ".pdf」：PDF を書き出せません（ファイル名が長すぎます）。";
    QTest::newRow("extra argument") << QList<QByteArray>{"show", name, "sj\x83.txt"} << 2 << "" << "trv5kb: 余分な引数「sj\\x83.txt」があります";
    // clang-format on
}

// Names in bytes that are no text (a Shift_JIS name on a UTF-8 system) open the file they
// name in every sub-command, and show with those bytes as \xHH.
void TestCli::namesInBytes()
{
    QFETCH(QList<QByteArray>, arguments);
    QFETCH(int, code);
    QFETCH(QString, out);
    QFETCH(QString, err);
    const QByteArray folder = QFile::encodeName(m_dir.path()) + '/';
    QVERIFY(writeFileByBytes(folder + "sj\x83p\x83^.txt", goodFile()));
    QVERIFY(writeFileByBytes(folder + "broken-\x83.txt", goodFile().left(100)));
    QVERIFY(!file("good.txt", goodFile()).isEmpty());
    QVERIFY(!file("program/Setting.ini", "[Ports]\r\nCOM4=/dev/no-such-tty\r\n").isEmpty());
    ::unlink(folder + "sj\x83p\x83^.pdf");

    const Result result = runWithBytes(arguments);
    QVERIFY2(out.isEmpty() ? result.out.isEmpty() : result.out.startsWith(out), qPrintable(result.out));
    const QStringList lines = result.err.split('\n', Qt::SkipEmptyParts);
    QVERIFY2(err.isEmpty() ? result.err.isEmpty() : lines.value(lines.size() - 1).startsWith(err),
             qPrintable(result.err));
    QCOMPARE(result.code, code);
    if (arguments.first() == "pdf" && code == 0) {
        // The PDF under the name given, byte for byte, and under no other.
        QVERIFY(readFileByBytes(folder + arguments.last()).startsWith("%PDF-"));
        QVERIFY(::access(folder + "sj\xef\xbf\xbdp\xef\xbf\xbd^.pdf", F_OK) != 0);
    }
}

void TestCli::networkWrite_data()
{
    // Each port: "tcp" or "rfc2217" for a simulator behind ser2net, given by its URL; "COM5" for
    // one behind ser2net with RFC 2217 that Setting.ini maps COM5 to; "local" for one by its device.
    QTest::addColumn<QStringList>("ports");

    QTest::newRow("raw") << QStringList{"tcp"};
    QTest::newRow("RFC 2217") << QStringList{"rfc2217"};
    QTest::newRow("mixed with a local port") << QStringList{"tcp", "local", "COM5"};
    QTest::newRow("eight network ports")
        << QStringList{"tcp", "rfc2217", "tcp", "rfc2217", "tcp", "rfc2217", "tcp", "rfc2217"};
}

// The chart reaches every controller behind ser2net byte for byte, in one command with local
// ports. The server opens each line at 9,600 baud with 2 stop bits, which the simulator reports
// at the erase: with RFC 2217 the writer has set 57,600 8N1 before; a raw port is set up in the
// server's configuration, as the README says.
void TestCli::networkWrite()
{
    QFETCH(QStringList, ports);

    std::vector<std::unique_ptr<SimulatorProcess>> simulators;
    QList<Ser2netServer::Port> served;
    for (const QString& port : ports) {
        const QString received = m_dir.filePath(QStringLiteral("received%1.txt").arg(simulators.size()));
        QFile::remove(received);
        auto& controller = simulators.emplace_back(std::make_unique<SimulatorProcess>());
        QVERIFY2(controller->start({"--output", received}), qPrintable(controller->errorString()));
        if (port == "tcp")
            served.append({controller->device(), Ser2netServer::Protocol::Raw, "57600n81"});
        else if (port != "local")
            served.append({controller->device(), Ser2netServer::Protocol::Rfc2217, "9600n82"});
    }
    Ser2netServer server;
    QVERIFY2(server.start(served), qPrintable(server.errorString()));

    QStringList arguments{"write", file("chart.txt", goodFile()), "--timeout-ms",
                          QString::number(HangLimitMs)};
    QByteArray settings = "[Ports]\r\n";
    int next = 0;
    for (qsizetype i = 0; i < ports.size(); ++i) {
        QString name = ports[i] == "local" ? simulators[std::size_t(i)]->device() : server.url(next++);
        if (ports[i] == "COM5") {
            settings += "COM5=" + name.toLatin1() + "\r\n";
            name = "COM5";
        }
        arguments << "--port" << name;
    }
    QVERIFY(!file("program/Setting.ini", settings).isEmpty());

    const Result result = run(arguments);
    QVERIFY2(result.code == 0, qPrintable(result.out + result.err + server.output()));
    if (ports.size() == 1) {
        QCOMPARE(result.out, "成功\n");
    } else {
        const QList<QStringList> rows = summaryRows(result.out);
        QCOMPARE(rows.size(), ports.size());
        for (const QStringList& row : rows)
            QCOMPARE(row.value(1), "成功");
    }
    for (std::size_t i = 0; i < simulators.size(); ++i) {
        QCOMPARE(readFile(m_dir.filePath(QStringLiteral("received%1.txt").arg(i))), goodFile());
        QCOMPARE(simulators[i]->stop(), 0);
        QCOMPARE(simulators[i]->errors(), QByteArray());
    }
}

void TestCli::networkFaults_data()
{
    // %1: the port number the row's server (or nobody) has
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("server"); // "nobody", "unanswering", "silent"
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<QString>("cause");
    QTest::addColumn<QString>("reason");

    const QString notOpened = "ポート「%2」を開けません（%2: ";
    // clang-format off
    QTest::newRow("nobody listens") << "tcp://127.0.0.1:%1" << "nobody" << HangLimitMs << "portNotOpened" << notOpened + "127.0.0.1 のポート %1 は接続を拒否しました（待ち受けているサーバーがありません））。";
    QTest::newRow("a name that does not resolve") << "rfc2217://no-such-host.invalid:4001" << "nobody" << HangLimitMs << "portNotOpened" << notOpened + "名前「no-such-host.invalid」を解決できません）。";
    QTest::newRow("a host that never answers") << "rfc2217://127.0.0.1:%1" << "unanswering" << 300 << "portNotOpened" << notOpened + "127.0.0.1 のポート %1 が時間内に接続に応じませんでした）。";
    QTest::newRow("a server silent on RFC 2217") << "rfc2217://127.0.0.1:%1" << "silent" << 300 << "portNotOpened" << notOpened + "サーバーが COM ポートの設定（RFC 2217）の取り決めに答えませんでした）。";
    // Over a raw port nothing tells a silent server from a silent controller.
    QTest::newRow("a silent raw port") << "tcp://127.0.0.1:%1" << "silent" << 300 << "noReply" << "コントローラーから時間内に応答がありませんでした。";
    // clang-format on
}

// A network port that cannot be had ends with the user's words, and by the time-out at the
// latest, whatever the server does; none lists the serial devices present.
void TestCli::networkFaults()
{
    QFETCH(QString, port);
    QFETCH(QString, server);
    QFETCH(int, timeoutMs);
    QFETCH(QString, cause);
    QFETCH(QString, reason);

    std::optional<UnansweringPort> unanswering;
    QTcpServer silent;
    quint16 number = Ser2netServer::freePort();
    if (server == "unanswering") {
        unanswering.emplace();
        QVERIFY2(unanswering->port() != 0, qPrintable(unanswering->errorString()));
        number = unanswering->port();
    } else if (server == "silent") {
        // Never served: the system takes the connection, and the server says nothing.
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        number = silent.serverPort();
    }
    port.replace("%1", QString::number(number));
    reason.replace("%1", QString::number(number)).replace("%2", port);

    const Result result = run({"write", file("chart.txt", goodFile()), "--json", "--port", port,
                               "--timeout-ms", QString::number(timeoutMs)});
    QCOMPARE(result.code, 1);
    QCOMPARE(result.err, "失敗：" + reason + "\n");
    const QJsonObject document = jsonOf(result.out);
    const QJsonObject entry = document["ports"].toArray().first().toObject();
    QCOMPARE(entry["cause"].toString(), cause);
    QCOMPARE(entry["reason"].toString(), reason);
    QCOMPARE(entry["details"].toArray(), QJsonArray());
    if (server != "nobody")
        QVERIFY(entry["milliseconds"].toInt() >= timeoutMs);
}

// Two writers aimed at one server port: the second is refused by the server and says so, in
// the server's words; the first goes on until the server stops, and then says that.
void TestCli::serverRefusesThenStops()
{
    SimulatorProcess controller;
    QVERIFY2(controller.start({"--output", m_dir.filePath("received.txt"), "--silent-after", "3"}),
             qPrintable(controller.errorString()));
    Ser2netServer server;
    QVERIFY2(server.start({{controller.device(), Ser2netServer::Protocol::Rfc2217}}),
             qPrintable(server.errorString()));
    QStringList arguments{"write", file("chart.txt", goodFile()), "--json", "--port", server.url(0)};
    arguments << "--timeout-ms" << QString::number(HangLimitMs);

    // The first writer waits for an answer to record 3, which never comes.
    QProcess first;
    first.setWorkingDirectory(m_dir.path());
    first.start(m_program, arguments);
    QByteArray said;
    QVERIFY(QTest::qWaitFor(
        [&] {
            said += controller.process().readAllStandardOutput();
            return said.contains("staying silent after 3 records");
        },
        HangLimitMs));

    const Result second = run(arguments);
    QCOMPARE(second.code, 1);
    const QString refused =
        QStringLiteral(
            "ポート「%1」を開けません（%1: サーバーが接続を断りました：「Port already in use」）。")
            .arg(server.url(0));
    QCOMPARE(second.err, "失敗：" + refused + "\n");
    QCOMPARE(jsonOf(second.out)["ports"].toArray().first()["cause"].toString(), "portNotOpened");

    server.stop();
    QVERIFY(first.waitForFinished(RunLimitMs));
    QCOMPARE(first.exitCode(), 1);
    const QString lost =
        QStringLiteral("通信中にポートが使えなくなりました（%1: サーバーが接続を切りました）。")
            .arg(server.url(0));
    QCOMPARE(QString::fromUtf8(first.readAllStandardError()), "失敗：" + lost + "\n");
    const QJsonObject entry =
        jsonOf(QString::fromUtf8(first.readAllStandardOutput()))["ports"].toArray().first().toObject();
    QCOMPARE(entry["cause"].toString(), "portLost");
    QCOMPARE(entry["records"].toInt(), 4);
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
