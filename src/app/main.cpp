#include "app/Form1.h"
#include "app/MessageBoxes.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    // Qt's own texts (the edit menu of the combo boxes) in Japanese, where the translations are installed.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                     QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtTexts);
    ModalMessageBoxes boxes;
    Form1 form(QCoreApplication::applicationDirPath(), boxes);
    if (!form.Form_Load())
        return 1;
    form.show();
    return app.exec();
}
