// The Windows programs of the cross build, run under Wine from outside as a
// user runs them: the command-line writer and the window writing into the
// controller simulator through a COM port that Wine maps to the simulator's
// pseudo-terminal, the writer's texts in a console and in a pipe, the
// portable copy and the installer. It runs in the session of the test run
// (cmake/wine/session.sh), whose prefix and display it reads from the
// session's file, and drives the window with keys through xdotool.

#include "ChartText.h"
#include "FileBytes.h"
#include "PdfReader.h"
#include "PseudoTerminal.h"
#include "ReadOnlyFolder.h"
#include "SimulatorProcess.h"
#include "SmallFileSystem.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <unistd.h>

namespace {

const QString BuildDir = QStringLiteral(TRV_WINDOWS_BUILD_DIR);
const QString WineRun = BuildDir + QStringLiteral("/wine-run");
const QString Writer = BuildDir + QStringLiteral("/bin/trv5kb.exe");
const QString Window = BuildDir + QStringLiteral("/bin/trv5kb-programmer.exe");
const QString Probe = BuildDir + QStringLiteral("/tests/trv-commeventprobe.exe");
const QString WindowTitle = QStringLiteral("TRV5KB Programmer");

// The time limit of a wait for something that must come: it only bounds a hang. A Windows
// program under Wine took 15 s to show its window on a busy machine.
constexpr int HangLimitMs = 120000;

struct Session
{
    QString prefix;
    QString display;
};

Session session()
{
    Session found;
    const QByteArray text = readFile(BuildDir + QStringLiteral("/wine/session"));
    for (const QByteArray& line : text.split('\n')) {
        if (line.startsWith("session_prefix="))
            found.prefix = QString::fromLocal8Bit(line.mid(15));
        else if (line.startsWith("session_display="))
            found.display = QString::fromLocal8Bit(line.mid(16));
    }
    return found;
}

// What the Windows programs see: the session's display, and none of the test's own settings
// for Qt (Wine-run hands every QT_ variable on).
QProcessEnvironment windowsEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString& name : environment.keys())
        if (name.startsWith(QLatin1String("QT_")))
            environment.remove(name);
    environment.insert(QStringLiteral("DISPLAY"), session().display);
    environment.insert(QStringLiteral("WINEDEBUG"), QStringLiteral("-all"));
    return environment;
}

// The same for a prefix of a test's own, without the build's DLLs: the program must bring
// what it needs.
QProcessEnvironment plainWineEnvironment(const QString& prefix)
{
    QProcessEnvironment environment = windowsEnvironment();
    environment.insert(QStringLiteral("WINEPREFIX"), prefix);
    environment.remove(QStringLiteral("WINEPATH"));
    return environment;
}

struct Finished
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
    qint64 milliseconds = 0;
};

Finished finish(QProcess& process)
{
    Finished finished;
    QElapsedTimer clock;
    clock.start();
    if (!process.waitForFinished(HangLimitMs))
        process.kill();
    process.waitForFinished();
    finished.milliseconds = clock.elapsed();
    finished.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    finished.out = process.readAllStandardOutput();
    finished.err = process.readAllStandardError();
    return finished;
}

// A program of the build under Wine, in `folder`, as wine-run starts it.
Finished runWindows(const QString& program, const QStringList& arguments, const QString& folder)
{
    QProcess process;
    process.setProcessEnvironment(windowsEnvironment());
    process.setWorkingDirectory(folder);
    process.start(WineRun, QStringList{program} + arguments);
    return finish(process);
}

// Runs the event loop until `process` has printed a line starting with `start`; the rest of
// that line, or nothing when the process ended or the time ran out first.
std::optional<QByteArray> waitForLine(QProcess& process, QByteArray& seen, const QByteArray& start)
{
    const QDeadlineTimer deadline(HangLimitMs);
    for (;;) {
        for (const QByteArray& line : seen.split('\n'))
            if (line.startsWith(start))
                return line.mid(start.size()).trimmed();
        if (deadline.hasExpired() || process.state() == QProcess::NotRunning)
            return std::nullopt;
        process.waitForReadyRead(100);
        seen += process.readAllStandardOutput();
    }
}

