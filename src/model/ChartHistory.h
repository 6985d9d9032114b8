#pragma once

#include "edit/ChartChange.h"

#include <QObject>
#include <QString>

class ChartDocument;
class QUndoStack;

// The undo history of the chart, for the whole run. Every edit is one step: a
// command that holds the document and the change, and carries the change out
// on the document in redo(), the first time too, and backwards in undo(), as
// in Qt's undo framework. What a step did is told after the document changed,
// for the screen reader's words.
class ChartHistory : public QObject
{
    Q_OBJECT

public:
    ChartHistory(ChartDocument& document, QObject* parent = nullptr);

    // Carries `change` out as one step named `text` ("貼り付け", "一括設定",
    // ...) that acted at `place` (in words; by default the cells the change
    // writes); a change that leaves everything as it was is neither carried
    // out nor kept.
    void edit(ChartChange change, const QString& text, const QString& place = {});
    // The chart and step count of a file loaded take the document's place, as
    // one step named `text`.
    void load(const PatternTable& chart, qint16 stepCount, const QString& text);

    bool canUndo() const;
    bool canRedo() const;
    // The text of the step an undo or a redo would take; empty for none.
    QString undoText() const;
    QString redoText() const;
    void undo();
    void redo();

signals:
    // After the document carried out a step named `text` that acted at `place`.
    void edited(const QString& text, const QString& place, const ChartChange& change);
    void undone(const QString& text, const QString& place);
    void redone(const QString& text, const QString& place);

private:
    ChartDocument& m_document;
    QUndoStack* m_stack;
};
