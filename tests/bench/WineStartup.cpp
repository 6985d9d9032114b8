// trv5kb-wine-bench: the start-up of the Windows program under Wine, from
// starting it to its first paint, against a bare Qt window of the same size
// and title showing one line of Japanese text, built with the same Qt for
// Windows (both are the cross build's trv5kb-startup-probe.exe, see
// StartupProbe.cpp). It makes a Wine session of its own (a new prefix and an
// Xvfb display, cmake/wine/session.sh), starts each once to warm the prefix
// (Wine's first start of a program there reads its fonts and DLLs), then both
// in turns, 11 times each. A start is timed on this machine's clock, to the
// moment the probe's line that it has painted arrives, since the Windows
// program's clock is not this machine's.
//
// Usage: <cross build>/host/bin/trv5kb-wine-bench

#include "Median.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const QString BuildDir = QStringLiteral(TRV_WINDOWS_BUILD_DIR);

struct Start
{
    double milliseconds = -1;
    double megabytes = -1;
};

Start startOnce(const QProcessEnvironment& environment, const char* mode)
{
    QProcess probe;
    probe.setProcessEnvironment(environment);
    probe.setWorkingDirectory(BuildDir + QStringLiteral("/bin"));
    QElapsedTimer clock;
    clock.start();
    probe.start(BuildDir + QStringLiteral("/wine-run"),
                {BuildDir + QStringLiteral("/bin/trv5kb-startup-probe.exe"), QString::fromLatin1(mode)});
    QByteArray output;
    const QDeadlineTimer deadline(120000);
    Start start;
    while (!output.contains('\n') && !deadline.hasExpired() && probe.state() != QProcess::NotRunning) {
        probe.waitForReadyRead(10);
        output += probe.readAllStandardOutput();
    }
    if (output.startsWith("painted "))
        start.milliseconds = double(clock.nsecsElapsed()) / 1e6;
    const QList<QByteArray> fields = output.trimmed().split(' ');
    if (fields.size() == 4)
        start.megabytes = fields[3].toDouble() / 1024;
    if (!probe.waitForFinished(60000))
        probe.kill();
    probe.waitForFinished();
    return start;
}

bool session(const QString& action, const QString& folder)
{
    QProcess script;
    script.setProcessChannelMode(QProcess::ForwardedChannels);
    script.start(QStringLiteral("sh"), {QStringLiteral(TRV_SESSION_SCRIPT), action, folder});
    return script.waitForFinished(600000) && script.exitStatus() == QProcess::NormalExit &&
           script.exitCode() == 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir folder;
    if (!folder.isValid() || !session(QStringLiteral("start"), folder.path())) {
        std::printf("start-up under Wine: no Wine session could be made (wine, Xvfb)\n");
        return 1;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString& name : environment.keys())
        if (name.startsWith(QLatin1String("QT_")))
            environment.remove(name);
    environment.insert(QStringLiteral("TRV_WINE_SESSION"), folder.path());

    constexpr int Starts = 11;
    for (const char* mode : {"program", "bare"})
        startOnce(environment, mode);
    std::vector<double> programMs, programMb, bareMs, bareMb;
    for (int i = 0; i < Starts; ++i)
        for (const char* mode : {"program", "bare"}) {
            const Start start = startOnce(environment, mode);
            if (start.milliseconds < 0)
                continue;
            const bool bare = qstrcmp(mode, "bare") == 0;
            (bare ? bareMs : programMs).push_back(start.milliseconds);
            (bare ? bareMb : programMb).push_back(start.megabytes);
        }
    session(QStringLiteral("stop"), folder.path());
    if (programMs.empty() || bareMs.empty()) {
        std::printf("start-up under Wine: the probe did not report a first paint\n");
        return 1;
    }
    const double ms = median(programMs), bare = median(bareMs);
    const double mb = median(programMb), bareMemory = median(bareMb);
    std::printf("start-up to first paint under Wine: program %.1f ms, bare window %.1f ms (median of %d): "
                "%.2f x (target: within 1.5 x)\n",
                ms, bare, Starts, ms / bare);
    std::printf("  working set after it: program %.1f MB, bare window %.1f MB: %.2f x\n", mb, bareMemory,
                mb / bareMemory);
    return ms / bare <= 1.5 ? 0 : 1;
}
