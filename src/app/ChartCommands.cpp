#include "app/ChartCommands.h"

#include "app/Announcer.h"
#include "app/ChartGrid.h"
#include "app/ChartView.h"
#include "app/MessageBoxes.h"
#include "app/WindowContext.h"
#include "app/WindowShortcuts.h"
#include "chart/CellName.h"
#include "edit/ChangePlace.h"
#include "model/ChartDocument.h"
#include "model/ChartHistory.h"
#include "state/WindowState.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>

namespace {

// "元に戻す: 貼り付け": what the key would undo or redo, named in the menu.
QString withStep(const QString& caption, const QString& step)
{
    return step.isEmpty() ? caption : caption + QStringLiteral(": ") + step;
}

} // namespace

ChartCommands::ChartCommands(WindowContext& context, ChartView& view)
    : QObject(&context.window), m_context(context), m_view(view)
{
    const WindowShortcuts::StandardKeys& keys = m_context.shortcuts.standard();
    m_context.shortcuts.add(keys.undo, [this] { undo(); });
    m_context.shortcuts.add(keys.redo, [this] { redo(); });
    m_context.shortcuts.add(keys.copy, [this] { copySelection(); });
    m_context.shortcuts.add(keys.paste, [this] { pasteAtPointer(); });
    m_context.shortcuts.add(keys.escape, [this] { clearSelection(); });
    connect(&m_view, &ChartView::cellMenuRequested, this, &ChartCommands::openMenu);

    ChartHistory& history = m_context.history;
    connect(&history, &ChartHistory::edited, this, &ChartCommands::tellEdit);
    connect(&history, &ChartHistory::undone, this, [this](const QString& text, const QString& place) {
        m_context.announcer.announce(QStringLiteral("元に戻しました: %1 %2").arg(text, place));
    });
    connect(&history, &ChartHistory::redone, this, [this](const QString& text, const QString& place) {
        m_context.announcer.announce(QStringLiteral("やり直しました: %1 %2").arg(text, place));
    });
}

void ChartCommands::tellEdit(const QString& what, const QString& place, const ChartChange& change)
{
    const std::optional<ChartCell> cursor = m_view.shownCursor();
    if (cursor && m_view.grid()->hasFocus() && change.cells.size() == 1 && !change.stepCount &&
        change.cells.front().cell == *cursor)
        return;
    m_context.announcer.announce(what + QLatin1Char(' ') + place);
}

// With nothing to undo or redo the keys do nothing at all, as Ctrl+C does with nothing selected.
void ChartCommands::undo()
{
    if (!m_context.history.canUndo() || !m_context.opening())
        return;
    m_context.history.undo();
}

void ChartCommands::redo()
{
    if (!m_context.history.canRedo() || !m_context.opening())
        return;
    m_context.history.redo();
}

void ChartCommands::selectTo(int index)
{
    if (!m_context.opening())
        return;
    m_view.selectTo(m_view.cellOf(index));
}

void ChartCommands::clearSelection()
{
    if (!m_view.selection() || !m_context.opening())
        return;
    m_view.clearSelection();
}

void ChartCommands::copyBlock(const CellBlock& block)
{
    if (!m_context.opening())
        return;
    QGuiApplication::clipboard()->setText(clipboardText(m_context.document.PatternData(), block));
    m_context.announcer.announce(QStringLiteral("コピーしました: ") + place(block));
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
    Result<ClipboardRows> rows = ClipboardRows();
    {
        // The clipboard may hold megabytes; only what lands is kept, and the
        // text itself is let go before any message box waits for the user.
        const QString text = QGuiApplication::clipboard()->text();
        if (text.isEmpty() || !m_context.opening())
            return;
        rows = parseClipboardText(text, *at);
    }
    if (!rows) {
        m_context.boxes.show(
            &m_context.window,
            {QStringLiteral("貼り付け"),
             QStringLiteral("クリップボードの内容を貼り付けられません。\n%1").arg(rows.reason()),
             QMessageBox::Warning, QMessageBox::Ok, QMessageBox::Ok});
        return;
    }
    m_context.history.edit(pasteChange(m_context.document.PatternData(), *at, *rows),
                           QStringLiteral("貼り付け"));
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
    const WindowShortcuts::StandardKeys& keys = m_context.shortcuts.standard();
    const ChartHistory& history = m_context.history;
    // Nothing in the menu acts during a transfer.
    const bool idle = !m_context.busy();
    delete m_menu;
    m_menu = new QMenu(&m_context.window);
    m_menu->setObjectName(QStringLiteral("ChartMenu"));
    const auto item = [&](const QString& text, bool canAct, auto&& handler) {
        QAction* action = m_menu->addAction(text);
        action->setEnabled(idle && canAct);
        connect(action, &QAction::triggered, this, handler);
    };
    item(withKeys(withStep(QStringLiteral("元に戻す"), history.undoText()), keys.undo), history.canUndo(),
         [this] { undo(); });
    item(withKeys(withStep(QStringLiteral("やり直し"), history.redoText()), keys.redo), history.canRedo(),
         [this] { redo(); });
    m_menu->addSeparator();
    item(withKeys(QStringLiteral("コピー"), keys.copy), m_view.selection().has_value(),
         [this] { copySelection(); });
    item(withKeys(QStringLiteral("貼り付け"), keys.paste), !QGuiApplication::clipboard()->text().isEmpty(),
         [this, cell] { paste(cell); });
    m_menu->addSeparator();
    const int group = cell.channel / ChannelsPerGroup;
    const QString channel =
        QStringLiteral("%1 の CH%2").arg(groupName(group)).arg(cell.channel % ChannelsPerGroup + 1);
    item(QStringLiteral("このチャネル（%1）の80ステップをコピー").arg(channel), true,
         [this, cell] { copyBlock(CellBlock::wholeChannel(cell.channel)); });
    item(QStringLiteral("このステップ（%1）の40チャネルをコピー").arg(cell.step + 1), true,
         [this, cell] { copyBlock(CellBlock::wholeStep(cell.step)); });
    item(QStringLiteral("このグループ（%1）の5チャネル×80ステップをコピー").arg(groupName(group)), true,
         [this, group] { copyBlock(CellBlock::wholeGroup(group)); });
    if (m_menuExtension) {
        m_menu->addSeparator();
        m_menuExtension(*m_menu, idle, cell);
    }
    m_menu->popup(position);
}
