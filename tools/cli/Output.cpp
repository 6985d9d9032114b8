#include "Output.h"

#include <QJsonDocument>
#include <algorithm>
#include <cerrno>

#ifdef Q_OS_WIN
#include <io.h>
#include <qt_windows.h>
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

#ifdef Q_OS_WIN
// The console a stream shows on, or none when it goes into a file or a pipe.
HANDLE consoleOf(std::FILE* stream)
{
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode) ? handle : nullptr;
}
#endif

} // namespace

// A console shows every character through its own wide-character call, whatever its code
// page; a file or a pipe gets UTF-8, which a script reads the same on every system. Outside
// Windows the terminal's encoding is the locale's.
void print(std::FILE* stream, const QString& text)
{
#ifdef Q_OS_WIN
    if (const HANDLE console = consoleOf(stream)) {
        flushChecked(stream);
        for (qsizetype done = 0; done < text.size();) {
            DWORD written = 0;
            const DWORD size = DWORD(std::min<qsizetype>(text.size() - done, 8192));
            if (!::WriteConsoleW(console, text.utf16() + done, size, &written, nullptr) || written == 0) {
                errno = EIO;
                noteFailure(stream);
                return;
            }
            done += written;
        }
        return;
    }
    printBytes(stream, text.toUtf8());
#else
    printBytes(stream, text.toLocal8Bit());
#endif
}

void printLine(std::FILE* stream, const QString& line)
{
    print(stream, line + QLatin1Char('\n'));
}

bool standardErrorIsTerminal()
{
#ifdef Q_OS_WIN
    // _isatty() holds for the NUL device too.
    return consoleOf(stderr) != nullptr;
#else
    return ::isatty(STDERR_FILENO);
#endif
}

int terminalColumns()
{
#ifdef Q_OS_WIN
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (const HANDLE console = consoleOf(stderr); console && ::GetConsoleScreenBufferInfo(console, &info))
        return info.srWindow.Right - info.srWindow.Left + 1;
#else
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
