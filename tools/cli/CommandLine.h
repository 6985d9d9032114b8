#pragma once

#include "EditCommand.h"
#include "result/Result.h"
#include "transfer/ControllerTransfer.h"

#include <QString>
#include <QStringList>

// What the command line of trv5kb asks for.
struct Command
{
    enum class Kind { Help, Version, Ports, Check, Show, Write, Diff, Pdf, Edit };

    Kind kind = Kind::Help;
    QString file;
    QString otherFile;  // diff: the file `file` is compared with
    int group = -1;     // show: 0 to 7 for グループA to H, -1 for all
    QStringList ports;  // write: one or more, in the order given
    QString output;     // pdf: the PDF file to write; edit: the file to write, `file` without -o
    bool force = false; // pdf: replace a file that is no PDF; edit: lose cells, replace a file that is none
    EditRequest edit;   // edit: the operation
    int timeoutMs = ControllerTransfer::TimeoutMs;
    bool json = false; // ports, check, diff, write, edit: one JSON document on standard output
};

// The command, or for a bad command line a failure with one line that says
// what is wrong.
Result<Command> parseCommandLine(const QStringList& arguments);

// The text of --help.
QString helpText();
