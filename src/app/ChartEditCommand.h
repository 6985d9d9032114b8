#pragma once

#include "edit/ChartChange.h"

#include <QString>
#include <QUndoCommand>
#include <functional>

// One step of the window's undo history: an edit of the chart with its text
// ("貼り付け", "一括設定", "呼出", ...). As in Qt's undo framework, the command
// does its work in redo(), the first time included, when it is pushed; undo()
// carries out the change backwards. Both go through the window, which shows
// the change, and after an undo or a redo also where it took place.
class ChartEditCommand : public QUndoCommand
{
public:
    // How the window shows a change it carries out.
    enum class Show {
        InPlace,     // the edit itself: the view stays where the user made it
        WhereItWent, // an undo or a redo: the view goes to the change's first cell
    };
    using Apply = std::function<void(const ChartChange& change, Show show)>;

    ChartEditCommand(const QString& text, ChartChange change, Apply apply);

    void undo() override;
    void redo() override;

private:
    ChartChange m_change;
    Apply m_apply;
    bool m_done = false;
};
