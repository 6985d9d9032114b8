// Measures whole transfers from the window into the controller simulator over
// a pseudo-terminal: unpaced, what the program itself costs per
// acknowledgement; paced as a 57,600-baud line, how close a transfer comes to
// the time the bytes need on the wire; and paced behind a USB adapter whose
// latency timer is at 16 ms (as such adapters come) or at 1 ms (what the
// driver's low latency gives), why the port asks for low latency. First of
// all it measures the program's start-up: from starting the process to the
// window's first paint, and the resident memory then, against a bare Qt
// window of the same size and title; then what a paste of a large clipboard
// costs the window: the time of Ctrl+V and the memory it takes beyond what
// the process held before; the chart sheet of a chart with every group in
// use, eight pages as a PDF: its time and size. Then paced transfers through
// ser2net with RFC 2217 against the same on the pseudo-terminal directly,
// with the server's default wait before it passes on what the controller
// sent and without it. Last, the command-line writer writing one chart into 1
// and into 8 paced simulators at once: with a line each, the wire sets the
// pace, so 8 should take hardly longer than 1.

#include "ChartText.h"
#include "FileBytes.h"
#include "Median.h"
#include "PseudoTerminal.h"
#include "Ser2netServer.h"
#include "SimulatorProcess.h"
#include "app/Form1.h"
#include "app/MessageBoxes.h"
#include "chart/ElementCode.h"
#include "document/ChartSheet.h"
#include "model/ChartDocument.h"

#include <QAbstractButton>
#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

// 2 + 4 + 400 x 13 bytes from the program, 402 x 2 acknowledgements, 10 bits a byte.
constexpr double WireSeconds = 6010 * 10 / 57600.0;
constexpr int Exchanges = 402;

class SilentBoxes : public MessageBoxes
{
public:
    QMessageBox::StandardButton show(QWidget*, const MessageRequest& request) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(request.text));
        return QMessageBox::Ok;
    }
};

struct Run
{
    std::vector<double> seconds;
    int failures = 0;
};

// The window needs the pictures beside it, as the program has them.
void copyPictures(const QTemporaryDir& folder)
{
    const QDir pictures(QCoreApplication::applicationDirPath());
    for (const QString& name : pictures.entryList({QStringLiteral("*.jpg")}, QDir::Files))
        QFile::copy(pictures.filePath(name), folder.filePath(name));
}

// A figure of /proc/self/status in kB ("VmRSS", "VmHWM"), or -1.
long statusKiB(const QByteArray& name)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(name + ':'))
            return line.mid(name.size() + 1).trimmed().split(' ').first().toLong();
    return -1;
}

// The lines of a chart of every element, 80 steps of 40 channels, as a
// spreadsheet copies them, with `extra` after each.
QString chartText(const QString& extra)
{
    QString text;
    for (int step = 0; step < 80; ++step) {
        for (int channel = 0; channel < 40; ++channel)
            text += QChar('0' + (step + channel) % 16) + QString(channel < 39 ? "\t" : "");
        text += extra + QStringLiteral("\r\n");
    }
    return text;
}

QAction* actionOf(const QWidget& form, const QKeySequence& keys)
{
    for (QAction* action : form.actions())
        if (action->shortcut() == keys)
            return action;
    return nullptr;
}

