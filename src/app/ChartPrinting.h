#pragma once

#include <QKeySequence>
#include <QList>
#include <QObject>

class NamedFiles;
class QMenu;
class WindowContext;
struct ChartSheet;

// The chart in use on paper: exported as a PDF or printed through Qt's print
// dialog (Ctrl+P), both as the chart sheet that `trv5kb pdf` writes, headed
// with the name of the file the chart was last opened from or saved to.
class ChartPrinting : public QObject
{
    Q_OBJECT

public:
    // The dialogs start where those of `files` do.
    ChartPrinting(WindowContext& context, const NamedFiles& files);

    void exportPdf();
    void print();
    void addMenuItems(QMenu& menu, bool idle);

private:
    ChartSheet sheet() const;

    WindowContext& m_context;
    const NamedFiles& m_files;
    QList<QKeySequence> m_printKeys;
};
