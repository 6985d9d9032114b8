#pragma once

#include "app/Form1.h"
#include "app/MessageBoxes.h"

#include <QList>
#include <QTemporaryDir>
#include <functional>
#include <memory>

class ClickLabel;
class ShapeWidget;

// Answers the window's message boxes in place of a user and keeps what was shown.
class ScriptedMessageBoxes : public MessageBoxes
{
public:
    QList<MessageRequest> shown;
    // Answers in order; when none is left, the box's default button (or OK).
    QList<QMessageBox::StandardButton> answers;

    QMessageBox::StandardButton show(QWidget* parent, const MessageRequest& request) override;
};

// A program folder of its own in a temporary directory, holding copies of the
// pictures the build generated, so a test may add or remove files beside them.
class ProgramFolder
{
public:
    // In a temporary directory of its own, or in the existing folder `at`.
    explicit ProgramFolder(const QString& at = {});
    QString path() const { return m_path; }
    QString filePath(const QString& name) const { return m_path + '/' + name; }

private:
    QTemporaryDir m_dir;
    QString m_path;
};

// A started window over a program folder of its own.
struct StartedForm
{
    ProgramFolder folder;
    ScriptedMessageBoxes boxes;
    std::unique_ptr<Form1> form;

    // `programFolder`: an existing folder to hold the pictures instead of a temporary one.
    explicit StartedForm(const QString& programFolder = {});
    // The window after start-up has run; fails the test when start-up failed.
    bool start();

    template <typename T> T* get(const QString& name) const { return form->findChild<T*>(name); }
    QLabel* cell(int index) const;
    ShapeWidget* shape(const QString& name) const;

    // What a user does: a left click on a named control, an item chosen from a combo box's list.
    void click(const QString& name) const;
    void clickCell(int index) const;
    void chooseItem(const QString& comboName, const QString& itemText) const;

    // The status lamp's colour (0xRRGGBB) and the status caption as shown.
    quint32 lamp() const;
    QString caption() const;
    // Puts the status display into a state a transfer would show.
    void showStatus(quint32 lamp, const QString& caption) const;
};

// Runs the event loop until `done` holds or the time is up; whether it holds.
// Unlike QTRY_VERIFY, which sleeps between rounds, it serves the serial line
// as fast as the program itself does.
bool waitFor(const std::function<bool()>& done, int timeoutMs);

// Whole files in and out of the test's folders.
QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);

// The picture holder of each element, by ordinal.
extern const char* const ElementHolders[16];

// The picture holder's image, for comparing what a control shows.
QImage holderImage(const Form1& form, const char* holder);
QImage shownImage(const QLabel* label);
