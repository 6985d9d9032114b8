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
    // Qt's own texts (the edit menu of the combo boxes, the serial port's error reasons) in
    // Japanese, where the translations are installed.
    QTranslator qtTexts[2];
    const char* const catalogues[] = {"qtbase", "qtserialport"};
    for (int i = 0; i < 2; ++i)
        if (qtTexts[i].load(QLocale(QLocale::Japanese, QLocale::Japan), QString::fromLatin1(catalogues[i]),
                            QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QCoreApplication::installTranslator(&qtTexts[i]);
    ModalMessageBoxes boxes;
    Form1 form(QCoreApplication::applicationDirPath(), boxes);
    if (!form.Form_Load())
        return 1;
    form.show();
    return app.exec();
}
