#pragma once

#include "transfer/ControllerTransfer.h"

#include <QString>
#include <QStringList>
#include <variant>

// What the command line of trv5kb asks for, or why it cannot be done.
struct Command
{
    enum class Kind { Help, Version, Ports, Check, Show, Write, Pdf };

    Kind kind = Kind::Help;
    QString file;
    int group = -1; // show: 0 to 7 for グループA to H, -1 for all
    QString port;   // write
    QString output; // pdf: the PDF file to write
    int timeoutMs = ControllerTransfer::TimeoutMs;
};

// A bad command line: one line that says what is wrong.
struct UsageError
{
    QString reason;
};

std::variant<Command, UsageError> parseCommandLine(const QStringList& arguments);

// The text of --help.
QString helpText();
