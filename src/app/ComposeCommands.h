#pragma once

#include "chart/CellMapping.h"
#include "edit/StepOperations.h"

#include <QObject>
#include <optional>

class ChartView;
class QMenu;
struct StepMenuEntry;
class WindowContext;

// Composing a show out of whole steps and groups, from the chart menu's
// submenus "ステップ" and "グループ" and from keys: insert, delete, duplicate
// and move steps; copy, swap and clear the group shown; chase, reverse and
// rotate a block. Each is one step of the history, refused during a
// transfer as every edit is, asks first where it would lose cells past step
// 80, and is told to screen readers with what it did and where. Step
// operations act on the selection or, without one, on the step of the cell
// clicked or of the keyboard's cursor; the cursor and the selection follow a
// block that moves.
class ComposeCommands : public QObject
{
    Q_OBJECT

public:
    ComposeCommands(WindowContext& context, ChartView& view);

    // The submenus for the chart menu opened on `cell`.
    void addMenuItems(QMenu& menu, bool idle, ChartCell cell);

private:
    enum class Target { Copy, Swap };

    void installKeys();
    // An entry of the steps submenu, at `cell` where it acts at one.
    void act(const StepMenuEntry& entry, ChartCell cell);
    void stepOperation(ChartOperation operation, ChartCell at);
    void blockOperation(ChartOperation operation, Side side = Side::Left,
                        ChaseDirection direction = ChaseDirection::Downwards);
    void groupOperation(Target target, int other);
    void clearShownGroup();
    // The groups a copy or a swap may go to, as a menu: a submenu of the chart
    // menu, or for a key a menu of its own at the cursor.
    void addGroupChoices(QMenu& menu, Target target, bool idle);
    void chooseGroupAtCursor(Target target);
    // Carries `result` out as one step of the history; false when refused.
    bool carryOut(const Result<OperationResult>& carried);

    WindowContext& m_context;
    ChartView& m_view;
};
