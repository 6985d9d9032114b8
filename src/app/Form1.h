#pragma once

#include "app/FormControls.h"
#include "edit/Palette.h"
#include "serial/SerialDevices.h"
#include "state/WindowState.h"

#include <QString>
#include <QWidget>
#include <memory>

class Announcer;
class ChartCommands;
class ChartDocument;
class ChartGrid;
class ChartHistory;
class ChartPrinting;
class ChartView;
class ComposeCommands;
class ControllerTransfer;
class ElementPictures;
class FileDialogs;
class MessageBoxes;
class NamedFiles;
class PatternFiles;
class PortPicker;
class SerialLine;
class StatusLamp;
class WindowContext;
class WindowShortcuts;
enum class TransferEnd;

// The one window. It owns the state of the run and the chart document with
// its history, keeps the handlers of the controls the design names, and
// delegates: the chart view shows the chart and follows the document, the
// chart commands keep undo, the clipboard and the chart menu, the pattern
// files save and load the slots, the named files open and save files by
// name, the chart printing prints and exports the chart sheet, the port
// picker keeps the port, the status lamp shows the status. Every edit is a
// step of the history that changes the document; nothing comes back here to
// finish it.
class Form1 : public QWidget
{
    Q_OBJECT

public:
    // `programFolder` holds the pictures and "Setting.ini" (the executable's
    // folder); `configFolder` is the user's configuration folder, where the
    // settings are kept when the program's own file cannot be written;
    // `dataFolder` is the user's data folder, where the chart is kept at
    // shutdown (neither folder need exist yet).
    Form1(const QString& programFolder, const QString& configFolder, const QString& dataFolder,
          MessageBoxes& boxes, QWidget* parent = nullptr);
    ~Form1() override;

    // Start-up. False when a picture could not be loaded: the user has been
    // told which file, and the window must not be shown.
    bool Form_Load();
    // Shutdown: stores the chosen port and closes it, then keeps the chart.
    // Runs when the window closes.
    void Form_Unload();

    // Where the port picker learns which serial devices are present; the
    // system's list unless set before start-up.
    void setSerialDeviceList(SerialDeviceList list);
    // The line transfers go over; the serial port unless set before start-up.
    void setSerialLine(std::unique_ptr<SerialLine> line);
    // Where the file and print dialogs are shown; Qt's own unless set.
    void setFileDialogs(FileDialogs& dialogs);
    // Opens a pattern file named on the command line, once start-up is done.
    void openFile(const QString& path);
    // The session or the shell ends the program (SIGTERM, SIGINT, SIGHUP): a
    // transfer that runs is stopped at once, without the question a close
    // asks, and standard error says that the controller holds part of the
    // pattern. The window is closed after this.
    void terminationRequested();

    // The state of the run and the chart, read by the tests and tools that drive the window.
    const WindowState& state() const { return m_state; }
    const ChartDocument& document() const { return *m_document; }

protected:
    // A close during a transfer asks first, as the controller would be left
    // with part of the pattern; once the user agrees the transfer is stopped.
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void connectControls();
    bool confirmCloseDuringTransfer();
    // The handler opening: false while a transfer runs, otherwise the status display goes idle.
    bool StatusReset();

    // The handlers of the editing controls.
    void cellClicked(int index);
    void paletteClicked(const ElementRow& row, PaletteKind palette);
    void modeClicked(EditingMode mode);
    void rangeChosen(qint16 WindowState::*range, const QString& text);
    void stepCountChosen(const QString& text);
    void groupTabClicked(int group);
    void pageButtonClicked(int from, int to);

    // Writing the chart into the controller: the write button starts the
    // transfer, whose start, records sent and end the window shows in its
    // state and on the status display.
    void connectTransfer();
    void writeClicked();
    void transferStarted();
    void transferFinished(TransferEnd end, const QString& reason);

    QString m_programFolder;
    QString m_configFolder;
    WindowState m_state;
    ChartDocument* m_document;
    ChartHistory* m_history;
    std::unique_ptr<ElementPictures> m_pictures;
    FormControls m_controls;
    WindowShortcuts* m_shortcuts = nullptr;
    Announcer* m_announcer = nullptr;
    StatusLamp* m_lamp = nullptr;
    std::unique_ptr<WindowContext> m_context;
    // The page of cells `Picture1`, built among the controls.
    ChartGrid* m_grid = nullptr;

    ChartView* m_view = nullptr;
    ChartCommands* m_commands = nullptr;
    ComposeCommands* m_compose = nullptr;
    PatternFiles* m_files = nullptr;
    NamedFiles* m_namedFiles = nullptr;
    ChartPrinting* m_printing = nullptr;
    ControllerTransfer* m_transfer = nullptr;
    PortPicker* m_portPicker = nullptr;
    // Ending on a signal: no question is asked, whatever a close finds.
    bool m_terminating = false;
    bool m_unloaded = false;
};
