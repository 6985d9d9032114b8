#include "app/Form1.h"
#include "app/MessageBoxes.h"
#include "app/Program.h"
#include "app/TerminationSignals.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    ModalMessageBoxes boxes;
    const std::unique_ptr<Form1> form = startWindow(boxes);
    if (!form)
        return 1;
    closeWindowsOnTerminationSignals([&form] { form->terminationRequested(); });
    // `trv5kb-programmer FILE` opens FILE as "ファイルを開く…" does, once the window is up and its
    // event loop runs, so that the end of the session still closes a message box about it. The
    // desktop entry passes a file dropped on the launcher so. Qt has taken its own options (such
    // as -platform) out of the arguments by now.
    if (const QString file = QApplication::arguments().value(1); !file.isEmpty())
        QTimer::singleShot(0, form.get(), [&form, file] { form->openFile(file); });
    return app.exec();
}