// COM port `number` of the session's prefix led to `device` while this lives; afterwards it
// leads where the session had it lead (to no port).
class ComPort
{
public:
    ComPort(int number, const QString& device)
        : m_link(session().prefix + QStringLiteral("/dosdevices/com%1").arg(number)),
          m_before(QFileInfo(m_link).symLinkTarget())
    {
        QFile::remove(m_link);
        m_made = QFile::link(device, m_link);
    }
    ~ComPort()
    {
        QFile::remove(m_link);
        if (!m_before.isEmpty())
            QFile::link(m_before, m_link);
    }
    bool isMade() const { return m_made; }

private:
    QString m_link;
    QString m_before;
    bool m_made = false;
};

// The simulator behind COM port `number`, telling every message it takes and every write;
// the received charts go into `folder`.
class SimulatorOnPort
{
public:
    bool start(int number, const QString& folder)
    {
        if (!m_simulator.start({QStringLiteral("--trace"), QStringLiteral("--output"),
                                QDir(folder).filePath(QStringLiteral("received.txt"))}))
            return false;
        m_port.emplace(number, m_simulator.device());
        return m_port->isMade();
    }
    // Waits for a line of its trace.
    bool saw(const QByteArray& line) { return waitForLine(m_simulator.process(), m_trace, line).has_value(); }
    QByteArray trace() const { return m_trace; }
    // Whether it found anything against the controller's protocol or line settings.
    bool sawViolation() { return m_simulator.errors().contains("violation"); }
    QString errorString() const { return m_simulator.errorString(); }

private:
    SimulatorProcess m_simulator;
    std::optional<ComPort> m_port;
    QByteArray m_trace;
};

// xdotool on the session's display; its exit status.
int xdotool(const QStringList& arguments, QByteArray* output = nullptr)
{
    QProcess process;
    process.setProcessEnvironment(windowsEnvironment());
    process.start(QStringLiteral("xdotool"), arguments);
    const Finished finished = finish(process);
    if (output)
        *output = finished.out;
    return finished.exitCode;
}

// Waits for the window of `program` to be shown, then types `keys` into it (xdotool's names),
// one after the other. Xvfb has no window manager: the keyboard goes to the window under the
// pointer, so the pointer is put there first.
bool typeIntoWindow(const QProcess& program, const QStringList& keys)
{
    QByteArray found;
    if (xdotool({QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                 QStringLiteral("--pid"), QString::number(program.processId()), QStringLiteral("--name"),
                 WindowTitle},
                &found) != 0)
        return false;
    const QString window = QString::fromLatin1(found.trimmed().split('\n').first());
    return xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window, QStringLiteral("1"),
                    QStringLiteral("1")}) == 0 &&
           xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("100")} +
                   keys) == 0;
}

// From the first control, which has the focus when the window opens: back round to the port
// box, the last one; and the key that presses 書込 wherever the keyboard is.
const QStringList ToPortBox{QStringLiteral("shift+Tab")};
const QStringList PressWrite{QStringLiteral("ctrl+Return")};

// A copy of the built program folder (the programs and their pictures) in `folder`.
bool copyProgramFolder(const QString& folder)
{
    QDir bin(BuildDir + QStringLiteral("/bin"));
    for (const QString& name : bin.entryList(QDir::Files))
        if (!QFile::copy(bin.filePath(name), QDir(folder).filePath(name)))
            return false;
    return true;
}

// A Windows program's text output, its lines ended by CR LF as Windows' C library ends them.
QString lines(const QByteArray& text)
{
    return QString::fromUtf8(text).remove(QLatin1Char('\r'));
}

QString lastLine(const QByteArray& text)
{
    return lines(text).trimmed().section(QLatin1Char('\n'), -1);
}

} // namespace

class TestWine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void portNoticeUnderWine();
    void writerThroughComPort();
    void writerRefusesMissingPort();
    void portRefused();
    void writerTexts();
    void writerTextsOnConsole();
    void fullDiskKeepsOldFile();
    void windowWritesByKeys();
    void portableCopy();
    void installer();

