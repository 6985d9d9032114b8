#pragma once

#include <QMessageBox>
#include <QString>

// What the window asks or tells the user in a message box.
struct MessageRequest
{
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

// Every message box of the window goes through here, so that tests can
// answer them instead of a user.
class MessageBoxes
{
public:
    virtual ~MessageBoxes() = default;
    // The button the user pressed.
    virtual QMessageBox::StandardButton show(QWidget* parent, const MessageRequest& request) = 0;
};

// Modal boxes shown to the user.
class ModalMessageBoxes : public MessageBoxes
{
public:
    QMessageBox::StandardButton show(QWidget* parent, const MessageRequest& request) override;
};
