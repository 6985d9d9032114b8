// trv5kb: the programmer's command-line writer. It checks, shows and edits
// pattern files, writes them into the controller and draws them as a printable PDF,
// from a script or a terminal, with the window's library: the same file
// reader, port names, settings files, port configuration, transfer protocol
// and chart sheet. See `trv5kb --help`.

#include "ChartReport.h"
#include "CommandLine.h"
#include "EditCommand.h"
#include "FileReport.h"
#include "JsonReport.h"
#include "Output.h"
#include "PdfCommand.h"
#include "PortsCommand.h"
#include "Writer.h"
#include "files/FileName.h"
#include "settings/SettingsLocation.h"
#include "settings/UserFolders.h"
#include "transfer/SendRule.h"
#include "translations/QtTranslations.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <memory>
#include <string_view>

namespace {

enum ExitStatus { ExitSuccess = 0, ExitFailure = 1, ExitBadUsage = 2 };

// The window's settings files: its program folder is this program's own (both are installed
// into the same folder), its user's configuration folder the window's.
SettingsLocation windowSettings()
{
    return SettingsLocation::find(QCoreApplication::applicationDirPath(), userSettingsFolder());
}

// A command line that cannot be carried out: one line on what is wrong.
int badUsage(const QString& reason)
{
    printLine(stderr, QStringLiteral("trv5kb: %1（使い方は trv5kb --help）").arg(reason));
    return ExitBadUsage;
}

// Every port is written with the chart, so two names of one controller are a mistake of the
// command line, refused before anything is opened.
int write(const Command& command)
{
    const SettingsLocation settings = windowSettings();
    if (const std::optional<QString> twice = portNamedTwice(command.ports, settings.read()))
        return badUsage(*twice);
    return writeToControllers(command.file, command.ports, settings, command.timeoutMs, command.json);
}

int check(const QString& file, bool json)
{
    const Result<PatternFileContent> content = loadOrReport(file);
    if (!content)
        return ExitFailure;
    if (json)
        printJson(checkDocument(file, *content));
    else
        printLine(stdout, chartSummary(*content));
    if (const std::optional<SendFault> fault = firstSendFault(content->chart, content->stepCount)) {
        printLine(stderr, sendFaultText(*fault));
        return ExitFailure;
    }
    return ExitSuccess;
}

// As the system's diff does: 0 for the same, 1 for a difference, 2 when a file cannot be read.
int diff(const QString& file, const QString& otherFile, bool json)
{
    const Result<PatternFileContent> before = loadOrReport(file);
    const Result<PatternFileContent> after = loadOrReport(otherFile);
    if (!before || !after)
        return ExitBadUsage;
    const ChartChange change =
        ChartChange::between(before->chart, before->stepCount, after->chart, after->stepCount);
    if (json)
        printJson(diffDocument(file, *before, otherFile, *after, change));
    else
        printLine(stdout, differencesText(*before, *after, change));
    return change.isEmpty() ? ExitSuccess : ExitFailure;
}

int show(const QString& file, int group)
{
    const Result<PatternFileContent> content = loadOrReport(file);
    if (!content)
        return ExitFailure;
    printLine(stdout, chartGrid(*content, group));
    return ExitSuccess;
}

QtMessageHandler qtHandler = nullptr;

// While the GUI application starts, Qt looks for a display server's socket in the session's
// runtime folder and warns on standard error where there is no session (cron, a container, su).
// `pdf` uses neither, and a script must not take that line for a reason.
void withoutRuntimeFolderWarning(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (!message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        qtHandler(type, context, message);
}

// Only `pdf` draws: it needs the fonts of a GUI application, but no display, so on a server or
// over ssh it runs off screen unless a platform is given. Every other sub-command stays a plain
// core application. The sub-command is the first word that is no option.
std::unique_ptr<QCoreApplication> application(int& argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        if (word.starts_with('-'))
            continue;
        if (word != "pdf")
            break;
#ifndef Q_OS_WIN
        // Windows' own platform needs no display, and only it has the system's fonts.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
        qtHandler = qInstallMessageHandler(withoutRuntimeFolderWarning);
        auto app = std::make_unique<QGuiApplication>(argc, argv);
        qInstallMessageHandler(qtHandler);
        return app;
    }
    return std::make_unique<QCoreApplication>(argc, argv);
}

int runProgram(int argc, char* argv[])
{
    const std::unique_ptr<QCoreApplication> app = application(argc, argv);
    // The window's name: its user's configuration folder is where the port settings are.
    QCoreApplication::setApplicationName(QStringLiteral("trv5kb-programmer"));

    // The parser's own English is read before Qt's texts are translated. A file named in bytes
    // that are no text keeps them (Qt's own arguments would not), so that it opens.
    const Result<Command> parsed = parseCommandLine(systemArguments(argc, argv));
    if (!parsed)
        return badUsage(parsed.reason());
    installJapaneseQtTranslations();
    const Command& command = *parsed;
    switch (command.kind) {
    case Command::Kind::Help:
        print(stdout, helpText());
        return ExitSuccess;
    case Command::Kind::Version:
        printLine(stdout, QStringLiteral("trv5kb " TRV_VERSION));
        return ExitSuccess;
    case Command::Kind::Ports:
        return listPorts(windowSettings(), command.json);
    case Command::Kind::Check:
        return check(command.file, command.json);
    case Command::Kind::Show:
        return show(command.file, command.group);
    case Command::Kind::Write:
        return write(command);
    case Command::Kind::Diff:
        return diff(command.file, command.otherFile, command.json);
    case Command::Kind::Pdf:
        return writeChartPdf(command.file, command.output, command.force);
    case Command::Kind::Edit:
        return editPatternFile(command.file, command.output, command.edit, command.force, command.json);
    }
    return ExitFailure;
}

} // namespace

int main(int argc, char* argv[])
{
    return checkedExitStatus(runProgram(argc, argv));
}
