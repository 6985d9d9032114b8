#include "model/ChartEditCommand.h"

#include "model/ChartDocument.h"

#include <utility>

ChartEditCommand::ChartEditCommand(ChartDocument& document, const QString& text, ChartChange change)
    : QUndoCommand(text), m_document(document), m_change(std::move(change))
{
}

void ChartEditCommand::undo()
{
    m_document.apply(m_change.inverse(), ChartDocument::Origin::History);
}

void ChartEditCommand::redo()
{
    m_document.apply(m_change, std::exchange(m_done, true) ? ChartDocument::Origin::History
                                                           : ChartDocument::Origin::Edit);
}
