#include "app/TerminationSignals.h"

#include <QApplication>
#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// A signal handler may do next to nothing: it writes a byte into a pipe, and
// the event loop, watching the other end, does the closing.
int signalPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    // A full pipe already holds a request to close; nothing more is needed.
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

void closeWindowsOnTerminationSignals(std::function<void()> beforeClosing)
{
    if (signalPipe[0] >= 0 || ::pipe(signalPipe) != 0)
        return;
    for (int end : signalPipe) {
        ::fcntl(end, F_SETFD, FD_CLOEXEC);
        ::fcntl(end, F_SETFL, ::fcntl(end, F_GETFL) | O_NONBLOCK);
    }
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [beforeClosing = std::move(beforeClosing)] {
        char bytes[64];
        while (::read(signalPipe[0], bytes, sizeof bytes) > 0) {
        }
        if (beforeClosing)
            beforeClosing();
        QApplication::closeAllWindows();
    });

    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction previous = {};
        if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN)
            ::sigaction(signal, &action, nullptr);
    }
}

#else

void closeWindowsOnTerminationSignals(std::function<void()>) {}

#endif
