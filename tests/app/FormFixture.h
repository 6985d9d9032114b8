#pragma once

#include "ChartText.h"
#include "FakeSerialLine.h"
#include "FileBytes.h"
#include "app/FileDialogs.h"
#include "app/Form1.h"
#include "app/MessageBoxes.h"
#include "model/ChartDocument.h"

#include <QList>
#include <QRect>
#include <QTemporaryDir>
#include <functional>
#include <memory>

class ChartGrid;
class ClickLabel;
class QComboBox;
class ShapeWidget;
struct StartedForm;

// Grid member `index` of the chart page the window shows, as the user sees it.
struct ShownCell
{
    const StartedForm* w;
    int index;
    // Where it lies in the window, in pixels.
    QRect geometry() const;
    // Its centre in the chart page's own coordinates, where the mouse goes.
    QPoint centre() const;
};

// Answers the window's message boxes in place of a user and keeps what was shown.
class ScriptedMessageBoxes : public MessageBoxes
{
public:
    QList<MessageRequest> shown;
    // Answers in order; when none is left, the box's default button (or OK).
    QList<QMessageBox::StandardButton> answers;

    QMessageBox::StandardButton show(QWidget* parent, const MessageRequest& request) override;
};

// Answers the window's file and print dialogs in place of a user and keeps what was asked.
class ScriptedFileDialogs : public FileDialogs
{
public:
    enum class Kind { Open, Save, Print };
    struct Asked
    {
        Kind kind;
        FileRequest request; // none for a print dialog
        int pages = 0;       // the pages a print dialog offers
    };
    QList<Asked> asked;
    // The files chosen, in order; when none is left, the dialog is cancelled.
    QStringList answers;
    // Where a print goes, as a PDF file; empty: the print dialog is cancelled.
    QString printInto;

    QString openFile(QWidget* parent, const FileRequest& request) override;
    QString saveFile(QWidget* parent, const FileRequest& request) override;
    bool choosePrinter(QWidget* parent, QPrinter& printer, int pages) override;
};

// A program folder of its own in a temporary directory, holding copies of the
// pictures the build generated, so a test may add or remove files beside them,
// and a configuration folder and a data folder of the user's, which do not
// exist until something is stored there.
class ProgramFolder
{
public:
    // In a temporary directory of its own, or in the existing folder `at`.
    explicit ProgramFolder(const QString& at = {});
    QString path() const { return m_path; }
    QString filePath(const QString& name) const { return m_path + '/' + name; }
    QString configFolder() const { return m_configHome.filePath(QStringLiteral("trv5kb-programmer")); }
    QString dataFolder() const { return m_dataHome.filePath(QStringLiteral("trv5kb-programmer")); }

private:
    QTemporaryDir m_dir;
    QString m_path;
    QTemporaryDir m_configHome;
    QTemporaryDir m_dataHome;
};

// A started window over a program folder of its own.
struct StartedForm
{
    ProgramFolder folder;
    ScriptedMessageBoxes boxes;
    ScriptedFileDialogs dialogs;
    std::unique_ptr<Form1> form;

    // `programFolder`: an existing folder to hold the pictures instead of a temporary one.
    explicit StartedForm(const QString& programFolder = {});
    // The window after start-up has run; fails the test when start-up failed.
    bool start();
    // The window closed and the program started again over the same folders, as the user's next run.
    bool restart();

    template <typename T> T* get(const QString& name) const { return form->findChild<T*>(name); }
    ShownCell cell(int index) const;
    ChartGrid* chart() const;
    ShapeWidget* shape(const QString& name) const;

    // What a user does: a left click on a named control, an item chosen from a combo box's list.
    void click(const QString& name) const;
    void clickCell(int index, Qt::KeyboardModifiers keys = {}) const;
    // The mouse pointer over grid member `index`.
    void pointAt(int index) const;
    void chooseItem(const QString& comboName, const QString& itemText) const;

    // Takes the transfer timers off the clock: the time-out and the blink both
    // wait a day, so a transfer times out and its lamp blinks only when the
    // test calls tick(). Call it before the transfer starts: the window starts
    // its timers with the intervals they have then.
    void holdTimers() const;
    // One tick of the window's timer `name` ("Timer1", "Timer2"), handled at
    // once, as if the timer had fired.
    void tick(const QString& name) const;

    // The status lamp's colour (0xRRGGBB) and the status caption as shown.
    quint32 lamp() const;
    QString caption() const;

    // Loads `patternFile` as pattern 1, as a user does: the file in the
    // working folder, 呼出 and Yes. The boxes it shows are not kept.
    void load(const QByteArray& patternFile);
    // A transfer that fails at once because no port can be opened (a window
    // started without a usable port): the status shows "失敗" in red.
    void failTransfer() const;

private:
    QTemporaryDir m_workFolder;
};

// A window whose transfers go over a line inside the test program, on which
// the test plays the controller (FakeSerialLine): COM3 is FakeDevice there.
struct FakeLineForm : StartedForm
{
    static inline const QString FakeDevice = QStringLiteral("/dev/ttyFAKE0");
    FakeSerialLine& line;

    FakeLineForm();
};

// A window whose controller never answers: a transfer started there stays
// pending (busy) for as long as a test runs, however slowly it runs, with the
// lamp holding its first colour until a tick.
struct BusyForm : FakeLineForm
{
    // Starts the pending transfer; false when the window did not become busy
    // or the erase message did not reach the line.
    bool startTransfer();
};

// The group and page the window shows, as the user sees them: the group's tab
// highlighted, the page's caption and step-number strip.
void verifyView(const StartedForm& w, int group, int page);

// What a user does to choose an item from a combo box's list: opens it and clicks the item.
void chooseComboItem(QComboBox* combo, const QString& itemText);

// The time limit of a wait for something that must come: it only bounds a
// hang, so no load on a machine reaches it, yet it ends a hanging test well
// before ctest would kill the whole program.
constexpr int HangLimitMs = 60000;

// Runs the event loop until `done` holds or the time is up; whether it holds.
// Unlike QTRY_VERIFY, which sleeps between rounds, it serves the serial line
// as fast as the program itself does.
bool waitFor(const std::function<bool()>& done, int timeoutMs);

// The picture holder of each element, by ordinal.
extern const char* const ElementHolders[16];

// The picture holder's image, for comparing what a control shows.
QImage holderImage(const Form1& form, const char* holder);
QImage shownImage(const QLabel* label);
// The picture a chart cell shows, as the window paints it.
QImage shownImage(const ShownCell& cell);