private:
    // The portable ZIP and the installer, made from the build once.
    QString package(const QString& pattern);

    QTemporaryDir m_packages;
    bool m_packed = false;
};

void TestWine::initTestCase()
{
    const Session current = session();
    QVERIFY2(!current.prefix.isEmpty(), "no Wine session: run this test through ctest (fixture \"wine\")");
    QVERIFY2(QFileInfo(Writer).isFile(), qPrintable(Writer));
}

// Under Wine, the notice that bytes have arrived never comes the way Qt Serial Port waits for
// it, so a Windows program with Qt reads nothing from a serial port there: a wait on the port's
// I/O completion port never completes, and a wait with an event of its own completes without
// the event. The bytes are there all the same: a wait issued once they are sees them at once,
// and a read takes them. The program cannot mend this without a way of reading of its own for
// Wine: the transfer's reads are tested under Wine over the in-process line instead.
void TestWine::portNoticeUnderWine()
{
    PseudoTerminal line;
    QVERIFY(line.isValid());
    ComPort port(7, line.device());
    QVERIFY(port.isMade());
    QProcess probe;
    probe.setProcessEnvironment(windowsEnvironment());
    probe.start(WineRun, {Probe, QStringLiteral("COM7"), QStringLiteral("5000")});
    QByteArray seen;
    QVERIFY2(waitForLine(probe, seen, "ready=1"), seen + probe.readAllStandardError());
    QVERIFY(line.send("e\r"));
    QVERIFY2(waitForLine(probe, seen, "ready=2"), seen + probe.readAllStandardError());
    QVERIFY(line.send("s\r"));
    QVERIFY2(waitForLine(probe, seen, "read="), seen + probe.readAllStandardError());
    QCOMPARE(finish(probe).exitCode, 0);

    QEXPECT_FAIL("", "Wine 8.0 never completes a wait for the port's events on an I/O completion port",
                 Continue);
    QCOMPARE(waitForLine(probe, seen, "completion=").value_or("(none)"), QByteArray("1"));
    QEXPECT_FAIL("", "Wine 8.0 completes a pending wait as cancelled, with no event", Continue);
    QCOMPARE(waitForLine(probe, seen, "eventWait=").value_or("(none)") + ' ' +
                 waitForLine(probe, seen, "eventMask=").value_or("(none)"),
             QByteArray("1 1"));
    QCOMPARE(waitForLine(probe, seen, "laterMask=").value_or("(none)"), QByteArray("1")); // EV_RXCHAR
    QCOMPARE(waitForLine(probe, seen, "read=").value_or("(none)"), QByteArray("s\\r"));
}

// trv5kb.exe writes through a COM port that Wine maps to the simulator's pseudo-terminal (one
// above COM9, which Windows opens by another name): the erase reaches the controller byte for byte on a line
// set up as the controller's (the simulator checks the speed, stop bits and flow control), and the
// controller's answer goes out. Wine never hands the answer on (portNoticeUnderWine), so the writer ends with
// its real time-out of 15 s, as before a silent controller.
void TestWine::writerThroughComPort()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    SimulatorOnPort simulator;
    QVERIFY2(simulator.start(15, folder.path()), qPrintable(simulator.errorString()));
    QVERIFY(writeFile(folder.filePath("パターン１.txt"), patternFile({{0, 0, "1"}}, "12")));

    const Finished writer = runWindows(Writer,
                                       {QStringLiteral("write"), QStringLiteral("パターン１.txt"),
                                        QStringLiteral("--port"), QStringLiteral("COM15")},
                                       folder.path());
    QCOMPARE(writer.exitCode, 1);
    QCOMPARE(lastLine(writer.err), "失敗：コントローラーから時間内に応答がありませんでした。");
    QVERIFY2(writer.milliseconds >= 15000, qPrintable(QString::number(writer.milliseconds)));
    QVERIFY2(simulator.saw("recv \"E\\r\""), simulator.trace());
    QVERIFY2(simulator.saw("sent \"e\""), simulator.trace());
    QVERIFY2(!simulator.sawViolation(), simulator.trace());
    QVERIFY(!QFile::exists(folder.filePath("received.txt")));
}

