#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <cstdio>
#include <functional>
#include <memory>

// Text for the terminal, in the system's encoding (on Windows: a console's
// own wide characters, UTF-8 into a file or a pipe), passed on at once. A
// failed write is remembered for checkedExitStatus().
void print(std::FILE* stream, const QString& text);
// The same with a line end.
void printLine(std::FILE* stream, const QString& line);
// Whether standard error goes to a terminal, where a progress bar may be drawn.
bool standardErrorIsTerminal();

// The size of the terminal on standard error; 80 x 24 where it does not say.
struct TerminalSize
{
    int columns = 80;
    int rows = 24;
};
TerminalSize terminalSize();

// The columns `text` takes on a terminal: two for a wide (East Asian) character.
int columnsOf(const QString& text);
// `text` cut to at most `columns`, so that the terminal does not wrap it.
QString fittedToColumns(const QString& text, int columns);

// While it lives, `resized` is called from the event loop each time the
// terminal changes its size (SIGWINCH); nothing happens on Windows.
class TerminalResizes
{
public:
    explicit TerminalResizes(std::function<void()> resized);
    ~TerminalResizes();
    TerminalResizes(const TerminalResizes&) = delete;
    TerminalResizes& operator=(const TerminalResizes&) = delete;

private:
    std::unique_ptr<QObject> m_watch;
};

// A JSON document for scripts on standard output: one line in UTF-8 whatever
// the system's encoding, checked as print() checks.
void printJson(const QJsonObject& document);

// The exit status to end with: `status` when everything printed on standard
// output and standard error has arrived (checked once more with a last
// flush), otherwise a failure, 1 in place of success. A script must not take a
// cut or empty result, as on a full disk, for a whole one; so a lost standard
// output also gets one line on standard error, with the system's reason.
int checkedExitStatus(int status);
