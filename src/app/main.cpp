#include "app/Form1.h"
#include "app/MessageBoxes.h"
#include "app/Program.h"
#include "app/ProgramArguments.h"
#include "app/TerminationSignals.h"
#include "files/FileName.h"

#include <QApplication>
#include <QTimer>
#include <cstdio>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#endif

namespace {

// In the terminal's encoding; on Windows, where the window has no console of its own and its
// output goes into a file or a pipe, in UTF-8 with the line ends as they are.
void print(std::FILE* stream, const QString& text)
{
#ifdef Q_OS_WIN
    ::_setmode(::_fileno(stream), _O_BINARY);
    std::fputs(shownFileName(text).toUtf8().constData(), stream);
#else
    std::fputs(shownFileName(text).toLocal8Bit().constData(), stream);
#endif
}

} // namespace

int main(int argc, char* argv[])
{
    // Answered before the application, which needs a display, so that they work over ssh too.
    // Qt's own options are still among the arguments here, and count for nothing.
    const ProgramArguments asked = parseProgramArguments(systemArguments(argc, argv));
    if (asked.kind == ProgramArguments::Kind::Help || asked.kind == ProgramArguments::Kind::Version) {
        print(stdout, asked.kind == ProgramArguments::Kind::Help ? programHelpText() : programVersionText());
        return std::fflush(stdout) == 0 ? 0 : 1;
    }

    QApplication app(argc, argv);
    // Qt has taken its own options (such as -platform) out of the arguments by now.
    const ProgramArguments given = parseProgramArguments(systemArguments(argc, argv));
    if (given.kind == ProgramArguments::Kind::BadUsage) {
        print(
            stderr,
            QStringLiteral("trv5kb-programmer: %1（使い方は trv5kb-programmer --help）\n").arg(given.reason));
        return 2;
    }
    for (const QString& ignored : given.ignored)
        print(stderr, QStringLiteral("trv5kb-programmer: 「%1」は開きません（開くファイルは一つだけです）\n")
                          .arg(ignored));

    ModalMessageBoxes boxes;
    const std::unique_ptr<Form1> form = startWindow(boxes);
    if (!form)
        return 1;
    closeWindowsOnTerminationSignals([&form] { form->terminationRequested(); });
    // `trv5kb-programmer FILE` opens FILE as "ファイルを開く…" does, once the window is up and its
    // event loop runs, so that the end of the session still closes a message box about it. The
    // desktop entry passes a file dropped on the launcher so.
    if (!given.file.isEmpty())
        QTimer::singleShot(0, form.get(), [&form, file = given.file] { form->openFile(file); });
    return app.exec();
}
