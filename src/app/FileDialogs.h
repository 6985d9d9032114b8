#pragma once

#include <QString>
#include <QStringList>

class QPrinter;
class QWidget;

// What the window asks of a file dialog.
struct FileRequest
{
    QString title;
    // Where the dialog starts.
    QString folder;
    // The name offered (saving only).
    QString name;
    // The first is chosen at the start.
    QStringList filters;
    // Saving: added to a name typed without one.
    QString suffix;
};

// Every file and print dialog of the window goes through here, so that tests
// can answer them instead of a user, as MessageBoxes does for message boxes.
class FileDialogs
{
public:
    virtual ~FileDialogs() = default;
    // The file chosen, or empty when the user cancelled.
    virtual QString openFile(QWidget* parent, const FileRequest& request) = 0;
    // The file to write, or empty when the user cancelled. The dialog asks before a file is replaced.
    virtual QString saveFile(QWidget* parent, const FileRequest& request) = 0;
    // Lets the user choose the printer and its settings for a document of
    // `pages` pages; true when the user chose to print.
    virtual bool choosePrinter(QWidget* parent, QPrinter& printer, int pages) = 0;
};

// Qt's file dialog and print dialog, shown to the user.
class ModalFileDialogs : public FileDialogs
{
public:
    QString openFile(QWidget* parent, const FileRequest& request) override;
    QString saveFile(QWidget* parent, const FileRequest& request) override;
    bool choosePrinter(QWidget* parent, QPrinter& printer, int pages) override;
};
