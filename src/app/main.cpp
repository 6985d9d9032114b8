#include "app/Form1.h"
#include "app/MessageBoxes.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    ModalMessageBoxes boxes;
    Form1 form(QCoreApplication::applicationDirPath(), boxes);
    if (!form.Form_Load())
        return 1;
    form.show();
    return app.exec();
}
