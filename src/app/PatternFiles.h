#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class MessageBoxes;
class QMenu;
class QWidget;
struct PatternFileContent;
struct WindowState;

// One pattern file with its two buttons and the texts of their questions.
struct PatternSlot
{
    const char* saveButton;
    const char* loadButton;
    const char* file;
    const char* saveTitle;
    const char* savePrompt;
    const char* loadTitle;
    const char* loadPrompt;
};

// The window's pattern files: the two slots, each saved and loaded whole by
// its buttons, and the chart kept at shutdown in the user's data folder with
// the menu item that brings it back. A load replaces the chart through
// `takeLoaded`, as one step of the history named by the text given.
class PatternFiles : public QObject
{
    Q_OBJECT

public:
    using TakeLoaded = std::function<void(const PatternFileContent& content, const QString& text)>;
    // The opening of every handler: false while a transfer runs, otherwise the status goes idle.
    using Opening = std::function<bool()>;

    // `dataFolder` is the user's data folder (it need not exist yet), empty where the user has none.
    PatternFiles(QWidget* window, const WindowState& state, MessageBoxes& boxes, const QString& dataFolder,
                 Opening opening, TakeLoaded takeLoaded);

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

    QWidget* m_window;
    const WindowState& m_state;
    MessageBoxes& m_boxes;
    QString m_dataFolder;
    Opening m_opening;
    TakeLoaded m_takeLoaded;
};
