#include "model/ChartEditCommand.h"

#include "model/ChartDocument.h"

#include <utility>

ChartEditCommand::ChartEditCommand(ChartDocument& document, const QString& text, ChartChange change,
                                   const QString& place)
    : QUndoCommand(text), m_document(document), m_change(std::move(change)), m_place(place)
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
