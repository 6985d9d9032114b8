#include "app/ChartCommands.h"

#include "app/ChartView.h"
#include "app/MessageBoxes.h"
#include "chart/CellName.h"
#include "state/WindowState.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QUndoStack>

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

// The platform's keys, asked once the application exists. Ctrl+Y and
// Ctrl+Shift+Z both redo, as users of either habit expect.
ChartCommands::Keys::Keys()
    : undo(keysOf(QKeySequence::Undo, {QKeySequence(Qt::CTRL | Qt::Key_Z)})),
      redo(keysOf(QKeySequence::Redo,
                  {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)})),
      copy(keysOf(QKeySequence::Copy, {QKeySequence(Qt::CTRL | Qt::Key_C)})),
      paste(keysOf(QKeySequence::Paste, {QKeySequence(Qt::CTRL | Qt::Key_V)})), escape{QKeySequence(
                                                                                    Qt::Key_Escape)}
{
}

// The editable choice boxes claim Ctrl+Z, Ctrl+C and the like for their text
// fields before a window shortcut sees them. Text typed there never counts,
// so these sequences are left to the window, where they act on the chart
// wherever the keyboard focus is.
class ChartKeysFirst : public QObject
{
public:
    ChartKeysFirst(QList<QKeySequence> keys, QObject* parent) : QObject(parent), m_keys(std::move(keys)) {}

    void add(const QList<QKeySequence>& keys) { m_keys += keys; }

    bool eventFilter(QObject* watched, QEvent* event) override
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

private:
    QList<QKeySequence> m_keys;
};

QString withKeys(const QString& caption, const QList<QKeySequence>& keys)
{
    return caption + QChar('\t') + keys.first().toString(QKeySequence::NativeText);
}

namespace {

// "元に戻す: 貼り付け": what the key would undo or redo, named in the menu.
QString withStep(const QString& caption, const QString& step)
{
    return step.isEmpty() ? caption : caption + QStringLiteral(": ") + step;
}

} // namespace

ChartCommands::ChartCommands(QWidget* window, const WindowState& state, ChartView& view, MessageBoxes& boxes,
                             Opening opening, ChartEditCommand::Apply apply)
    : QObject(window), m_window(window), m_state(state), m_view(view), m_boxes(boxes),
      m_opening(std::move(opening)), m_apply(std::move(apply)), m_history(new QUndoStack(this))
{
    installShortcuts();
    connect(&m_view, &ChartView::cellMenuRequested, this, &ChartCommands::openMenu);
}

void ChartCommands::installShortcuts()
{
    const struct
    {
        const QList<QKeySequence>& keys;
        void (ChartCommands::*handler)();
    } shortcuts[] = {{m_keys.undo, &ChartCommands::undo},
                     {m_keys.redo, &ChartCommands::redo},
                     {m_keys.copy, &ChartCommands::copySelection},
                     {m_keys.paste, &ChartCommands::pasteAtPointer},
                     {m_keys.escape, &ChartCommands::clearSelection}};
    QList<QKeySequence> allKeys;
    for (const auto& shortcut : shortcuts) {
        auto* action = new QAction(m_window);
        action->setShortcuts(shortcut.keys);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, shortcut.handler);
        m_window->addAction(action);
        allKeys += shortcut.keys;
    }
    m_keysFirst = new ChartKeysFirst(allKeys, this);
    // A box keeps the focus for its text field and asks the field itself.
    for (QComboBox* box : m_window->findChildren<QComboBox*>())
        box->installEventFilter(m_keysFirst);
}

QList<QKeySequence> ChartCommands::addShortcut(QKeySequence::StandardKey key, const QKeySequence& ownKey,
                                               std::function<void()> handler)
{
    const QList<QKeySequence> keys = keysOf(key, {ownKey});
    auto* action = new QAction(m_window);
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this, std::move(handler));
    m_window->addAction(action);
    m_keysFirst->add(keys);
    return keys;
}

void ChartCommands::edit(ChartChange change, const QString& text)
{
    if (change.changesAnything())
        m_history->push(new ChartEditCommand(text, std::move(change), m_apply));
}

// With nothing to undo or redo the keys do nothing at all, as Ctrl+C does with nothing selected.
void ChartCommands::undo()
{
    if (!m_history->canUndo() || !m_opening())
        return;
    m_history->undo();
}

