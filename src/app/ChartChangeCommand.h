#pragma once

#include "edit/ChartChange.h"

#include <QUndoCommand>
#include <functional>

// One step of the window's undo history: a chart change that has been
// carried out when the command is pushed. Undo carries out its inverse,
// redo the change again, both through the window, which shows where the
// change took place.
class ChartChangeCommand : public QUndoCommand
{
public:
    using Replay = std::function<void(const ChartChange&)>;

    ChartChangeCommand(ChartChange change, Replay replay);

    void undo() override;
    void redo() override;

private:
    ChartChange m_change;
    Replay m_replay;
    // The push runs redo() once; the edit has already been carried out by then.
    bool m_pushed = true;
};
