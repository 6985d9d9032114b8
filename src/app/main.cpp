#include "app/Form1.h"
#include "app/MessageBoxes.h"
#include "app/TerminationSignals.h"
#include "device/QtTranslations.h"

#include <QApplication>
#include <QStandardPaths>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // The user's configuration folder is named after the program, whatever the executable is called;
    // the desktop entry of the same name gives the window its icon and menu name.
    QApplication::setApplicationName(QStringLiteral("trv5kb-programmer"));
    QApplication::setDesktopFileName(QStringLiteral("trv5kb-programmer"));
    QApplication::setStyle(QStringLiteral("Fusion"));
    installJapaneseQtTranslations();
    ModalMessageBoxes boxes;
    Form1 form(QCoreApplication::applicationDirPath(),
               QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation),
               QStandardPaths::writableLocation(QStandardPaths::AppDataLocation), boxes);
    if (!form.Form_Load())
        return 1;
    form.show();
    closeWindowsOnTerminationSignals();
    return app.exec();
}
