#pragma once

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <functional>

class QWidget;

// Every key of the window besides those of the chart itself and of the
// controls: undo, redo, copy, paste, the files by name, printing, the step
// and group operations, write and the port box. Each acts wherever the
// keyboard focus is in the window; where a choice box has it, as the key was
// added (InBoxes): the window's, since text typed there never claims it, or
// the box's where the key edits its text. The collaborators add their keys
// here; the chart menu shows the first key of each.
class WindowShortcuts : public QObject
{
    Q_OBJECT

public:
    // The platform's keys for the window's standard actions, asked once the
    // application exists. Ctrl+Y and Ctrl+Shift+Z both redo, as users of
    // either habit expect.
    struct StandardKeys
    {
        StandardKeys();
        QList<QKeySequence> undo, redo, copy, paste, escape;
    };

    explicit WindowShortcuts(QWidget* window);

    const StandardKeys& standard() const { return m_standard; }

    // Whether the keys act also while a choice box has the focus, where its
    // text field would otherwise take them (Ctrl+Z, Ctrl+C), or stay the
    // field's there (Insert, Ctrl+Delete, which edit its text).
    enum class InBoxes { Window, Box };

    // `handler` on `keys`; the keys.
    QList<QKeySequence> add(const QList<QKeySequence>& keys, std::function<void()> handler,
                            InBoxes inBoxes = InBoxes::Window);
    // `handler` on the platform's keys for `key` and on `ownKey`; the keys.
    QList<QKeySequence> add(QKeySequence::StandardKey key, const QKeySequence& ownKey,
                            std::function<void()> handler);

protected:
    // The choice boxes' text fields ask for Ctrl+Z, Ctrl+C and the like
    // before a window key sees them; those of the window are left to it.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_window;
    const StandardKeys m_standard;
    // The keys that act in the boxes too.
    QList<QKeySequence> m_keys;
};

// A menu item's caption with the first of its keys, as the chart menu shows them.
QString withKeys(const QString& caption, const QList<QKeySequence>& keys);
