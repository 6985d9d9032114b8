#pragma once

#include <QString>
#include <QWidget>

// What screen readers are told of a change away from the keyboard's cursor:
// an undo or a redo and where it acted, a batch fill, a paste, a load, a
// save, a copy, the group and page shown, a key refused during a transfer.
// Qt 6.4 has no announcement event, so this is an object of the window that
// screen readers know as a notification: each announcement is its new name,
// shown to them as a notification is, as the transfer's result is told.
class Announcer : public QWidget
{
    Q_OBJECT

public:
    explicit Announcer(QWidget* window);

    void announce(const QString& text);
};