// Ctrl+V over the first cell with `text` on the clipboard, then Ctrl+Z. The
// clipboard of the offscreen platform hands the text over without a copy, so
// what is measured is the program's own cost.
void measurePaste(Form1& form, const char* title, QString text)
{
    const qsizetype characters = text.size();
    QGuiApplication::clipboard()->setText(text);
    text.clear();

    // Writing 5 there starts the peak (VmHWM) afresh at what is resident now.
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    const bool peakReset = clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
    clearRefs.close();
    const long before = statusKiB("VmRSS");
    QElapsedTimer clock;
    clock.start();
    actionOf(form, Qt::CTRL | Qt::Key_V)->trigger();
    const double ms = clock.nsecsElapsed() / 1e6;
    const long peak = statusKiB("VmHWM");
    const bool pasted = !(form.document().PatternData().at(0, 0) == ElementCode::number(3));
    if (pasted)
        actionOf(form, Qt::CTRL | Qt::Key_Z)->trigger();
    if (!title)
        return;
    std::printf("paste of %s (%lld characters): %s in %.1f ms", title, static_cast<long long>(characters),
                pasted ? "pasted" : "refused", ms);
    if (peakReset && before >= 0 && peak >= 0)
        std::printf(", peak %.1f MB above the %.1f MB held before", (peak - before) / 1024.0,
                    before / 1024.0);
    std::printf("\n");
}

void measurePastes()
{
    QTemporaryDir folder;
    copyPictures(folder);
    SilentBoxes boxes;
    Form1 form(folder.path(), folder.filePath(QStringLiteral("config")),
               folder.filePath(QStringLiteral("data")), boxes);
    if (!form.Form_Load() || !actionOf(form, Qt::CTRL | Qt::Key_V) || !actionOf(form, Qt::CTRL | Qt::Key_Z))
        return;
    // The pointer on the chart's first cell.
    QCursor::setPos(form.mapToGlobal(QPoint(56 + 8, 96 + 8)));

    // The first paste also pays for what the window sets up on first use.
    measurePaste(form, nullptr, chartText({}));
    // Far more than a chart: refused before anything is read.
    measurePaste(form, "10 MB of elements", QStringLiteral("0\t1\t2\t3\t4\n").repeated(1024 * 1024));
    measurePaste(form, "50 MB of elements", QStringLiteral("0\t1\t2\t3\t4\n").repeated(5 * 1024 * 1024));
    // A whole chart as a spreadsheet copies it, and the largest text that is
    // read at all: the chart with notes beside and below it, to 160 lines of
    // 80 fields, just under 1 MiB.
    measurePaste(form, "a whole chart", chartText({}));
    const QString note = QStringLiteral("\t") + QString(108, QChar('x'));
    measurePaste(form, "a whole chart with notes to 1 MiB",
                 chartText(note.repeated(40)) +
                     (QString(8, QChar('y')) + note.repeated(79) + "\r\n").repeated(80));
}

// How the window reaches the simulator: its pseudo-terminal directly, or through ser2net with
// RFC 2217, set up as the README advises or left at the server's own defaults.
enum class Route { Direct, Ser2net, Ser2netDefaults };

Run measure(const QStringList& simulatorOptions, int transfers, Route route = Route::Direct)
{
    Run run;
    QTemporaryDir folder;
    copyPictures(folder);

    SimulatorProcess simulator;
    if (!simulator.start(
            QStringList{QStringLiteral("--output"), folder.filePath(QStringLiteral("received.txt"))} +
            simulatorOptions)) {
        std::fprintf(stderr, "%s\n", qPrintable(simulator.errorString()));
        run.failures = transfers;
        return run;
    }
    QByteArray settings = simulator.settingsFile();
    Ser2netServer server;
    if (route != Route::Direct) {
        if (!server.start({{simulator.device(), Ser2netServer::Protocol::Rfc2217, QStringLiteral("57600n81"),
                            route == Route::Ser2netDefaults}})) {
            std::fprintf(stderr, "%s\n", qPrintable(server.errorString()));
            run.failures = transfers;
            return run;
        }
        settings = settingsWithCom3(server.url(0));
    }
    if (!writeFile(folder.filePath(QStringLiteral("Setting.ini")), settings))
        return run;

    SilentBoxes boxes;
    Form1 form(folder.path(), folder.filePath(QStringLiteral("config")),
               folder.filePath(QStringLiteral("data")), boxes);
    if (!form.Form_Load())
        return run;
    auto* write = form.findChild<QAbstractButton*>(QStringLiteral("Command1"));

    for (int i = 0; i < transfers; ++i) {
        // The event loop checks for the end each time it has handled what was waiting,
        // so the measurement adds no wake-ups of its own.
        QEventLoop loop;
        QElapsedTimer clock;
        const auto connection = QObject::connect(QAbstractEventDispatcher::instance(),
                                                 &QAbstractEventDispatcher::aboutToBlock, &loop, [&] {
                                                     if (form.state().BusyFlag == QLatin1String("0"))
                                                         loop.quit();
                                                 });
        clock.start();
        write->click();
        loop.exec();
        QObject::disconnect(connection);
        const double seconds = clock.nsecsElapsed() / 1e9;
        if (form.state().Status.caption == QStringLiteral("成功"))
            run.seconds.push_back(seconds);
        else
            ++run.failures;
    }
    return run;
}

