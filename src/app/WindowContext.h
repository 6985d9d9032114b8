#pragma once

class Announcer;
class ChartDocument;
class ChartHistory;
class FileDialogs;
class MessageBoxes;
class QWidget;
class StatusLamp;
class WindowShortcuts;
struct FormControls;
struct WindowState;

// What the window's collaborators share, handed to each of them once by the
// window that owns it all: the window with its controls, the state of the run,
// the chart document and its history, the message boxes and the file dialogs
// (both answered by tests in place of a user), the window's keys, what screen
// readers are told, and the opening every handler begins with.
class WindowContext
{
public:
    WindowContext(QWidget& window, const FormControls& controls, WindowState& state, ChartDocument& document,
                  ChartHistory& history, MessageBoxes& boxes, WindowShortcuts& shortcuts,
                  Announcer& announcer, StatusLamp& lamp);

    QWidget& window;
    const FormControls& controls;
    WindowState& state;
    ChartDocument& document;
    ChartHistory& history;
    MessageBoxes& boxes;
    WindowShortcuts& shortcuts;
    Announcer& announcer;

    // Qt's own dialogs unless set otherwise.
    FileDialogs& dialogs() const { return *m_dialogs; }
    void setDialogs(FileDialogs& dialogs) { m_dialogs = &dialogs; }

    // While a transfer runs.
    bool busy() const;
    // The opening of nearly every handler: false while a transfer runs (and a
    // screen reader is told why nothing happens), otherwise the status
    // display goes idle and true.
    bool opening() const;
    // Tells a screen reader why a key or a click changed nothing: a transfer runs.
    void tellBusy() const;
    // The status display shown again after the state's status changed.
    StatusLamp& lamp;

private:
    FileDialogs* m_dialogs;
};
