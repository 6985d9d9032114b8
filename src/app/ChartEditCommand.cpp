#include "app/ChartEditCommand.h"

#include <utility>

ChartEditCommand::ChartEditCommand(const QString& text, ChartChange change, Apply apply)
    : QUndoCommand(text), m_change(std::move(change)), m_apply(std::move(apply))
{
}

void ChartEditCommand::undo()
{
    m_apply(m_change.inverse(), Show::WhereItWent);
}

void ChartEditCommand::redo()
{
    m_apply(m_change, std::exchange(m_done, true) ? Show::WhereItWent : Show::InPlace);
}
