#include "app/Form1.h"
#include "app/MessageBoxes.h"
#include "app/TerminationSignals.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QTranslator>
#include <utility>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // The user's configuration folder is named after the program, whatever the executable is called;
    // the desktop entry of the same name gives the window its icon and menu name.
    QApplication::setApplicationName(QStringLiteral("trv5kb-programmer"));
    QApplication::setDesktopFileName(QStringLiteral("trv5kb-programmer"));
    QApplication::setStyle(QStringLiteral("Fusion"));
    // Qt's own texts (the edit menu of the combo boxes, the serial port's error reasons) in
    // Japanese, where the translations are installed.
    QTranslator qtbase;
    QTranslator qtserialport;
    for (const auto& [translator, catalogue] :
         {std::pair{&qtbase, "qtbase"}, std::pair{&qtserialport, "qtserialport"}})
        if (translator->load(QLocale(QLocale::Japanese, QLocale::Japan), QString::fromLatin1(catalogue),
                             QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QCoreApplication::installTranslator(translator);
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
