#pragma once

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <functional>

class ChartCommands;
class FileDialogs;
class MessageBoxes;
class NamedFiles;
class QMenu;
class QWidget;
struct ChartSheet;
struct WindowState;

// The chart in use on paper: exported as a PDF or printed through Qt's print
// dialog (Ctrl+P), both as the chart sheet that `trv5kb pdf` writes, headed
// with the name of the file the chart was last opened from or saved to.
class ChartPrinting : public QObject
{
    Q_OBJECT

public:
    // The opening of every handler: false while a transfer runs, otherwise the status goes idle.
    using Opening = std::function<bool()>;

    ChartPrinting(QWidget* window, const WindowState& state, MessageBoxes& boxes, ChartCommands& commands,
                  const NamedFiles& files, Opening opening);

    void setDialogs(FileDialogs& dialogs) { m_dialogs = &dialogs; }

    void exportPdf();
    void print();
    void addMenuItems(QMenu& menu, bool idle);

private:
    ChartSheet sheet() const;

    QWidget* m_window;
    const WindowState& m_state;
    MessageBoxes& m_boxes;
    const NamedFiles& m_files;
    FileDialogs* m_dialogs;
    Opening m_opening;
    QList<QKeySequence> m_printKeys;
};
