#pragma once

#include <QAccessible>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>

// What assistive technology is told, as the platform's accessibility bridge
// receives it: every accessibility event of the program, with the name,
// description and state of the object it concerns at that moment. The
// offscreen platform has no screen reader to turn accessibility on, and Qt
// hands events to an update handler only then; an accessibility bridge gets
// them all the same. A test links the recorder (AccessibilityRecorder.cpp,
// built as a static plugin) and imports it with
// Q_IMPORT_PLUGIN(AccessibilityRecorderPlugin).
struct RecordedEvent
{
    QAccessible::Event type;
    QPointer<QObject> object;
    QString name;
    QString description;
    QAccessible::State state;
};

namespace AccessibilityRecorder {
// Every event since the last clear().
QList<RecordedEvent>& events();
void clear();
// The events of `type`, oldest first.
QList<RecordedEvent> eventsOf(QAccessible::Event type);
// The names `object` had at each event of `type`, oldest first.
QStringList namesAt(QAccessible::Event type, const QObject* object);
} // namespace AccessibilityRecorder
