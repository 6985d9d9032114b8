#include "SimulatorLoop.h"

#include "files/FilePlace.h"
#include "files/FileReplace.h"
#include "files/PatternFile.h"

#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <poll.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// How long a paced line watches without sleeping before a byte falls due,
// and after it last received something.
constexpr auto SpinBeforeDue = 300us;
constexpr auto SpinAfterActivity = 5ms;

volatile std::sig_atomic_t stopRequested = 0;
void requestStop(int)
{
    stopRequested = 1;
}

} // namespace

void say(std::FILE* stream, const QString& line)
{
    std::fprintf(stream, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stream);
}

SimulatorLoop::SimulatorLoop(const SimulatorOptions& options, const PseudoTerminalLine& line)
    : m_options(options), m_line(line), m_session(options.faults),
      m_byteTime(options.paced ? std::chrono::nanoseconds(1'000'000'000 / 5760) : 0ns),
      m_latencyOrigin(Clock::now())
{
}

int SimulatorLoop::run()
{
    sigset_t stopSignals;
    sigset_t previous;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigprocmask(SIG_BLOCK, &stopSignals, &previous);
    struct sigaction action = {};
    action.sa_handler = requestStop;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    bool lineWorks = true;
    while (!stopRequested && lineWorks) {
        Clock::time_point now = Clock::now();
        handleDue(now);
        lineWorks = writeDue(now);
        if (m_hungUp)
            break;
        if (m_options.once && m_transfers > 0 && m_outgoing.empty()) {
            waitUntilRead();
            break;
        }

        pollfd watch{m_line.master, short(POLLIN | (m_lineFull ? POLLOUT : 0)), 0};
        std::optional<Clock::time_point> next = nextDue();
        // A controller reacts at once. Waking a sleeping process takes tens of
        // microseconds, which would add up over 402 exchanges; so the line is
        // watched without sleeping while a byte is about to be due or, for a
        // few milliseconds after the last byte, more is expected.
        bool spinning = false;
        {
            const Clock::time_point at = Clock::now();
            spinning = at < m_lastActivity + SpinAfterActivity || (next && *next - SpinBeforeDue <= at);
            if (spinning)
                next = at;
            else if (next)
                next = *next - SpinBeforeDue;
        }
        timespec wait{};
        if (next) {
            const auto left = std::max(std::chrono::nanoseconds(0), *next - Clock::now());
            wait.tv_sec = std::chrono::duration_cast<std::chrono::seconds>(left).count();
            wait.tv_nsec = (left % 1s).count();
        }
        const int ready = ppoll(&watch, 1, next ? &wait : nullptr, &previous);
        if (ready < 0 && errno != EINTR) {
            say(stderr, QStringLiteral("trv5kb-simulator: waiting on the line failed: %1")
                            .arg(QString::fromLocal8Bit(std::strerror(errno))));
            return Faulty;
        }
        // Watching without sleeping takes a core; on a machine that has fewer free cores than
        // there are simulators watching, the others (and the programmer) get their turn here.
        if (ready == 0 && spinning)
            sched_yield();
        if (ready > 0 && (watch.revents & POLLOUT))
            m_lineFull = false;
        if (ready > 0 && (watch.revents & (POLLIN | POLLHUP | POLLERR))) {
            lineWorks = receive(Clock::now());
            m_lastActivity = Clock::now();
        }
    }
    return m_violations > 0 || m_failedSave || !lineWorks ? Faulty : Clean;
}

auto SimulatorLoop::nextDue() const -> std::optional<Clock::time_point>
{
    std::optional<Clock::time_point> next;
    // Nothing answers before the last byte received so far is due, so wake
    // once for a whole message rather than once a byte.
    if (!m_incoming.empty())
        next = m_incoming.back().due;
    if (!m_outgoing.empty() && !m_lineFull)
        next = next ? std::min(*next, m_outgoing.front().due) : m_outgoing.front().due;
    return next;
}

bool SimulatorLoop::receive(Clock::time_point now)
{
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(m_line.master, buffer, sizeof buffer);
        if (got < 0 && (errno == EAGAIN || errno == EINTR))
            return true;
        if (got <= 0) {
            say(stderr, QStringLiteral("trv5kb-simulator: reading the line failed: %1")
                            .arg(QString::fromLocal8Bit(std::strerror(errno))));
            return false;
        }
        for (ssize_t i = 0; i < got; ++i) {
            m_receiveLineFree = std::max(m_receiveLineFree, now) + m_byteTime;
            m_incoming.push_back({m_receiveLineFree, QByteArray(1, buffer[i]), m_repliesWritten});
        }
    }
}

void SimulatorLoop::handleDue(Clock::time_point now)
{
    while (!m_incoming.empty() && m_incoming.front().due <= now && !m_hungUp) {
        const Timed byte = m_incoming.front();
        m_incoming.pop_front();
        ControllerSession::Step step = m_session.feed(byte.bytes[0]);
        if (ControllerSession::isCommand(byte.bytes[0]) && byte.repliesWritten < m_repliesQueued)
            step.violations += ControllerSession::printable(byte.bytes) +
                               QStringLiteral(" sent before the reply to the previous message");
        if (step.message.startsWith('E'))
            if (const QString fault = lineSettingsFault(m_line.slave); !fault.isEmpty())
                step.violations += fault;

        if (m_options.trace && !step.message.isEmpty())
            say(stdout, QStringLiteral("recv ") + ControllerSession::printable(step.message));
        for (const QString& violation : step.violations)
            say(stderr, QStringLiteral("violation: ") + violation);
        m_violations += int(step.violations.size());
        for (const QString& note : step.notes)
            say(stdout, note);
        if (step.result)
            save(*step.result);
        if (step.reply)
            answer(*step.reply, step.result.has_value(), byte.due);
        if (step.hangUp) {
            ::close(m_line.slave);
            ::close(m_line.master);
            m_incoming.clear();
            m_outgoing.clear();
            m_hungUp = true;
        }
    }
}

void SimulatorLoop::answer(char letter, bool lastOfTransfer, Clock::time_point ready)
{
    // Not one of e, s, w or CR, so the programmer must let each of them pass.
    static const char garbage[] = {'#', '\n', '\0', '\xff', 'E', ' '};

    QList<QByteArray> writes;
    if (m_options.joinedReplies)
        writes = {QByteArray(1, letter) + '\r'};
    else
        writes = {QByteArray(1, letter), QByteArray("\r")};
    // Stray bytes after the last reply would wait unread in the closed port.
    if (m_options.garbage && !lastOfTransfer)
        writes += QByteArray(1, garbage[m_garbageIndex++ % sizeof garbage]);

    for (const QByteArray& bytes : writes) {
        m_sendLineFree = std::max(m_sendLineFree, ready) + m_byteTime * bytes.size();
        m_outgoing.push_back({releasedAt(m_sendLineFree), bytes});
    }
    ++m_repliesQueued;
}

// An adapter passes what the controller sent on to the computer only when its
// latency timer ticks: the bytes wait for the first tick at or after the
// moment they have crossed the wire.
auto SimulatorLoop::releasedAt(Clock::time_point onLine) const -> Clock::time_point
{
    if (m_options.latency <= 0ms || onLine <= m_latencyOrigin)
        return onLine;
    const auto period = std::chrono::duration_cast<Clock::duration>(m_options.latency);
    const auto ticks = (onLine - m_latencyOrigin + period - Clock::duration(1)) / period;
    return m_latencyOrigin + ticks * period;
}

bool SimulatorLoop::writeDue(Clock::time_point now)
{
    while (!m_outgoing.empty() && m_outgoing.front().due <= now) {
        QByteArray& bytes = m_outgoing.front().bytes;
        const ssize_t put = ::write(m_line.master, bytes.constData(), std::size_t(bytes.size()));
        if (put < 0 && (errno == EAGAIN || errno == EINTR)) {
            m_lineFull = errno == EAGAIN;
            return true;
        }
        if (put < 0) {
            say(stderr, QStringLiteral("trv5kb-simulator: writing to the line failed: %1")
                            .arg(QString::fromLocal8Bit(std::strerror(errno))));
            return false;
        }
        m_lastActivity = now;
        if (m_options.trace)
            say(stdout, QStringLiteral("sent ") + ControllerSession::printable(bytes.left(put)));
        // Only a reply ends with CR; a stray byte never is one.
        const bool replyWhole = put == bytes.size() && bytes.endsWith('\r');
        bytes.remove(0, put);
        if (bytes.isEmpty()) {
            m_repliesWritten += replyWhole ? 1 : 0;
            m_outgoing.pop_front();
        }
    }
    return true;
}

void SimulatorLoop::save(const PatternFileContent& content)
{
    ++m_transfers;
    // The program's own checked replacement: a failed write keeps the chart
    // of the transfer before, rather than leaving an empty or cut file.
    if (const Result<> written =
            replaceFile(m_options.output, formatPatternFile(content.chart, content.stepCount));
        !written) {
        say(stderr,
            QStringLiteral("trv5kb-simulator: transfer %1 complete, but the chart could not be written "
                           "to %2 (the file is left as it was): %3")
                .arg(m_transfers)
                .arg(absoluteFilePath(m_options.output), written.reason()));
        m_failedSave = true;
        return;
    }
    say(stdout, QStringLiteral("transfer %1 complete: %2 steps in use, chart written to %3")
                    .arg(m_transfers)
                    .arg(content.stepCount)
                    .arg(QFileInfo(m_options.output).absoluteFilePath()));
}

// Closing the line throws away what the programmer has not read yet, so give
// it a moment to take the last reply. The written bytes reach the terminal's
// queue a little after the write, hence the wait for a quiet spell.
void SimulatorLoop::waitUntilRead()
{
    const Clock::time_point giveUp = Clock::now() + 2s;
    Clock::time_point emptySince = Clock::now();
    while (Clock::now() < giveUp && Clock::now() - emptySince < 50ms) {
        int waiting = 0;
        if (::ioctl(m_line.slave, FIONREAD, &waiting) != 0)
            return;
        if (waiting > 0)
            emptySince = Clock::now();
        ::usleep(1000);
    }
}