// A port Windows does not have: the reason names it, in the window's words; with --json the
// same facts as one line of UTF-8.
void TestWine::writerRefusesMissingPort()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(writeFile(folder.filePath("show.txt"), patternFile()));
    const Finished writer =
        runWindows(Writer,
                   {QStringLiteral("write"), QStringLiteral("show.txt"), QStringLiteral("--port"),
                    QStringLiteral("COM12"), QStringLiteral("--json")},
                   folder.path());
    QCOMPARE(writer.exitCode, 1);
    QVERIFY2(lines(writer.err)
                 .contains(QRegularExpression("^失敗：ポート「COM12」を開けません（COM12: .+）。$",
                                              QRegularExpression::MultilineOption)),
             writer.err.constData());
    QJsonParseError error;
    const QJsonObject document = QJsonDocument::fromJson(writer.out, &error).object();
    QVERIFY2(error.error == QJsonParseError::NoError, writer.out.constData());
    QCOMPARE(document["success"].toBool(), false);
    const QJsonObject port = document["ports"].toArray().at(0).toObject();
    QCOMPARE(port["port"].toString(), "COM12");
    QCOMPARE(port["cause"].toString(), "portNotOpened");
    QCOMPARE(port["records"].toInt(), 0);
}

// Windows opens a serial port for one program at a time and refuses it to a second with
// "access denied", which the writer explains. Wine lets a second program open it all the same;
// a folder in the port's place gives the same refusal there.
void TestWine::portRefused()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(writeFile(folder.filePath("show.txt"), patternFile()));
    QVERIFY(QDir(folder.path()).mkdir("held"));
    ComPort port(8, folder.filePath("held"));
    QVERIFY(port.isMade());
    const Finished writer = runWindows(Writer,
                                       {QStringLiteral("write"), QStringLiteral("show.txt"),
                                        QStringLiteral("--port"), QStringLiteral("COM8")},
                                       folder.path());
    QCOMPARE(writer.exitCode, 1);
    QVERIFY2(lines(writer.err)
                 .contains("失敗：ポート「COM8」を開けません（COM8: ポートは他のプログラムが使用中です）。"),
             writer.err.constData());
}

// Redirected into a pipe, the writer's texts are UTF-8 whatever the system's code page, and
// its exit statuses are those of Linux.
void TestWine::writerTexts()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(writeFile(folder.filePath("show.txt"), patternFile({{0, 0, "1"}}, "12")));

    const Finished check =
        runWindows(Writer, {QStringLiteral("check"), QStringLiteral("show.txt")}, folder.path());
    QCOMPARE(check.exitCode, 0);
    QVERIFY2(lines(check.out).contains("ステップ数：12"), check.out.constData());
    const Finished missing =
        runWindows(Writer, {QStringLiteral("check"), QStringLiteral("ない.txt")}, folder.path());
    QCOMPARE(missing.exitCode, 1);
    QCOMPARE(lastLine(missing.err), "「ない.txt」：ファイルが見つかりません。");
    const Finished usage = runWindows(Writer, {QStringLiteral("frobnicate")}, folder.path());
    QCOMPARE(usage.exitCode, 2);
    const Finished json =
        runWindows(Writer, {QStringLiteral("check"), QStringLiteral("show.txt"), QStringLiteral("--json")},
                   folder.path());
    QCOMPARE(json.exitCode, 0);
    QCOMPARE(QJsonDocument::fromJson(json.out).object()["stepCount"].toInt(), 12);
}

// On a console the writer's Japanese shows as it is (the console's wide characters; Wine hands
// a console's text on to its terminal in UTF-8).
void TestWine::writerTextsOnConsole()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(writeFile(folder.filePath("show.txt"), patternFile({{0, 0, "1"}}, "12")));
    PseudoTerminal terminal;
    QVERIFY(terminal.isValid());
    QProcess writer;
    writer.setProcessEnvironment(windowsEnvironment());
    writer.setWorkingDirectory(folder.path());
    const int slave = terminal.slaveDescriptor();
    writer.setChildProcessModifier([slave] {
        ::dup2(slave, STDIN_FILENO);
        ::dup2(slave, STDOUT_FILENO);
        ::dup2(slave, STDERR_FILENO);
    });
    writer.start(WineRun, {Writer, QStringLiteral("check"), QStringLiteral("show.txt")});
    QCOMPARE(finish(writer).exitCode, 0);
    const QString shown = lines(terminal.take());
    QVERIFY2(shown.contains("ステップ数：12"), qPrintable(shown));
}

