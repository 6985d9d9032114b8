#pragma once

#include <QString>
#include <QStringList>

// What the window's command line asks for: `trv5kb-programmer [FILE]`, with
// --help and --version, read with QCommandLineParser. Qt's own options
// (-platform and the like) are the application's and are gone from the
// arguments by the time the window's are read.
struct ProgramArguments
{
    enum class Kind { Window, Help, Version, BadUsage };

    Kind kind = Kind::Window;
    // Window: the pattern file to open, as the system names it (see
    // files/FileName.h); empty for none. Files after it are not opened.
    QString file;
    QStringList ignored;
    // BadUsage: what is wrong, in one line.
    QString reason;
};

// `arguments` as systemArguments() (files/FileName.h) gives them, so that a
// name in bytes that are no text opens the file it names.
ProgramArguments parseProgramArguments(const QStringList& arguments);

// The text of --help, and of --version.
QString programHelpText();
QString programVersionText();
