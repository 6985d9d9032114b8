#pragma once

#include "chart/CellMapping.h"
#include "edit/ChartClipboard.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <optional>

class ChartView;
class QMenu;
class WindowContext;

// What acts on the chart besides its clicks: undo and redo, the selection,
// copy and paste with their keys, and the chart's context menu; and what
// screen readers are told of each step of the history. Every edit goes into
// the history as one step.
class ChartCommands : public QObject
{
    Q_OBJECT

public:
    // Items a right click adds after the chart's own, for the cell clicked (or
    // the cursor's, for the Menu key); `idle` false during a transfer.
    using MenuExtension = std::function<void(QMenu& menu, bool idle, ChartCell cell)>;

    ChartCommands(WindowContext& context, ChartView& view);

    // Shift with a click on grid member `index`: the selection grows to it.
    void selectTo(int index);
    void setMenuExtension(MenuExtension extension) { m_menuExtension = std::move(extension); }

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
    // A step of the history, told to screen readers unless it is the cell
    // under the cursor, which the chart tells itself.
    void tellEdit(const QString& what, const QString& place, const ChartChange& change);

    WindowContext& m_context;
    ChartView& m_view;
    MenuExtension m_menuExtension;
    QPointer<QMenu> m_menu;
};
