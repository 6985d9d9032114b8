#include "Output.h"

#include <QJsonDocument>
#include <cerrno>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace {

// The first failure on each stream, as an errno value.
int outputError = 0;
int errorOutputError = 0;

void noteFailure(std::FILE* stream)
{
    int& error = stream == stderr ? errorOutputError : outputError;
    if (error == 0)
        error = errno != 0 ? errno : EIO;
}

// Redirected into a file, the stream is fully buffered: a full disk shows only
// when the buffer is handed over, so every write is flushed and checked.
void flushChecked(std::FILE* stream)
{
    errno = 0;
    if (std::fflush(stream) != 0 || std::ferror(stream))
        noteFailure(stream);
}

void printBytes(std::FILE* stream, const QByteArray& bytes)
{
    errno = 0;
    if (std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream) != std::size_t(bytes.size()))
        noteFailure(stream);
    flushChecked(stream);
}

} // namespace

void print(std::FILE* stream, const QString& text)
{
    printBytes(stream, text.toLocal8Bit());
}

void printLine(std::FILE* stream, const QString& line)
{
    print(stream, line + QLatin1Char('\n'));
}

bool standardErrorIsTerminal()
{
#ifdef Q_OS_WIN
    return _isatty(_fileno(stderr));
#else
    return ::isatty(STDERR_FILENO);
#endif
}

int terminalColumns()
{
#ifndef Q_OS_WIN
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
#endif
    return 80;
}

void printJson(const QJsonObject& document)
{
    printBytes(stdout, QJsonDocument(document).toJson(QJsonDocument::Compact) + '\n');
}

int checkedExitStatus(int status)
{
    flushChecked(stdout);
    if (outputError != 0)
        printLine(stderr,
                  QStringLiteral("trv5kb: 標準出力に書き込めません: %1").arg(qt_error_string(outputError)));
    flushChecked(stderr);
    if (outputError == 0 && errorOutputError == 0)
        return status;
    return status == 0 ? 1 : status;
}
