#pragma once

#include "files/RecentFiles.h"

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

class ChartCommands;
class FileDialogs;
class MessageBoxes;
class QMenu;
class QUrl;
class QWidget;
struct PatternFileContent;
struct WindowState;

// Pattern files by name, beside the two slots: opened and saved through the
// file dialog (Ctrl+O, Ctrl+S, Ctrl+Shift+S and the chart menu), the list of
// those last used, a file dropped on the window and the file the command line
// names. They read and write exactly as the slots do: the same reader and its
// refusals, the same bytes through the same checked replacement. An open
// replaces the chart through `takeLoaded`, as one step of the history.
class NamedFiles : public QObject
{
    Q_OBJECT

public:
    using TakeLoaded = std::function<void(const PatternFileContent& content, const QString& text)>;
    // The opening of every handler: false while a transfer runs, otherwise the status goes idle.
    using Opening = std::function<bool()>;

    // `configFolder` is the user's configuration folder, where the list of
    // files last used is kept (it need not exist yet; empty keeps none).
    NamedFiles(QWidget* window, const WindowState& state, MessageBoxes& boxes, ChartCommands& commands,
               const QString& configFolder, Opening opening, TakeLoaded takeLoaded);

    void setDialogs(FileDialogs& dialogs) { m_dialogs = &dialogs; }

    void open();
    // To the file the chart was last opened from or saved to; before any, as saveAs().
    void save();
    void saveAs();
    // The file named on the command line, once the window has started: no question asked.
    void openGiven(const QString& path);
    void addMenuItems(QMenu& menu, bool idle);

    // The file last opened or saved by name (absolute), empty before any.
    const QString& currentFile() const { return m_current; }
    // Where the file dialogs start: the folder of the file last used, or the working folder.
    QString lastFolder() const;

protected:
    // Drops on the window.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool load(const QString& path);
    void write(const QString& path, const QString& title);
    void remember(const QString& path);
    void openRecent(const QString& path);
    // What was dropped on the window: one file is opened, once the user agrees.
    void dropped(const QList<QUrl>& urls);
    void tell(const QString& title, const QString& text);
    void reportFailure(const QString& title, const QString& path, const QString& reason);

    QWidget* m_window;
    const WindowState& m_state;
    MessageBoxes& m_boxes;
    FileDialogs* m_dialogs;
    Opening m_opening;
    TakeLoaded m_takeLoaded;
    RecentFiles m_recent;
    QString m_current;
    QList<QKeySequence> m_openKeys, m_saveKeys, m_saveAsKeys;
};
