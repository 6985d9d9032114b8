#include "app/ComposeCommands.h"

#include "app/Announcer.h"
#include "app/ChartGrid.h"
#include "app/ChartView.h"
#include "app/MessageBoxes.h"
#include "app/WindowContext.h"
#include "app/WindowShortcuts.h"
#include "chart/CellName.h"
#include "model/ChartDocument.h"
#include "model/ChartHistory.h"
#include "state/WindowState.h"

#include <QApplication>
#include <QMenu>

// The steps submenu, in its order, with the keys of each entry. A step operation acts at a
// cell (for a key the cursor's, for the menu the one clicked), the others on the selection or
// the group shown.
struct StepMenuEntry
{
    ChartOperation operation;
    const QList<QKeySequence>& keys;
    const char* caption = nullptr; // nullptr: the operation's own text
    Side side = Side::Left;
    ChaseDirection direction = ChaseDirection::Downwards;
};

namespace {

QList<QKeySequence> keys(std::initializer_list<QKeyCombination> combinations)
{
    QList<QKeySequence> list;
    for (QKeyCombination combination : combinations)
        list << QKeySequence(combination);
    return list;
}

// The keys of each operation; none of them is a key of the window or of the chart before.
// Ctrl+Shift+= comes as Ctrl+Shift++ or Ctrl++ on keyboards where Shift+= is "+".
const QList<QKeySequence> InsertKeys = keys({Qt::Key_Insert, Qt::CTRL | Qt::SHIFT | Qt::Key_Equal,
                                             Qt::CTRL | Qt::SHIFT | Qt::Key_Plus, Qt::CTRL | Qt::Key_Plus});
const QList<QKeySequence> DeleteKeys = keys({Qt::CTRL | Qt::Key_Delete, Qt::CTRL | Qt::Key_Minus});
const QList<QKeySequence> DuplicateKeys = keys({Qt::CTRL | Qt::Key_D});
const QList<QKeySequence> LeftKeys = keys({Qt::ALT | Qt::Key_Left});
const QList<QKeySequence> RightKeys = keys({Qt::ALT | Qt::Key_Right});
const QList<QKeySequence> CopyGroupKeys = keys({Qt::CTRL | Qt::SHIFT | Qt::Key_C});
const QList<QKeySequence> SwapGroupKeys = keys({Qt::CTRL | Qt::SHIFT | Qt::Key_X});
const QList<QKeySequence> ClearGroupKeys = keys({Qt::CTRL | Qt::SHIFT | Qt::Key_Delete});
const QList<QKeySequence> ChaseDownKeys = keys({Qt::CTRL | Qt::SHIFT | Qt::Key_Down});
const QList<QKeySequence> ChaseUpKeys = keys({Qt::CTRL | Qt::SHIFT | Qt::Key_Up});
const QList<QKeySequence> ReverseKeys = keys({Qt::CTRL | Qt::SHIFT | Qt::Key_R});
const QList<QKeySequence> RotateLeftKeys = keys({Qt::CTRL | Qt::SHIFT | Qt::Key_Left});
const QList<QKeySequence> RotateRightKeys = keys({Qt::CTRL | Qt::SHIFT | Qt::Key_Right});

const StepMenuEntry StepEntries[] = {
    {ChartOperation::InsertSteps, InsertKeys},
    {ChartOperation::DeleteSteps, DeleteKeys},
    {ChartOperation::DuplicateSteps, DuplicateKeys},
    {ChartOperation::MoveStepsLeft, LeftKeys},
    {ChartOperation::MoveStepsRight, RightKeys},
    {ChartOperation::Chase, ChaseDownKeys, "チェイス（下へ）"},
    {ChartOperation::Chase, ChaseUpKeys, "チェイス（上へ）", Side::Left, ChaseDirection::Upwards},
    {ChartOperation::Reverse, ReverseKeys},
    {ChartOperation::Rotate, RotateLeftKeys, "回転（左へ）"},
    {ChartOperation::Rotate, RotateRightKeys, "回転（右へ）", Side::Right},
};

bool actsAtCell(ChartOperation operation)
{
    return operation == ChartOperation::InsertSteps || operation == ChartOperation::DeleteSteps ||
           operation == ChartOperation::DuplicateSteps || operation == ChartOperation::MoveStepsLeft ||
           operation == ChartOperation::MoveStepsRight;
}

} // namespace

ComposeCommands::ComposeCommands(WindowContext& context, ChartView& view)
    : QObject(&context.window), m_context(context), m_view(view)
{
    installKeys();
}

void ComposeCommands::installKeys()
{
    // In a choice box, Insert and Ctrl+Delete edit its text: the keys act everywhere else.
    const auto add = [this](const QList<QKeySequence>& keys, std::function<void()> handler) {
        m_context.shortcuts.add(keys, std::move(handler), WindowShortcuts::InBoxes::Box);
    };
    for (const StepMenuEntry& entry : StepEntries)
        add(entry.keys, [this, &entry] { act(entry, m_view.cursorCell()); });
    add(CopyGroupKeys, [this] { chooseGroupAtCursor(Target::Copy); });
    add(SwapGroupKeys, [this] { chooseGroupAtCursor(Target::Swap); });
    add(ClearGroupKeys, [this] { clearShownGroup(); });
}

void ComposeCommands::act(const StepMenuEntry& entry, ChartCell cell)
{
    if (actsAtCell(entry.operation))
        stepOperation(entry.operation, cell);
    else
        blockOperation(entry.operation, entry.side, entry.direction);
}

