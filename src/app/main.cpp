#include "app/Form1.h"
#include "app/MessageBoxes.h"
#include "app/Program.h"
#include "app/TerminationSignals.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    ModalMessageBoxes boxes;
    const std::unique_ptr<Form1> form = startWindow(boxes);
    if (!form)
        return 1;
    closeWindowsOnTerminationSignals();
    return app.exec();
}
