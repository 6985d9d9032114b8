// trv5kb-simulator: stands in for the light controller on a pseudo-terminal,
// so that the programmer can be tried and tested without the hardware.
//
// The first line on standard output is always "DEVICE=" followed by the path
// of the terminal to open (for example "DEVICE=/dev/pts/5"); a few lines of
// usage follow. Protocol violations go to standard error, one line each,
// starting with "violation: ". Exit status: 0 when every message followed
// the protocol and every chart was written, 1 otherwise, 2 for a bad command
// line or when no pseudo-terminal could be had.

#include "SimulatorLoop.h"
#include "settings/SettingsLocation.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <optional>
#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace {

std::optional<int> recordCountOption(const QCommandLineParser& parser, const QString& name)
{
    if (!parser.isSet(name))
        return -1;
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    if (!ok || value < 0 || value > 399)
        return std::nullopt;
    return value;
}

std::optional<SimulatorOptions> parseOptions(const QCoreApplication& app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Answers the programmer on a pseudo-terminal as the light controller does, checks every "
        "message against the protocol and saves each chart it receives as a pattern file."));
    parser.addHelpOption();
    parser.addOptions({
        {{"o", "output"},
         "Where to write the chart of each whole transfer (default received.txt).",
         "file",
         "received.txt"},
        {"once", "Exit after one whole transfer."},
        {"silent-after", "Answer no record after the first <n> in a transfer (0 to 399).", "n"},
        {"hangup-after", "Close the line when record <n> arrives, after <n> answered (0 to 399).", "n"},
        {"joined-replies", "Send each letter and its CR in one write."},
        {"garbage", "Send a stray byte after every reply but the last of a transfer."},
        {"paced", "Take 1/5760 s for every byte received and sent, as a 57,600-baud line does."},
        {"latency",
         "Hold every reply until the next tick of a free-running <ms> timer (1 to 1000), as a USB "
         "serial adapter's latency timer does.",
         "ms"},
        {"trace", "Show every message received and every write on standard output."},
    });
    parser.process(app);

    SimulatorOptions options;
    options.output = parser.value("output");
    options.once = parser.isSet("once");
    options.joinedReplies = parser.isSet("joined-replies");
    options.garbage = parser.isSet("garbage");
    options.paced = parser.isSet("paced");
    options.trace = parser.isSet("trace");
    const std::optional<int> silentAfter = recordCountOption(parser, "silent-after");
    const std::optional<int> hangUpAfter = recordCountOption(parser, "hangup-after");
    if (!silentAfter || !hangUpAfter || !parser.positionalArguments().isEmpty()) {
        say(stderr, QStringLiteral("trv5kb-simulator: --silent-after and --hangup-after take a record count "
                                   "from 0 to 399, and no other arguments are taken; see --help"));
        return std::nullopt;
    }
    if (parser.isSet("latency")) {
        bool ok = false;
        const int latency = parser.value("latency").toInt(&ok);
        if (!ok || latency < 1 || latency > 1000) {
            say(stderr,
                QStringLiteral("trv5kb-simulator: --latency takes milliseconds from 1 to 1000; see --help"));
            return std::nullopt;
        }
        options.latency = std::chrono::milliseconds(latency);
    }
    options.faults = {*silentAfter, *hangUpAfter};
    return options;
}

// The Setting.ini the window reads, found as the window finds it. Its program
// folder is this program's own in a build folder, where all programs lie
// together, and the window's folder of its own when installed; its
// configuration folder is named after the window.
SettingsLocation programmerSettings()
{
    const QString ownFolder = QCoreApplication::applicationDirPath();
    const QString installedFolder =
        QDir::cleanPath(ownFolder + QStringLiteral("/" TRV_PROGRAM_FOLDER_FROM_BIN));
    const QString programFolder = QFileInfo::exists(installedFolder + QStringLiteral("/trv5kb-programmer"))
                                      ? installedFolder
                                      : ownFolder;
    const QString ownName = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(QStringLiteral("trv5kb-programmer"));
    const QString configFolder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QCoreApplication::setApplicationName(ownName);
    return SettingsLocation::find(programFolder, configFolder);
}

// A path as a shell takes it, so that the hint's command can be copied as it stands.
QString shellQuoted(const QString& path)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./@%+=:,-]+$"));
    if (plain.match(path).hasMatch())
        return path;
    return QLatin1Char('\'') + QString(path).replace(QLatin1Char('\''), QStringLiteral("'\\''")) +
           QLatin1Char('\'');
}

// How to point the window at the simulator. The user's configuration folder
// does not exist before the window first stores its port, so the hint gives
// the command that makes it: the simulator itself writes nothing but its
// charts, and makes no folder the user may not want.
QString setUpHint(const QString& device, const QString& output)
{
    const QString file = programmerSettings().file();
    const QString folder = QFileInfo(file).absolutePath();
    const QString makeFolder =
        QFileInfo(folder).isDir()
            ? QString()
            : QStringLiteral("\n(its folder does not exist yet; make it first: mkdir -p %1)")
                  .arg(shellQuoted(folder));
    return QStringLiteral("The controller simulator answers on %1. To use it, put these lines into the "
                          "programmer's settings file\n"
                          "%2%3\n"
                          "    [Ports]\n"
                          "    COM3=%1\n"
                          "choose COM3 and press 書込. Each chart received goes to %4. Stop with Ctrl+C.")
        .arg(device, QDir::toNativeSeparators(file), makeFolder, QFileInfo(output).absoluteFilePath());
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("trv5kb-simulator"));
    const std::optional<SimulatorOptions> options = parseOptions(app);
    if (!options)
        return BadStart;

#ifdef __linux__
    // Wake at the due time of a byte, not up to 50 us later: the lateness
    // would add up over the 402 exchanges of a paced transfer.
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
#endif
    const std::optional<PseudoTerminalLine> line = openLine();
    if (!line) {
        say(stderr, QStringLiteral("trv5kb-simulator: no pseudo-terminal: %1")
                        .arg(QString::fromLocal8Bit(std::strerror(errno))));
        return BadStart;
    }

    say(stdout, QStringLiteral("DEVICE=") + line->path);
    say(stdout, setUpHint(line->path, options->output));

    SimulatorLoop simulator(*options, *line);
    return simulator.run();
}
