#include "app/Controls.h"
#include "app/Form1.h"
#include "app/MessageBoxes.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QCursor>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QUndoStack>

namespace {

const QKeySequence UndoKeys(Qt::CTRL | Qt::Key_Z);
const QKeySequence RedoKeys(Qt::CTRL | Qt::Key_Y);
const QKeySequence RedoOtherKeys(Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
const QKeySequence CopyKeys(Qt::CTRL | Qt::Key_C);
const QKeySequence PasteKeys(Qt::CTRL | Qt::Key_V);
const QKeySequence EscapeKeys(Qt::Key_Escape);

// The editable choice boxes claim Ctrl+Z, Ctrl+C and the like for their text
// fields before a window shortcut sees them. Text typed there never counts,
// so these sequences are left to the window, where they act on the chart
// wherever the keyboard focus is.
class ChartKeysFirst : public QObject
{
public:
    ChartKeysFirst(QList<QKeySequence> keys, QObject* parent) : QObject(parent), m_keys(std::move(keys)) {}

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

QString withKeys(const QString& caption, const QKeySequence& keys)
{
    return caption + QChar('\t') + keys.toString(QKeySequence::NativeText);
}

QString groupName(int group)
{
    return QStringLiteral("グループ") + QChar('A' + group);
}

} // namespace

void Form1::connectChartCommands()
{
    m_history = new QUndoStack(this);
    m_selectionFrame = new SelectionFrame(this);
    m_selectionFrame->setObjectName(QStringLiteral("SelectionFrame"));

    const struct
    {
        QList<QKeySequence> keys;
        void (Form1::*handler)();
    } shortcuts[] = {{{UndoKeys}, &Form1::Undo_Click},
                     {{RedoKeys, RedoOtherKeys}, &Form1::Redo_Click},
                     {{CopyKeys}, &Form1::Copy_Click},
                     {{PasteKeys}, &Form1::Paste_Click},
                     {{EscapeKeys}, &Form1::Escape_Click}};
    QList<QKeySequence> allKeys;
    for (const auto& shortcut : shortcuts) {
        auto* action = new QAction(this);
        action->setShortcuts(shortcut.keys);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, shortcut.handler);
        addAction(action);
        allKeys += shortcut.keys;
    }
    auto* keysFirst = new ChartKeysFirst(allKeys, this);
    // A box keeps the focus for its text field and asks the field itself.
    for (QComboBox* box : findChildren<QComboBox*>())
        box->installEventFilter(keysFirst);

    // A right click on a cell opens the chart menu; the cell's click stays the left button's.
    for (int i = 0; i < GridSize; ++i) {
        ClickLabel* cell = m_cells[std::size_t(i)];
        cell->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(cell, &QWidget::customContextMenuRequested, this,
                [this, cell, i](const QPoint& at) { openChartMenu(i, cell->mapToGlobal(at)); });
    }
}

void Form1::selectTo(int index)
{
    if (!StatusReset())
        return;
    const ChartCell cell = cellOfGridIndex(index, m_state.CurrentPage, m_state.CurrentGroup);
    if (!m_selection)
        m_selectionStart = cell;
    m_selection = CellBlock::spanning(m_selectionStart, cell);
    const auto shownAt = [this](ChartCell corner) {
        return m_cells[std::size_t(*gridIndexOfCell(corner, m_state.CurrentPage, m_state.CurrentGroup))]
            ->geometry();
    };
    m_selectionFrame->frame(shownAt(m_selection->first).united(shownAt(m_selection->last)));
}

void Form1::clearSelection()
{
    m_selection.reset();
    m_selectionFrame->frame({});
}

void Form1::Escape_Click()
{
    if (!m_selection || !StatusReset())
        return;
    clearSelection();
}

void Form1::copyBlock(const CellBlock& block)
{
    if (!StatusReset())
        return;
    QGuiApplication::clipboard()->setText(clipboardText(m_state.PatternData, block));
}

void Form1::Copy_Click()
{
    if (m_selection)
        copyBlock(*m_selection);
}

void Form1::paste(std::optional<ChartCell> at)
{
    if (!at)
        return;
    ClipboardContent content;
    {
        // The clipboard may hold megabytes; only what lands is kept, and the
        // text itself is let go before any message box waits for the user.
        const QString text = QGuiApplication::clipboard()->text();
        if (text.isEmpty() || !StatusReset())
            return;
        content = parseClipboardText(text, *at);
    }
    if (!content.ok()) {
        m_boxes.show(this,
                     {QStringLiteral("貼り付け"),
                      QStringLiteral("クリップボードの内容を貼り付けられません。\n%1").arg(content.error),
                      QMessageBox::Warning, QMessageBox::Ok, QMessageBox::Ok});
        return;
    }
    ChartChange change = pasteChange(m_state.PatternData, *at, content.rows);
    // Only the cells written that the page shows are repainted.
    for (const CellEdit& edit : change.cells)
        if (const std::optional<int> index =
                gridIndexOfCell(edit.cell, m_state.CurrentPage, m_state.CurrentGroup))
            paintCell(*index, edit.after);
    commitChange(std::move(change));
}

void Form1::Paste_Click()
{
    // Where the pointer is over no cell, the paste goes to the selection's first cell, if any.
    std::optional<ChartCell> at = cellUnderPointer();
    if (!at && m_selection)
        at = m_selection->first;
    paste(at);
}

std::optional<ChartCell> Form1::cellUnderPointer() const
{
    const QPoint pointer = mapFromGlobal(QCursor::pos());
    for (int i = 0; i < GridSize; ++i)
        if (m_cells[std::size_t(i)]->geometry().contains(pointer))
            return cellOfGridIndex(i, m_state.CurrentPage, m_state.CurrentGroup);
    return std::nullopt;
}

void Form1::openChartMenu(int index, const QPoint& position)
{
    const ChartCell cell = cellOfGridIndex(index, m_state.CurrentPage, m_state.CurrentGroup);
    // Nothing in the menu acts during a transfer.
    const bool idle = !m_state.busy();
    delete m_chartMenu;
    m_chartMenu = new QMenu(this);
    m_chartMenu->setObjectName(QStringLiteral("ChartMenu"));
    const auto item = [&](const QString& text, bool canAct, auto&& handler) {
        QAction* action = m_chartMenu->addAction(text);
        action->setEnabled(idle && canAct);
        connect(action, &QAction::triggered, this, handler);
    };
    item(withKeys(QStringLiteral("元に戻す"), UndoKeys), m_history->canUndo(), [this] { Undo_Click(); });
    item(withKeys(QStringLiteral("やり直し"), RedoKeys), m_history->canRedo(), [this] { Redo_Click(); });
    m_chartMenu->addSeparator();
    item(withKeys(QStringLiteral("コピー"), CopyKeys), m_selection.has_value(), [this] { Copy_Click(); });
    item(withKeys(QStringLiteral("貼り付け"), PasteKeys), !QGuiApplication::clipboard()->text().isEmpty(),
         [this, cell] { paste(cell); });
    m_chartMenu->addSeparator();
    const int group = cell.channel / ChannelsPerGroup;
    item(QStringLiteral("このチャネル（%1 の CH%2）の80ステップをコピー")
             .arg(groupName(group))
             .arg(cell.channel % ChannelsPerGroup + 1),
         true, [this, cell] { copyBlock(CellBlock::wholeChannel(cell.channel)); });
    item(QStringLiteral("このステップ（%1）の40チャネルをコピー").arg(cell.step + 1), true,
         [this, cell] { copyBlock(CellBlock::wholeStep(cell.step)); });
    item(QStringLiteral("このグループ（%1）の5チャネル×80ステップをコピー").arg(groupName(group)), true,
         [this, group] { copyBlock(CellBlock::wholeGroup(group)); });
    m_chartMenu->addSeparator();
    item(QStringLiteral("前回終了時のチャートに戻す"), QFile::exists(lastChartPath()),
         [this] { restoreLastChart(); });
    m_chartMenu->popup(position);
}
