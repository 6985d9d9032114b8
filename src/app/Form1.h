#pragma once

#include "app/ChartEditCommand.h"
#include "edit/Palette.h"
#include "serial/SerialDevices.h"
#include "state/WindowState.h"

#include <QPixmap>
#include <QString>
#include <QWidget>
#include <memory>
#include <utility>

class ChartCommands;
class ChartPrinting;
class ChartView;
class ControllerTransfer;
class ElementPictures;
class FileDialogs;
class MessageBoxes;
class NamedFiles;
class PatternFiles;
class PortPicker;
class QComboBox;
class QLabel;
class QTimer;
class SerialLine;
class ShapeWidget;
enum class TransferEnd;
struct ElementRow;
struct PatternFileContent;

// The one window. It owns the state of the run and the handlers of its
// controls, and delegates: the chart view draws the chart, the chart commands
// keep the undo history, the clipboard and the chart menu, the pattern files
// save and load the slots, the named files open and save files by name, and
// the chart printing prints and exports the chart sheet. Every edit of the chart is a change that the window
// carries out on its state and shows in one place (showChange).
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

    // The state of the run, read by the tests and tools that drive the window.
    const WindowState& state() const { return m_state; }

    // The chart drawing operations.
    void DrawPage(int page);
    void RedrawChart();
    void PlaceEndMarker(int page);
    // The picture of an element value, or a null pixmap for a value that is no element.
    QPixmap ElementPicture(const ElementCode& value) const;

protected:
    // A close during a transfer asks first, as the controller would be left
    // with part of the pattern; once the user agrees the transfer is stopped.
    void closeEvent(QCloseEvent* event) override;

private:
    bool confirmCloseDuringTransfer();

    void buildControls();
    void connectControls();
    // The handler opening: false while a transfer runs, otherwise the status display goes idle.
    bool StatusReset();
    void showStatus();

    // Carries a change out on the state and shows it: the cells it wrote
    // that the page shows, and where it sets the step count, the end marker
    // and the step-count box. An undo or a redo first goes to the group and
    // page of the change's first cell.
    void applyChange(const ChartChange& change, ChartEditCommand::Show show);
    void showChange(const ChartChange& change);
    // A loaded chart and step count replace the ones in use, as one step of the history.
    void takeLoadedChart(const PatternFileContent& content, const QString& text);

    // The handlers of the editing controls.
    void cellClicked(int index);
    void paletteClicked(const ElementRow& row, PaletteKind palette);
    void modeClicked(EditingMode mode);
    void rangeChosen(qint16 WindowState::*range, const QString& text);
    void stepCountChosen(const QString& text);
    void groupTabClicked(int group);
    void pageButtonClicked(int from, int to);
    void showGroup(int group);
    void showPage(int page);

    // Writing the chart into the controller: the write button starts the
    // transfer, whose start, records sent and end the window shows in its
    // state and on the status display. The lamp blinks while it runs.
    void connectTransfer();
    void writeClicked();
    void transferStarted();
    void transferFinished(TransferEnd end, const QString& reason);
    void blinkTicked();

    // The serial port, which the port picker keeps: restored from the settings
    // file at start-up, chosen in `Comportbox`, stored again at shutdown.
    void connectPort();
    void startUpPortSteps();
    void shutdownPortSteps();
    void portChosen();

    // A control by its designer name; every name asked for exists.
    template <typename T> T* control(const char* name) const
    {
        T* found = findChild<T*>(QString::fromLatin1(name));
        Q_ASSERT_X(found, "Form1::control", name);
        return found;
    }

    QString m_programFolder;
    QString m_configFolder;
    MessageBoxes& m_boxes;
    WindowState m_state;

    std::unique_ptr<ElementPictures> m_pictures;
    ChartView* m_view = nullptr;
    ChartCommands* m_commands = nullptr;
    PatternFiles* m_files = nullptr;
    NamedFiles* m_namedFiles = nullptr;
    ChartPrinting* m_printing = nullptr;

    QLabel* m_preview = nullptr;
    QLabel* m_statusCaption = nullptr;
    ShapeWidget* m_statusLamp = nullptr;
    QComboBox* m_stepCountBox = nullptr;
    QTimer* m_blink = nullptr;
    static constexpr int BlinkIntervalMs = 250;
    ControllerTransfer* m_transfer = nullptr;
    PortPicker* m_portPicker = nullptr;
    // Why the last transfer failed, shown as the tool tip of the status caption.
    QString m_failureReason;
    // Ending on a signal: no question is asked, whatever a close finds.
    bool m_terminating = false;
    bool m_unloaded = false;
};