void ChartCommands::redo()
{
    if (!m_history->canRedo() || !m_opening())
        return;
    m_history->redo();
}

void ChartCommands::selectTo(int index)
{
    if (!m_opening())
        return;
    m_view.selectTo(m_view.cellOf(index));
}

void ChartCommands::clearSelection()
{
    if (!m_view.selection() || !m_opening())
        return;
    m_view.clearSelection();
}

void ChartCommands::copyBlock(const CellBlock& block)
{
    if (!m_opening())
        return;
    QGuiApplication::clipboard()->setText(clipboardText(m_state.PatternData, block));
}

void ChartCommands::copySelection()
{
    if (m_view.selection())
        copyBlock(*m_view.selection());
}

void ChartCommands::paste(std::optional<ChartCell> at)
{
    if (!at)
        return;
    ClipboardContent content;
    {
        // The clipboard may hold megabytes; only what lands is kept, and the
        // text itself is let go before any message box waits for the user.
        const QString text = QGuiApplication::clipboard()->text();
        if (text.isEmpty() || !m_opening())
            return;
        content = parseClipboardText(text, *at);
    }
    if (!content.ok()) {
        m_boxes.show(m_window,
                     {QStringLiteral("貼り付け"),
                      QStringLiteral("クリップボードの内容を貼り付けられません。\n%1").arg(content.error),
                      QMessageBox::Warning, QMessageBox::Ok, QMessageBox::Ok});
        return;
    }
    edit(pasteChange(m_state.PatternData, *at, content.rows), QStringLiteral("貼り付け"));
}

void ChartCommands::pasteAtPointer()
{
    // The keyboard's cursor, where it is shown, is where the user is working. Otherwise the
    // paste goes to the cell under the pointer, or with the pointer over no cell, to the
    // selection's first cell, if any.
    std::optional<ChartCell> at = m_view.shownCursor();
    if (!at)
        at = m_view.cellUnderPointer();
    if (!at && m_view.selection())
        at = m_view.selection()->first;
    paste(at);
}

void ChartCommands::openMenu(int index, const QPoint& position)
{
    const ChartCell cell = m_view.cellOf(index);
    // Nothing in the menu acts during a transfer.
    const bool idle = !m_state.busy();
    delete m_menu;
    m_menu = new QMenu(m_window);
    m_menu->setObjectName(QStringLiteral("ChartMenu"));
    const auto item = [&](const QString& text, bool canAct, auto&& handler) {
        QAction* action = m_menu->addAction(text);
        action->setEnabled(idle && canAct);
        connect(action, &QAction::triggered, this, handler);
    };
    item(withKeys(withStep(QStringLiteral("元に戻す"), m_history->undoText()), m_keys.undo),
         m_history->canUndo(), [this] { undo(); });
    item(withKeys(withStep(QStringLiteral("やり直し"), m_history->redoText()), m_keys.redo),
         m_history->canRedo(), [this] { redo(); });
    m_menu->addSeparator();
    item(withKeys(QStringLiteral("コピー"), m_keys.copy), m_view.selection().has_value(),
         [this] { copySelection(); });
    item(withKeys(QStringLiteral("貼り付け"), m_keys.paste), !QGuiApplication::clipboard()->text().isEmpty(),
         [this, cell] { paste(cell); });
    m_menu->addSeparator();
    const int group = cell.channel / ChannelsPerGroup;
    item(QStringLiteral("このチャネル（%1 の CH%2）の80ステップをコピー")
             .arg(groupName(group))
             .arg(cell.channel % ChannelsPerGroup + 1),
         true, [this, cell] { copyBlock(CellBlock::wholeChannel(cell.channel)); });
    item(QStringLiteral("このステップ（%1）の40チャネルをコピー").arg(cell.step + 1), true,
         [this, cell] { copyBlock(CellBlock::wholeStep(cell.step)); });
    item(QStringLiteral("このグループ（%1）の5チャネル×80ステップをコピー").arg(groupName(group)), true,
         [this, group] { copyBlock(CellBlock::wholeGroup(group)); });
    if (m_menuExtension) {
        m_menu->addSeparator();
        m_menuExtension(*m_menu, idle);
    }
    m_menu->popup(position);
}
