#pragma once

#include "files/RecentFiles.h"

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QString>

class QMenu;
class QUrl;
class WindowContext;

// Pattern files by name, beside the two slots: opened and saved through the
// file dialog (Ctrl+O, Ctrl+S, Ctrl+Shift+S and the chart menu), the list of
// those last used, a file dropped on the window and the file the command line
// names. They read and write exactly as the slots do: the same reader and its
// refusals, the same bytes through the same checked replacement. An open is
// one step of the history; the file opened or saved becomes the chart
// document's file.
class NamedFiles : public QObject
{
    Q_OBJECT

public:
    // `configFolder` is the user's configuration folder, where the list of
    // files last used is kept (it need not exist yet; empty keeps none).
    NamedFiles(WindowContext& context, const QString& configFolder);

    void open();
    // To the file the chart was last opened from or saved to; before any, as saveAs().
    void save();
    void saveAs();
    // The file named on the command line, once the window has started: no question asked.
    void openGiven(const QString& path);
    void addMenuItems(QMenu& menu, bool idle);

    // Where the file dialogs start: the folder of the file last used, or the working folder.
    QString lastFolder() const;

protected:
    // Drops on the window.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool load(const QString& path);
    void write(const QString& path, const QString& title);
    void remember(const QString& path);
    // The list is a convenience: where it cannot be kept, a line for whoever started the
    // program says so, and the user is not bothered.
    void warnOfUnkeptList(const Result<>& stored) const;
    void openRecent(const QString& path);
    // What was dropped on the window: one file is opened, once the user agrees.
    void dropped(const QList<QUrl>& urls);
    void tell(const QString& title, const QString& text);
    void reportFailure(const QString& title, const QString& path, const QString& reason);

    // The file the chart was last opened from or saved to by name, empty before any.
    const QString& current() const;

    WindowContext& m_context;
    RecentFiles m_recent;
    QList<QKeySequence> m_openKeys, m_saveKeys, m_saveAsKeys;
};