// A file replaced on a full disk stays as it was, and the reason says so: the checked
// replacement of every file the programs write, with Windows' own flush and rename.
void TestWine::fullDiskKeepsOldFile()
{
    SmallFileSystem disk("size=64k");
    if (!disk.isMounted())
        QSKIP(qPrintable(disk.whyNotMounted()));
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(writeFile(folder.filePath("show.txt"), patternFile({{0, 0, "1"}}, "12")));
    const QByteArray old = "%PDF-1.4 the sheet of the day before";
    QVERIFY(writeFile(disk.filePath("sheet.pdf"), old));
    QVERIFY(disk.fillBlocks());
    const QStringList before = QDir(disk.path()).entryList(QDir::Files | QDir::Hidden);

    const Finished pdf =
        runWindows(Writer, {QStringLiteral("pdf"), QStringLiteral("show.txt"), disk.filePath("sheet.pdf")},
                   folder.path());
    QCOMPARE(pdf.exitCode, 1);
    // In the system's words; under Wine, whose drive Z: is the whole of the build machine's
    // file system, Qt cannot tell the space left on the small one.
    QVERIFY2(lines(pdf.err).contains("ディスク") || lines(pdf.err).contains("Disk full"),
             pdf.err.constData());
    QCOMPARE(readFile(disk.filePath("sheet.pdf")), old);
    QCOMPARE(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden), before);
}

// The window's 書込, reached and pressed with the keyboard, writes through the COM port its
// Setting.ini names: the erase reaches the simulator. Closed with Alt+F4, the window keeps
// its port.
void TestWine::windowWritesByKeys()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(copyProgramFolder(folder.path()));
    const QByteArray settings = "[Setting]\r\ncomport=COM6\r\n";
    QVERIFY(writeFile(folder.filePath("Setting.ini"), settings));
    QVERIFY(writeFile(folder.filePath("パターン.txt"), patternFile({{0, 0, "1"}}, "12")));
    SimulatorOnPort simulator;
    QVERIFY2(simulator.start(6, folder.path()), qPrintable(simulator.errorString()));

    QProcess window;
    window.setProcessEnvironment(windowsEnvironment());
    window.setWorkingDirectory(folder.path());
    window.start(WineRun, {folder.filePath("trv5kb-programmer.exe"), QStringLiteral("パターン.txt")});
    QVERIFY(typeIntoWindow(window, PressWrite));
    QVERIFY2(simulator.saw("recv \"E\\r\""), simulator.trace());
    QVERIFY2(!simulator.sawViolation(), simulator.trace());
    // Closing while the transfer waits for replies (which Wine never passes on) asks first, No
    // by default: the keys go to the question once it shows, to its Yes.
    const auto windowsShown = [&] {
        QByteArray found;
        xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                 QString::number(window.processId()), QStringLiteral("--name"), WindowTitle},
                &found);
        return QString::fromLatin1(found.trimmed()).split('\n', Qt::SkipEmptyParts);
    };
    const QStringList before = windowsShown();
    QCOMPARE(before.size(), 1);
    QCOMPARE(xdotool({QStringLiteral("key"), QStringLiteral("alt+F4")}), 0);
    QStringList shown;
    const QDeadlineTimer deadline(HangLimitMs);
    while ((shown = windowsShown()).size() < 2 && !deadline.hasExpired())
        QThread::msleep(100); // a look at the screen 10 times a second, not as fast as xdotool goes
    QCOMPARE(shown.size(), 2);
    shown.removeAll(before.first());
    QCOMPARE(
        xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), shown.first(), QStringLiteral("1"),
                 QStringLiteral("1"), QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("100"),
                 QStringLiteral("shift+Tab"), QStringLiteral("space")}),
        0);
    QCOMPARE(finish(window).exitCode, 0);
    QCOMPARE(readFile(folder.filePath("Setting.ini")), settings);
}

