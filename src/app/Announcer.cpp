#include "app/Announcer.h"

#include "app/ControlAccess.h"

#include <QAccessible>

Announcer::Announcer(QWidget* window) : QWidget(window)
{
    setObjectName(QStringLiteral("Announcer"));
    // Nothing to see or click: an object only for screen readers, in the window's tree.
    setGeometry(0, 0, 0, 0);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void Announcer::announce(const QString& text)
{
    if (text.isEmpty())
        return;
    // Screen readers keep the names they were told (Qt 6.4 tells AT-SPI of a new name without
    // the name), so each announcement is a new object of its own, whose name they ask for.
    renewAccessibleInterface(this);
    setAccessibleName(text);
    QAccessibleEvent shown(this, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
}
