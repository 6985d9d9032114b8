#include "model/ChartHistory.h"

#include "edit/ChangePlace.h"
#include "model/ChartDocument.h"
#include "model/ChartEditCommand.h"

#include <QUndoStack>

ChartHistory::ChartHistory(ChartDocument& document, QObject* parent)
    : QObject(parent), m_document(document), m_stack(new QUndoStack(this))
{
}

void ChartHistory::edit(ChartChange change, const QString& text, const QString& place)
{
    if (!change.changesAnything())
        return;
    const QString where = place.isEmpty() ? changePlace(change) : place;
    auto* command = new ChartEditCommand(m_document, text, std::move(change), where);
    m_stack->push(command);
    emit edited(text, where, command->change());
}

void ChartHistory::load(const PatternTable& chart, qint16 stepCount, const QString& text)
{
    edit(ChartChange::between(m_document.PatternData(), m_document.StepCount(), chart, stepCount), text);
}

bool ChartHistory::canUndo() const
{
    return m_stack->canUndo();
}

bool ChartHistory::canRedo() const
{
    return m_stack->canRedo();
}

QString ChartHistory::undoText() const
{
    return m_stack->undoText();
}

QString ChartHistory::redoText() const
{
    return m_stack->redoText();
}

void ChartHistory::undo()
{
    if (!m_stack->canUndo())
        return;
    const auto* command = static_cast<const ChartEditCommand*>(m_stack->command(m_stack->index() - 1));
    m_stack->undo();
    emit undone(command->text(), command->place());
}

void ChartHistory::redo()
{
    if (!m_stack->canRedo())
        return;
    const auto* command = static_cast<const ChartEditCommand*>(m_stack->command(m_stack->index()));
    m_stack->redo();
    emit redone(command->text(), command->place());
}
