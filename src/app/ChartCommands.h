#pragma once

#include "app/ChartEditCommand.h"
#include "chart/CellMapping.h"
#include "edit/ChartClipboard.h"

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>
#include <optional>

class ChartKeysFirst;
class ChartView;
class MessageBoxes;
class QMenu;
class QUndoStack;
class QWidget;
struct WindowState;

// What acts on the chart besides its clicks: the undo history, the selection,
// copy and paste with their keys, and the chart's context menu. Every edit of
// the chart becomes a command of the history here. The window owns it and
// gives it the handler opening and the way a change is carried out and shown.
class ChartCommands : public QObject
{
    Q_OBJECT

public:
    // The opening of every handler: false while a transfer runs, otherwise the status goes idle.
    using Opening = std::function<bool()>;
    // Items a right click adds after the chart's own, `idle` false during a transfer.
    using MenuExtension = std::function<void(QMenu& menu, bool idle)>;

    ChartCommands(QWidget* window, const WindowState& state, ChartView& view, MessageBoxes& boxes,
                  Opening opening, ChartEditCommand::Apply apply);

    // Carries `change` out as one step of the history named `text`; a change
    // that leaves everything as it was is neither carried out nor kept.
    void edit(ChartChange change, const QString& text);

    // Shift with a click on grid member `index`: the selection grows to it.
    void selectTo(int index);
    void setMenuExtension(MenuExtension extension) { m_menuExtension = std::move(extension); }

    // A key of the window's besides the chart's own (Ctrl+O, Ctrl+P), acting
    // as they do wherever the keyboard focus is: the platform's keys for
    // `key` and `ownKey`. The keys, the first of them for the menu.
    QList<QKeySequence> addShortcut(QKeySequence::StandardKey key, const QKeySequence& ownKey,
                                    std::function<void()> handler);

private:
    void undo();
    void redo();
    void clearSelection();
    void copySelection();
    void copyBlock(const CellBlock& block);
    // Pastes the clipboard's text with its first field at `at`.
    void paste(std::optional<ChartCell> at);
    void pasteAtPointer();
    void openMenu(int index, const QPoint& position);
    void installShortcuts();

    struct Keys
    {
        Keys();
        QList<QKeySequence> undo, redo, copy, paste, escape;
    };

    const Keys m_keys;
    QWidget* m_window;
    const WindowState& m_state;
    ChartView& m_view;
    MessageBoxes& m_boxes;
    Opening m_opening;
    ChartEditCommand::Apply m_apply;
    MenuExtension m_menuExtension;
    QUndoStack* m_history;
    QPointer<QMenu> m_menu;
    ChartKeysFirst* m_keysFirst = nullptr;
};

// A menu item's caption with the first of its keys, as the chart menu shows them.
QString withKeys(const QString& caption, const QList<QKeySequence>& keys);
