#include "app/Form1.h"
#include "app/MessageBoxes.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <utility>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
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
    Form1 form(QCoreApplication::applicationDirPath(), boxes);
    if (!form.Form_Load())
        return 1;
    form.show();
    return app.exec();
}
