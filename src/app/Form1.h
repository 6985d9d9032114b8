#pragma once

#include "device/SerialDevices.h"
#include "device/SettingsLocation.h"
#include "edit/ChartClipboard.h"
#include "edit/Palette.h"
#include "state/WindowState.h"

#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <array>
#include <memory>
#include <optional>
#include <utility>

class ClickLabel;
class CommControl;
class MessageBoxes;
class QComboBox;
class QLabel;
class QMenu;
class QTimer;
class QUndoStack;
class SelectionFrame;
class ShapeWidget;
class TransferCarrier;
class TransferProtocol;
struct TransferActions;
enum class TransferCause;
struct ElementRow;
struct PatternFileContent;
struct PatternSlot;

// The one window. It owns the state of the run and turns clicks, choices,
// timer ticks and port events into calls on the chart, editing, file and
// device code, and their results into pictures, colours and captions.
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
    void setSerialDeviceList(SerialDeviceList list) { m_serialDevices = std::move(list); }

    // The state of the run, read by the tests and tools that drive the window.
    const WindowState& state() const { return m_state; }

    // The chart drawing operations.
    void DrawPage(int page);
    void RedrawChart();
    void PlaceEndMarker(int page);
    // The picture of an element value, or a null pixmap for a value that is no element.
    QPixmap ElementPicture(const ElementCode& value) const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    bool loadPictures();
    // Applies the cell rule to grid member `index`: a value that is no element leaves the picture as it was.
    void paintCell(int index, const ElementCode& value);
    // The handler opening: false while a transfer runs, otherwise the status display goes idle.
    bool StatusReset();
    void showStatus();

    // Editing: the cells, the palettes, the modes, the range and step-count
    // boxes, the group tabs and the page buttons.
    void connectEditing();
    void Picture1_Click(int index);
    void paletteClick(const ElementRow& row, PaletteKind palette);
    void Option_Click(EditingMode mode);
    void rangeBox_Click(qint16 WindowState::*range, const QString& text);
    void Combo1_Click(const QString& text);
    void groupLabel_Click(int group);
    void pageButton_Click(int from, int to);
    // What a group tab and a page button show once `CurrentGroup` or `CurrentPage` is set;
    // undo and redo go to the group and page of their first cell the same way.
    void showGroup(int group);
    void showPage(int page);

    // Every edit of the chart is a change: carried out on the state, then kept
    // in the history when it changes anything. Each edit repaints what it
    // touched itself.
    void commitChange(ChartChange change);
    // Undo and redo carry a change out again (forwards or backwards) and show
    // the group and page of its first cell, the end marker and the step count.
    void replayChange(const ChartChange& change);
    // A loaded chart and step count replace the ones in use, as one step of the history.
    void takeLoadedChart(const PatternFileContent& content);
    void Undo_Click();
    void Redo_Click();

    // The history, the selection, the clipboard, their shortcuts and the
    // chart's context menu.
    void connectChartCommands();
    void selectTo(int index);
    void clearSelection();
    void Escape_Click();
    void copyBlock(const CellBlock& block);
    void Copy_Click();
    // Pastes the clipboard's text with its first field at `at`.
    void paste(std::optional<ChartCell> at);
    void Paste_Click();
    std::optional<ChartCell> cellUnderPointer() const;
    void openChartMenu(int index, const QPoint& position);

    // The chart at shutdown, kept in the user's data folder.
    QString lastChartPath() const;
    void keepChartAtExit();
    void restoreLastChart();

    // The two pattern files: saving and loading the whole chart.
    void connectFiles();
    bool confirm(const char* title, const char* prompt);
    void reportFileFailure(const QString& title, const QString& file, const QString& path,
                           const QString& reason);
    void saveSlot(const PatternSlot& slot);
    void loadSlot(const PatternSlot& slot);

    // Writing the chart into the controller: the write button, the port's
    // receive event and the two timers feed the protocol; what it answers is
    // carried out on the port, the timers and the status display.
    void connectTransfer();
    void Command1_Click();
    void mscPort_OnComm();
    void Timer1_Timer();
    void Timer2_Timer();
    void apply(const TransferActions& actions);
    // The Japanese reason for a failed transfer, with the port's own where it has one.
    QString failureText(TransferCause cause) const;

    // The serial port: restored from the settings file at start-up, chosen in
    // `Comportbox`, stored again at shutdown.
    void startUpPortSteps();
    void shutdownPortSteps();
    void configurePort();
    void connectPort();
    void Comportbox_Click();
    // The serial devices present, listed after COM20 each time the list opens.
    void refreshPortList();
    // The picker's tool tip names the device behind the value it shows.
    void showPortDevice();

    // A control by its designer name; every name asked for exists.
    template <typename T> T* control(const char* name) const
    {
        T* found = findChild<T*>(QString::fromLatin1(name));
        Q_ASSERT_X(found, "Form1::control", name);
        return found;
    }

    QString m_programFolder;
    QString m_configFolder;
    QString m_dataFolder;
    // The settings files, found by the start-up port steps.
    SettingsLocation m_settings;
    MessageBoxes& m_boxes;
    WindowState m_state;

    std::array<ClickLabel*, 200> m_cells{};
    std::array<QLabel*, 16> m_elementHolders{};
    std::array<QLabel*, 2> m_pageHolders{};
    QLabel* m_picture2 = nullptr;
    QLabel* m_picture4 = nullptr;
    QLabel* m_label28 = nullptr;
    QLabel* m_disp1 = nullptr;
    ShapeWidget* m_shape5 = nullptr;
    ShapeWidget* m_shape11 = nullptr;
    QTimer* m_timer1 = nullptr;
    QTimer* m_timer2 = nullptr;
    QComboBox* m_comportbox = nullptr;
    QComboBox* m_combo1 = nullptr;
    CommControl* mscPort = nullptr;
    std::unique_ptr<TransferProtocol> m_protocol;
    std::unique_ptr<TransferCarrier> m_carrier;
    SerialDeviceList m_serialDevices = presentSerialDevices;
    // The devices present when the port list was last looked up.
    QList<SerialDevice> m_presentDevices;
    // Why the last transfer failed, shown as the tool tip of the status caption.
    QString m_failureReason;

    QUndoStack* m_history = nullptr;
    // The selected block on the page shown, and the cell it was started on.
    std::optional<CellBlock> m_selection;
    ChartCell m_selectionStart{};
    SelectionFrame* m_selectionFrame = nullptr;
    QPointer<QMenu> m_chartMenu;
};
