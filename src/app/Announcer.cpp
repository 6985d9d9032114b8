#include "app/Announcer.h"

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
    setAccessibleName(text);
    QAccessibleEvent shown(this, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
}
