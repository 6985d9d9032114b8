#pragma once

#include <QObject>
#include <QString>

class QMenu;
class WindowContext;

// One pattern file and the texts of its buttons' questions.
struct PatternSlot
{
    const char* file;
    const char* saveTitle;
    const char* savePrompt;
    const char* loadTitle;
    const char* loadPrompt;
};

// The window's pattern files: the two slots, each saved and loaded whole by
// its buttons (`Command2` to `Command5`), and the chart kept at shutdown in
// the user's data folder with the menu item that brings it back. A load is
// one step of the history.
class PatternFiles : public QObject
{
    Q_OBJECT

public:
    // `dataFolder` is the user's data folder (it need not exist yet), empty where the user has none.
    PatternFiles(WindowContext& context, const QString& dataFolder);

    // The save and load buttons, with their questions.
    void saveSlot(const PatternSlot& slot);
    void loadSlot(const PatternSlot& slot);

    // Shutdown: the chart and step count, unless still those of start-up.
    void keepChartAtExit();
    // The chart menu's item that loads the chart kept at the last shutdown.
    void addMenuItems(QMenu& menu, bool idle);

    static const PatternSlot Slots[2];

private:
    QString lastChartPath() const;
    void restoreLastChart();
    bool confirm(const char* title, const char* prompt);
    void reportFailure(const QString& title, const QString& file, const QString& path, const QString& reason);

    WindowContext& m_context;
    QString m_dataFolder;
};
