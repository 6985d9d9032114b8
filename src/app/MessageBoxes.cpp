#include "app/MessageBoxes.h"

QMessageBox::StandardButton ModalMessageBoxes::show(QWidget* parent, const MessageRequest& request)
{
    QMessageBox box(request.icon, request.title, request.text, request.buttons, parent);
    if (request.defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(request.defaultButton);
    return QMessageBox::StandardButton(box.exec());
}