// What 402 exchanges cost on this machine's pseudo-terminals alone: two
// threads with blocking reads play programmer and controller, writing the
// same messages and replies. No transfer can be faster than this.
double ptyFloorSeconds()
{
    PseudoTerminal line;
    if (!line.isValid())
        return -1;
    const int master = line.masterDescriptor();
    const int slave = line.slaveDescriptor();
    // Both ends block here: each thread sleeps until its bytes come.
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) & ~O_NONBLOCK);
    std::thread controller([master] {
        char message[16];
        for (int i = 0; i < Exchanges; ++i) {
            for (int got = 0; got < 13;) {
                const ssize_t n = ::read(master, message + got, sizeof message - std::size_t(got));
                if (n <= 0)
                    return;
                got += int(n);
            }
            if (::write(master, "w", 1) != 1 || ::write(master, "\r", 1) != 1)
                return;
        }
    });
    const auto begin = std::chrono::steady_clock::now();
    char reply;
    bool ok = true;
    for (int i = 0; i < Exchanges && ok; ++i) {
        ok = ::write(slave, "W", 1) == 1 && ::write(slave, "000333333333\r", 12) == 12;
        for (int got = 0; got < 2 && ok; ++got)
            ok = ::read(slave, &reply, 1) == 1;
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - begin;
    controller.join();
    return ok ? took.count() : -1;
}

struct Startup
{
    double milliseconds = -1;
    double megabytes = -1;
};

// One start of the probe (StartupProbe.cpp): from starting the process to its first paint.
Startup startOnce(const char* mode)
{
    QProcess probe;
    const auto started = std::chrono::steady_clock::now().time_since_epoch();
    probe.start(QStringLiteral(TRV_STARTUP_PROBE), {QString::fromLatin1(mode)});
    if (!probe.waitForFinished(30000) || probe.exitCode() != 0)
        return {};
    const QList<QByteArray> fields = probe.readAllStandardOutput().trimmed().split(' ');
    if (fields.size() != 4 || fields[0] != "painted")
        return {};
    const double ns = double(fields[1].toLongLong() -
                             std::chrono::duration_cast<std::chrono::nanoseconds>(started).count());
    return {ns / 1e6, fields[3].toDouble() / 1024};
}

// The program against the bare window, started in turns so that both meet the same machine.
bool measureStartup()
{
    constexpr int Starts = 11;
    std::vector<double> programMs, programMb, bareMs, bareMb;
    for (int i = 0; i < Starts; ++i)
        for (const char* mode : {"program", "bare"}) {
            const Startup start = startOnce(mode);
            if (start.milliseconds < 0)
                continue;
            (qstrcmp(mode, "bare") == 0 ? bareMs : programMs).push_back(start.milliseconds);
            (qstrcmp(mode, "bare") == 0 ? bareMb : programMb).push_back(start.megabytes);
        }
    if (programMs.empty() || bareMs.empty()) {
        std::printf("start-up: the probe did not report a first paint\n");
        return false;
    }
    const double ms = median(programMs), bare = median(bareMs);
    const double mb = median(programMb), bareMemory = median(bareMb);
    std::printf("start-up to first paint: program %.1f ms, bare window %.1f ms (median of %d): %.2f x "
                "(target: within 1.3 x)\n",
                ms, bare, Starts, ms / bare);
    std::printf("  resident memory after it: program %.1f MB, bare window %.1f MB: %.2f x (target: within "
                "1.12 x)\n",
                mb, bareMemory, mb / bareMemory);
    return true;
}

