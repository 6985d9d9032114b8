#include "app/ChartChangeCommand.h"

#include <utility>

ChartChangeCommand::ChartChangeCommand(ChartChange change, Replay replay)
    : m_change(std::move(change)), m_replay(std::move(replay))
{
}

void ChartChangeCommand::undo()
{
    m_replay(m_change.inverse());
}

void ChartChangeCommand::redo()
{
    if (std::exchange(m_pushed, false))
        return;
    m_replay(m_change);
}
