#include "Output.h"

#include "files/FileName.h"
#include "files/FileReason.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>
#include <cerrno>

#ifdef Q_OS_WIN
#include <io.h>
#include <qt_windows.h>
#else
#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
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
    const QString shown = shownFileName(text);
#ifdef Q_OS_WIN
    if (const HANDLE console = consoleOf(stream)) {
        flushChecked(stream);
        for (qsizetype done = 0; done < shown.size();) {
            DWORD written = 0;
            const DWORD size = DWORD(std::min<qsizetype>(shown.size() - done, 8192));
            if (!::WriteConsoleW(console, shown.utf16() + done, size, &written, nullptr) || written == 0) {
                errno = EIO;
                noteFailure(stream);
                return;
            }
            done += written;
        }
        return;
    }
    printBytes(stream, shown.toUtf8());
#else
    printBytes(stream, shown.toLocal8Bit());
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

TerminalSize terminalSize()
{
    TerminalSize size;
#ifdef Q_OS_WIN
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (const HANDLE console = consoleOf(stderr); console && ::GetConsoleScreenBufferInfo(console, &info)) {
        size.columns = info.srWindow.Right - info.srWindow.Left + 1;
        size.rows = info.srWindow.Bottom - info.srWindow.Top + 1;
    }
#else
    winsize window{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &window) == 0) {
        if (window.ws_col > 0)
            size.columns = window.ws_col;
        if (window.ws_row > 0)
            size.rows = window.ws_row;
    }
#endif
    return size;
}

namespace {

// The wide ranges of Unicode's East Asian Width that the programs' texts and names use.
bool isWide(char32_t c)
{
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
           (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

} // namespace

int columnsOf(const QString& text)
{
    int columns = 0;
    for (const char32_t c : text.toUcs4())
        columns += isWide(c) ? 2 : 1;
    return columns;
}

QString fittedToColumns(const QString& text, int columns)
{
    QString fitted;
    int taken = 0;
    for (const char32_t c : text.toUcs4()) {
        taken += isWide(c) ? 2 : 1;
        if (taken > columns)
            break;
        fitted += QString::fromUcs4(&c, 1);
    }
    return fitted;
}

#ifndef Q_OS_WIN
namespace {

// The handler only writes a byte into a pipe; the event loop reads it.
int resizePipe[2] = {-1, -1};

void noteResize(int)
{
    const int saved = errno;
    [[maybe_unused]] const ssize_t written = ::write(resizePipe[1], "r", 1);
    errno = saved;
}

} // namespace
#endif

TerminalResizes::TerminalResizes(std::function<void()> resized)
{
#ifndef Q_OS_WIN
    if (::pipe2(resizePipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(resizePipe[0], QSocketNotifier::Read);
    m_watch.reset(notifier);
    QObject::connect(notifier, &QSocketNotifier::activated, [resized = std::move(resized)] {
        char bytes[64];
        while (::read(resizePipe[0], bytes, sizeof bytes) > 0) {
        }
        resized();
    });
    struct sigaction action
    {
    };
    action.sa_handler = noteResize;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGWINCH, &action, nullptr);
#else
    Q_UNUSED(resized);
#endif
}

TerminalResizes::~TerminalResizes()
{
#ifndef Q_OS_WIN
    if (!m_watch)
        return;
    ::signal(SIGWINCH, SIG_DFL);
    m_watch.reset();
    ::close(resizePipe[0]);
    ::close(resizePipe[1]);
    resizePipe[0] = resizePipe[1] = -1;
#endif
}

namespace {

// Every text of a document as print() shows it: a file name's bytes that are no text as \xHH,
// so that the document stays UTF-8.
QJsonValue shown(const QJsonValue& value)
{
    if (value.isString())
        return shownFileName(value.toString());
    if (value.isArray()) {
        QJsonArray array;
        for (const QJsonValue item : value.toArray())
            array.append(shown(item));
        return array;
    }
    if (value.isObject()) {
        QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            it.value() = shown(it.value());
        return object;
    }
    return value;
}

} // namespace

void printJson(const QJsonObject& document)
{
    printBytes(stdout, QJsonDocument(shown(document).toObject()).toJson(QJsonDocument::Compact) + '\n');
}

int checkedExitStatus(int status)
{
    flushChecked(stdout);
    if (outputError != 0)
        printLine(stderr,
                  QStringLiteral("trv5kb: 標準出力に書き込めません: %1").arg(systemReasonText(outputError)));
    flushChecked(stderr);
    if (outputError == 0 && errorOutputError == 0)
        return status;
    return status == 0 ? 1 : status;
}