// Whole runs of `trv5kb write` into `controllers` simulators at 57,600 baud, one --port each,
// from starting the program to its end.
Run measureCommandLine(int controllers, int runs)
{
    Run run;
    QTemporaryDir folder;
    const QString chart = folder.filePath(QStringLiteral("chart.txt"));
    if (!writeFile(chart, patternFile({{0, 0, "0"}, {1, 12, "\":\""}}, "37"))) {
        run.failures = runs;
        return run;
    }
    std::vector<std::unique_ptr<SimulatorProcess>> simulators;
    QStringList arguments{QStringLiteral("write"), chart};
    for (int i = 0; i < controllers; ++i) {
        auto& simulator = simulators.emplace_back(std::make_unique<SimulatorProcess>());
        if (!simulator->start({QStringLiteral("--paced"), QStringLiteral("--output"),
                               folder.filePath(QStringLiteral("received%1.txt").arg(i))})) {
            std::fprintf(stderr, "%s\n", qPrintable(simulator->errorString()));
            run.failures = runs;
            return run;
        }
        arguments << QStringLiteral("--port") << simulator->device();
    }
    for (int i = 0; i < runs; ++i) {
        QProcess writer;
        writer.setWorkingDirectory(folder.path());
        QElapsedTimer clock;
        clock.start();
        writer.start(QStringLiteral(TRV_CLI), arguments);
        const bool ended = writer.waitForFinished(60000);
        const double seconds = clock.nsecsElapsed() / 1e9;
        if (ended && writer.exitStatus() == QProcess::NormalExit && writer.exitCode() == 0) {
            run.seconds.push_back(seconds);
        } else {
            ++run.failures;
            std::fprintf(stderr, "%s", writer.readAllStandardError().constData());
        }
    }
    return run;
}

// The PDF of the whole chart, every element in every group: eight pages, drawn as the window's
// "PDFに書き出す…" and `trv5kb pdf` draw them.
void measureChartSheet()
{
    ChartSheet sheet;
    for (int step = 0; step < PatternTable::UsedSteps; ++step)
        for (int channel = 0; channel < PatternTable::UsedChannels; ++channel)
            sheet.chart.at(step, channel) = ElementCode::ofOrdinal((step * 7 + channel) % ElementCount);
    sheet.stepCount = 80;
    sheet.fileName = QStringLiteral("show-A.txt");
    sheet.date = QDate::currentDate();
    std::vector<double> seconds;
    qsizetype bytes = 0;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer clock;
        clock.start();
        bytes = chartSheetPdf(sheet).size();
        seconds.push_back(clock.nsecsElapsed() / 1e9);
    }
    std::sort(seconds.begin(), seconds.end());
    std::printf(
        "chart sheet, %lld pages as a PDF: median %.0f ms of 5, %.0f KB (target: under 1 s and 1 MB)\n",
        static_cast<long long>(sheetGroups(sheet).size()), seconds[2] * 1e3, bytes / 1024.0);
}

void report(const char* title, const Run& run)
{
    if (run.seconds.empty()) {
        std::printf("%s: no transfer succeeded (%d failed)\n", title, run.failures);
        return;
    }
    std::vector<double> sorted = run.seconds;
    std::sort(sorted.begin(), sorted.end());
    const double median = sorted[sorted.size() / 2];
    std::printf("%s: %zu transfers, %d failed; median %.1f ms, min %.1f ms, max %.1f ms\n", title,
                sorted.size(), run.failures, median * 1e3, sorted.front() * 1e3, sorted.back() * 1e3);
}

} // namespace