void ComposeCommands::addMenuItems(QMenu& menu, bool idle, ChartCell cell)
{
    const auto item = [&](QMenu* submenu, const QString& text, const QList<QKeySequence>& keys,
                          auto&& handler) {
        QAction* action = submenu->addAction(keys.isEmpty() ? text : withKeys(text, keys));
        action->setEnabled(idle);
        connect(action, &QAction::triggered, this, handler);
    };
    QMenu* steps = menu.addMenu(QStringLiteral("ステップ"));
    steps->setObjectName(QStringLiteral("StepMenu"));
    for (const StepMenuEntry& entry : StepEntries) {
        // The operations on steps at a cell, then those on a block.
        if (&entry != StepEntries && actsAtCell((&entry - 1)->operation) && !actsAtCell(entry.operation))
            steps->addSeparator();
        item(steps, entry.caption ? QString::fromUtf8(entry.caption) : operationText(entry.operation),
             entry.keys, [this, &entry, cell] { act(entry, cell); });
    }
    steps->setEnabled(idle);

    QMenu* groups = menu.addMenu(QStringLiteral("グループ"));
    groups->setObjectName(QStringLiteral("GroupMenu"));
    QMenu* copy = groups->addMenu(withKeys(QStringLiteral("グループをコピー…"), CopyGroupKeys));
    addGroupChoices(*copy, Target::Copy, idle);
    QMenu* swap = groups->addMenu(withKeys(QStringLiteral("グループを入れ替え…"), SwapGroupKeys));
    addGroupChoices(*swap, Target::Swap, idle);
    item(groups, operationText(ChartOperation::ClearGroup), ClearGroupKeys, [this] { clearShownGroup(); });
    groups->setEnabled(idle);
}

void ComposeCommands::addGroupChoices(QMenu& menu, Target target, bool idle)
{
    const int shown = m_context.state.CurrentGroup;
    for (int group = 0; group < PatternTable::UsedChannels / ChannelsPerGroup; ++group) {
        if (group == shown)
            continue;
        QAction* action =
            menu.addAction((target == Target::Copy ? QStringLiteral("%1 → %2") : QStringLiteral("%1 ⇔ %2"))
                               .arg(groupName(shown), groupName(group)));
        action->setEnabled(idle);
        connect(action, &QAction::triggered, this, [this, target, group] { groupOperation(target, group); });
    }
    menu.setEnabled(idle);
}

void ComposeCommands::chooseGroupAtCursor(Target target)
{
    if (m_context.busy())
        return m_context.tellBusy();
    auto* menu = new QMenu(&m_context.window);
    menu->setObjectName(QStringLiteral("GroupChoiceMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->setTitle(target == Target::Copy ? QStringLiteral("コピー先のグループ")
                                          : QStringLiteral("入れ替えるグループ"));
    addGroupChoices(*menu, target, true);
    const QRect cell = m_view.grid()->cellRect(m_view.grid()->cursor());
    menu->popup(m_context.window.mapToGlobal(cell.center()));
}

bool ComposeCommands::carryOut(const Result<OperationResult>& carried)
{
    if (!carried) {
        // Nothing to do where the chart ends: said, as the chart shows nothing of it.
        QApplication::beep();
        m_context.announcer.announce(carried.reason());
        return false;
    }
    const OperationResult& result = *carried;
    if (result.lostCells > 0 &&
        m_context.boxes.show(&m_context.window,
                             {operationText(result.operation),
                              lostCellsText(result.lostCells) + QStringLiteral("続けますか？"),
                              QMessageBox::Warning, QMessageBox::Yes | QMessageBox::No, QMessageBox::No}) !=
            QMessageBox::Yes)
        return false;
    m_context.history.edit(result.change, operationText(result.operation), result.place);
    return true;
}

void ComposeCommands::stepOperation(ChartOperation operation, ChartCell at)
{
    if (!m_context.opening())
        return;
    const ChartDocument& document = m_context.document;
    const CellBlock region = stepRegion(m_view.selection(), at);
    const Result<OperationResult> result = [&]() -> Result<OperationResult> {
        switch (operation) {
        case ChartOperation::InsertSteps:
            return insertSteps(document.PatternData(), document.StepCount(), region);
        case ChartOperation::DeleteSteps:
            return deleteSteps(document.PatternData(), document.StepCount(), region);
        case ChartOperation::DuplicateSteps:
            return duplicateSteps(document.PatternData(), document.StepCount(), region);
        default:
            return moveSteps(document.PatternData(), document.StepCount(), region,
                             operation == ChartOperation::MoveStepsLeft ? Side::Left : Side::Right);
        }
    }();
    if (carryOut(result) &&
        (operation == ChartOperation::MoveStepsLeft || operation == ChartOperation::MoveStepsRight))
        m_view.follow(region, result->region);
}

void ComposeCommands::blockOperation(ChartOperation operation, Side side, ChaseDirection direction)
{
    if (!m_context.opening())
        return;
    const ChartDocument& document = m_context.document;
    const CellBlock region =
        blockRegion(m_view.selection(), m_context.state.CurrentGroup, document.StepCount());
    if (operation == ChartOperation::Chase)
        carryOut(chase(document.PatternData(), region, m_context.state.SelectedElement, direction));
    else if (operation == ChartOperation::Reverse)
        carryOut(reverseSteps(document.PatternData(), region));
    else
        carryOut(rotateSteps(document.PatternData(), region, side));
}

void ComposeCommands::groupOperation(Target target, int other)
{
    if (!m_context.opening())
        return;
    const PatternTable& chart = m_context.document.PatternData();
    const int shown = m_context.state.CurrentGroup;
    carryOut(target == Target::Copy ? copyGroup(chart, shown, other) : swapGroups(chart, shown, other));
}

void ComposeCommands::clearShownGroup()
{
    if (!m_context.opening())
        return;
    carryOut(clearGroup(m_context.document.PatternData(), m_context.state.CurrentGroup));
}