QString TestWine::package(const QString& pattern)
{
    if (!m_packed) {
        QProcess cpack;
        cpack.setWorkingDirectory(m_packages.path());
        cpack.start(QStringLiteral(TRV_CPACK),
                    {QStringLiteral("-G"), QStringLiteral("ZIP;NSIS"), QStringLiteral("--config"),
                     BuildDir + QStringLiteral("/CPackConfig.cmake")});
        const Finished made = finish(cpack);
        if (made.exitCode != 0)
            qWarning().noquote() << made.out << made.err;
        m_packed = true;
    }
    const QStringList found = QDir(m_packages.path()).entryList({pattern}, QDir::Files);
    return found.size() == 1 ? m_packages.filePath(found.first()) : QString();
}

// The portable ZIP holds all the programs need: unpacked anywhere, they run without the
// build's DLLs, the window shows and keeps Setting.ini beside itself, and trv5kb.exe draws
// the chart sheet with the Japanese font of the system.
void TestWine::portableCopy()
{
    const QString zip = package(QStringLiteral("trv5kb-programmer-*-win64.zip"));
    QVERIFY2(!zip.isEmpty(), "cpack made no ZIP");
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QProcess unpack;
    unpack.setWorkingDirectory(folder.path());
    unpack.start(QStringLiteral("cmake"),
                 {QStringLiteral("-E"), QStringLiteral("tar"), QStringLiteral("xf"), zip});
    QCOMPARE(finish(unpack).exitCode, 0);
    const QString copy = folder.filePath(QFileInfo(zip).completeBaseName());
    QVERIFY(QFileInfo(copy + "/trv5kb-programmer.exe").isFile());
    QVERIFY(QFileInfo(copy + "/platforms/qwindows.dll").isFile());
    QVERIFY(QFileInfo(copy + "/translations/qtbase_ja.qm").isFile());
    QVERIFY(writeFile(copy + "/show.txt", patternFile({{0, 0, "1"}}, "12")));

    const QString prefix = session().prefix;
    QProcess pdf;
    pdf.setProcessEnvironment(plainWineEnvironment(prefix));
    pdf.setWorkingDirectory(copy);
    pdf.start(QStringLiteral("wine"), {copy + "/trv5kb.exe", QStringLiteral("pdf"),
                                       QStringLiteral("show.txt"), QStringLiteral("show.pdf")});
    const Finished drawn = finish(pdf);
    QVERIFY2(drawn.exitCode == 0, drawn.err.constData());
    const QString page = pdfPageText(copy + "/show.pdf", 1);
    QVERIFY2(page.contains("グループA"), qPrintable(page));

    QProcess window;
    window.setProcessEnvironment(plainWineEnvironment(prefix));
    window.setWorkingDirectory(copy);
    window.start(QStringLiteral("wine"), {copy + "/trv5kb-programmer.exe"});
    QVERIFY(typeIntoWindow(window, ToPortBox + QStringList(3, QStringLiteral("Down"))));
    QCOMPARE(xdotool({QStringLiteral("key"), QStringLiteral("alt+F4")}), 0);
    QCOMPARE(finish(window).exitCode, 0);
    QCOMPARE(readFile(copy + "/Setting.ini"), "[Setting]\r\ncomport=COM3\r\n");
}

