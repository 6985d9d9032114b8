#include "AccessibilityRecorder.h"

#include <QAccessibleBridge>
#include <QAccessibleBridgePlugin>

namespace {

class RecordingBridge : public QAccessibleBridge
{
public:
    void setRootObject(QAccessibleInterface*) override {}

    void notifyAccessibilityUpdate(QAccessibleEvent* event) override
    {
        QAccessibleInterface* iface = event->accessibleInterface();
        AccessibilityRecorder::events() << RecordedEvent{
            event->type(), event->object(), iface ? iface->text(QAccessible::Name) : QString(),
            iface ? iface->text(QAccessible::Description) : QString(),
            iface ? iface->state() : QAccessible::State()};
    }
};

} // namespace

class AccessibilityRecorderPlugin : public QAccessibleBridgePlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QAccessibleBridgeFactoryInterface_iid FILE "AccessibilityRecorder.json")

public:
    QAccessibleBridge* create(const QString&) override { return new RecordingBridge; }
};

QList<RecordedEvent>& AccessibilityRecorder::events()
{
    static QList<RecordedEvent> recorded;
    return recorded;
}

void AccessibilityRecorder::clear()
{
    events().clear();
}

QList<RecordedEvent> AccessibilityRecorder::eventsOf(QAccessible::Event type)
{
    QList<RecordedEvent> found;
    for (const RecordedEvent& event : std::as_const(events()))
        if (event.type == type)
            found << event;
    return found;
}

QStringList AccessibilityRecorder::namesAt(QAccessible::Event type, const QObject* object)
{
    QStringList names;
    for (const RecordedEvent& event : eventsOf(type))
        if (event.object == object)
            names << event.name;
    return names;
}

#include "AccessibilityRecorder.moc"
