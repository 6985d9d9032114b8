#pragma once

#include "edit/ChartChange.h"

#include <QString>
#include <QUndoCommand>

class ChartDocument;

// One step of the undo history: an edit of the chart with its text. It holds
// the document and the change, and carries the change out on the document:
// forwards in redo() (the first time as an edit, later as a step done again),
// backwards in undo().
class ChartEditCommand : public QUndoCommand
{
public:
    // `place` says in words where it acts.
    ChartEditCommand(ChartDocument& document, const QString& text, ChartChange change, const QString& place);

    void undo() override;
    void redo() override;

    const ChartChange& change() const { return m_change; }
    const QString& place() const { return m_place; }

private:
    ChartDocument& m_document;
    ChartChange m_change;
    QString m_place;
    bool m_done = false;
};
