#include "app/MessageBoxes.h"

#include <QAbstractButton>
#include <utility>

QMessageBox::StandardButton ModalMessageBoxes::show(QWidget* parent, const MessageRequest& request)
{
    QMessageBox box(request.icon, request.title, request.text, request.buttons, parent);
    // The program speaks Japanese whatever translations the platform has.
    const std::pair<QMessageBox::StandardButton, const char*> captions[] = {
        {QMessageBox::Yes, "はい(&Y)"}, {QMessageBox::No, "いいえ(&N)"}, {QMessageBox::Ok, "OK"}};
    for (const auto& [button, caption] : captions)
        if (QAbstractButton* shown = box.button(button))
            shown->setText(QString::fromUtf8(caption));
    if (request.defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(request.defaultButton);
    return QMessageBox::StandardButton(box.exec());
}
