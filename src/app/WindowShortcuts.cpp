#include "app/WindowShortcuts.h"

#include <QAction>
#include <QComboBox>
#include <QKeyEvent>
#include <QWidget>

namespace {

QList<QKeySequence> keysOf(QKeySequence::StandardKey key, QList<QKeySequence> more = {})
{
    QList<QKeySequence> keys = QKeySequence::keyBindings(key);
    for (const QKeySequence& extra : more)
        if (!keys.contains(extra))
            keys << extra;
    return keys;
}

} // namespace

WindowShortcuts::StandardKeys::StandardKeys()
    : undo(keysOf(QKeySequence::Undo, {QKeySequence(Qt::CTRL | Qt::Key_Z)})),
      redo(keysOf(QKeySequence::Redo,
                  {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)})),
      copy(keysOf(QKeySequence::Copy, {QKeySequence(Qt::CTRL | Qt::Key_C)})),
      paste(keysOf(QKeySequence::Paste, {QKeySequence(Qt::CTRL | Qt::Key_V)})), escape{QKeySequence(
                                                                                    Qt::Key_Escape)}
{
}

WindowShortcuts::WindowShortcuts(QWidget* window) : QObject(window), m_window(window)
{
    // A box keeps the focus for its text field and asks the field itself.
    for (QComboBox* box : m_window->findChildren<QComboBox*>())
        box->installEventFilter(this);
}

QList<QKeySequence> WindowShortcuts::add(const QList<QKeySequence>& keys, std::function<void()> handler,
                                         InBoxes inBoxes)
{
    auto* action = new QAction(m_window);
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this, std::move(handler));
    m_window->addAction(action);
    if (inBoxes == InBoxes::Window)
        m_keys += keys;
    return keys;
}

QList<QKeySequence> WindowShortcuts::add(QKeySequence::StandardKey key, const QKeySequence& ownKey,
                                         std::function<void()> handler)
{
    return add(keysOf(key, {ownKey}), std::move(handler));
}

bool WindowShortcuts::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        const QKeySequence pressed(
            QKeyCombination(key->modifiers() & ~Qt::KeypadModifier, Qt::Key(key->key())));
        if (m_keys.contains(pressed)) {
            event->ignore();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

QString withKeys(const QString& caption, const QList<QKeySequence>& keys)
{
    return caption + QChar('\t') + keys.first().toString(QKeySequence::NativeText);
}