int main(int argc, char* argv[])
{
    // On a desktop the start-up is measured on its display; elsewhere off screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const bool startupMeasured = measureStartup();
    // `trv5kb-bench startup` measures the start-up alone.
    if (QCoreApplication::arguments().value(1) == QLatin1String("startup"))
        return startupMeasured ? 0 : 1;
    measurePastes();
    measureChartSheet();

    std::vector<double> floors;
    for (int i = 0; i < 5; ++i)
        floors.push_back(ptyFloorSeconds());
    std::sort(floors.begin(), floors.end());
    std::printf("pseudo-terminal floor: %d bare round trips in %.1f ms (median of 5)\n", Exchanges,
                floors[2] * 1e3);

    const Run unpaced = measure({}, 20);
    report("unpaced", unpaced);
    if (!unpaced.seconds.empty()) {
        const double middle = median(unpaced.seconds);
        std::printf("  %d exchanges in %.1f ms: %.0f us per acknowledgement (target: under 100 ms in all)\n",
                    Exchanges, middle * 1e3, middle * 1e6 / Exchanges);
    }

    const Run paced = measure({QStringLiteral("--paced")}, 5);
    report("paced", paced);
    if (!paced.seconds.empty()) {
        const double middle = median(paced.seconds);
        std::printf("  wire time %.3f s, transfer %.3f s: %+.1f %% (target: within 5 %%)\n", WireSeconds,
                    middle, (middle / WireSeconds - 1) * 100);
    }

    int latencyFailures = 0;
    for (const int latency : {16, 1}) {
        const Run behindAdapter =
            measure({QStringLiteral("--paced"), QStringLiteral("--latency"), QString::number(latency)}, 3);
        const QByteArray title = QStringLiteral("paced, adapter latency %1 ms").arg(latency).toUtf8();
        report(title.constData(), behindAdapter);
        latencyFailures += behindAdapter.failures;
        if (!behindAdapter.seconds.empty()) {
            const double middle = median(behindAdapter.seconds);
            std::printf("  transfer %.3f s, %.1f x the wire time, %.0f %% of the 15 s time-out\n", middle,
                        middle / WireSeconds, middle / 15 * 100);
        }
    }

    // Each of the 402 replies crosses the server on its way back, but over the loopback address
    // the wire still sets the pace, as long as the server passes each reply on at once.
    const Run direct = measure({QStringLiteral("--paced")}, 5);
    report("paced, pseudo-terminal directly", direct);
    int networkFailures = direct.failures;
    for (const Route route : {Route::Ser2net, Route::Ser2netDefaults}) {
        const Run network = measure({QStringLiteral("--paced")}, 5, route);
        report(route == Route::Ser2net ? "paced, through ser2net (RFC 2217, chardelay: false, nodelay)"
                                       : "paced, through ser2net (RFC 2217, its defaults)",
               network);
        networkFailures += network.failures;
        if (!direct.seconds.empty() && !network.seconds.empty())
            std::printf("  %.2f x the transfer on the pseudo-terminal directly%s\n",
                        median(network.seconds) / median(direct.seconds),
                        route == Route::Ser2net ? " (target: within 1.05 x)" : "");
    }

    const Run one = measureCommandLine(1, 5);
    report("command line, paced, 1 controller", one);
    const Run eight = measureCommandLine(8, 5);
    report("command line, paced, 8 controllers at once", eight);
    if (!one.seconds.empty() && !eight.seconds.empty())
        std::printf("  8 controllers in %.2f x the time of 1 (target: within 1.1 x)\n",
                    median(eight.seconds) / median(one.seconds));

    const int failures =
        unpaced.failures + paced.failures + latencyFailures + networkFailures + one.failures + eight.failures;
    return startupMeasured && failures == 0 ? 0 : 1;
}