// The installer, silent, into a prefix of its own: the program in Program Files with a Start
// menu entry; run by a user, who may not write there, it keeps the port in the user's roaming
// folder; the uninstaller removes what the installer put down and leaves the user's settings.
void TestWine::installer()
{
    const QString setup = package(QStringLiteral("trv5kb-programmer-*-win64.exe"));
    QVERIFY2(!setup.isEmpty(), "cpack made no installer");
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString prefix = folder.filePath("prefix");
    QProcess make;
    make.start(QStringLiteral("sh"),
               {QStringLiteral(TRV_SOURCE_DIR "/cmake/wine/session.sh"), QStringLiteral("prefix"), prefix});
    const Finished made = finish(make);
    QVERIFY2(made.exitCode == 0, made.err.constData());
    // Every process of the prefix has ended once its server has: a step is done.
    const auto settle = [&prefix] {
        QProcess wait;
        wait.setProcessEnvironment(plainWineEnvironment(prefix));
        wait.start(QStringLiteral("wineserver"), {QStringLiteral("-w")});
        return finish(wait).exitCode == 0;
    };
    QVERIFY(settle());
    // The entry of Windows' list of installed apps, from which it is uninstalled.
    const auto listed = [&prefix] {
        QProcess query;
        query.setProcessEnvironment(plainWineEnvironment(prefix));
        query.start(
            QStringLiteral("wine"),
            {QStringLiteral("reg"), QStringLiteral("query"),
             QStringLiteral(
                 "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TRV5KB Programmer")});
        return finish(query).exitCode == 0;
    };

    QProcess install;
    install.setProcessEnvironment(plainWineEnvironment(prefix));
    install.start(QStringLiteral("wine"), {setup, QStringLiteral("/S")});
    QCOMPARE(finish(install).exitCode, 0);
    QVERIFY(settle());
    const QString installed = prefix + "/drive_c/Program Files/TRV5KB Programmer";
    QVERIFY(QFileInfo(installed + "/trv5kb-programmer.exe").isFile());
    QVERIFY(QFileInfo(installed + "/trv5kb.exe").isFile());
    const QString menuEntry =
        prefix +
        "/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/TRV5KB Programmer/TRV5KB Programmer.lnk";
    QVERIFY2(QFileInfo(menuEntry).isFile(), qPrintable(menuEntry));
    QVERIFY(listed());

    {
        // A user of Windows may not write into Program Files. The prefix's server opens the
        // files for its programs, so it must start after the folder is made read-only.
        QVERIFY(settle());
        ReadOnlyFolder readOnly(installed);
        if (!readOnly.failure().isEmpty())
            QSKIP(qPrintable(readOnly.failure()));
        QProcess window;
        window.setProcessEnvironment(plainWineEnvironment(prefix));
        window.start(QStringLiteral("wine"),
                     {QStringLiteral("C:\\Program Files\\TRV5KB Programmer\\trv5kb-programmer.exe")});
        QVERIFY(typeIntoWindow(window, ToPortBox + QStringList(5, QStringLiteral("Down"))));
        QCOMPARE(xdotool({QStringLiteral("key"), QStringLiteral("alt+F4")}), 0);
        QCOMPARE(finish(window).exitCode, 0);
        QVERIFY(settle());
    }
    QVERIFY(!QFileInfo::exists(installed + "/Setting.ini"));
    QStringList userSettings;
    QDirIterator users(prefix + "/drive_c/users", {QStringLiteral("Setting.ini")}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (users.hasNext())
        userSettings << users.next();
    QCOMPARE(userSettings.size(), 1);
    QVERIFY2(userSettings.first().endsWith("/AppData/Roaming/trv5kb-programmer/Setting.ini"),
             qPrintable(userSettings.first()));
    QCOMPARE(readFile(userSettings.first()), "[Setting]\r\ncomport=COM5\r\n");

    QProcess uninstall;
    uninstall.setProcessEnvironment(plainWineEnvironment(prefix));
    uninstall.start(
        QStringLiteral("wine"),
        {QStringLiteral("C:\\Program Files\\TRV5KB Programmer\\Uninstall.exe"), QStringLiteral("/S")});
    QCOMPARE(finish(uninstall).exitCode, 0);
    QVERIFY(settle());
    QVERIFY2(!QFileInfo::exists(installed), qPrintable(QDir(installed).entryList().join(' ')));
    QVERIFY(!QFileInfo::exists(QFileInfo(menuEntry).path()));
    QVERIFY(!listed());
    QCOMPARE(readFile(userSettings.first()), "[Setting]\r\ncomport=COM5\r\n");
}

QTEST_GUILESS_MAIN(TestWine)
#include "tst_wine.moc"
