// trv5kb-simulator: stands in for the light controller on a pseudo-terminal,
// so that the programmer can be tried and tested without the hardware.
//
// The first line on standard output is always "DEVICE=" followed by the path
// of the terminal to open (for example "DEVICE=/dev/pts/5"); a few lines of
// usage follow. Protocol violations go to standard error, one line each,
// starting with "violation: ". Exit status: 0 when every message followed
// the protocol and every chart was written, 1 otherwise, 2 for a bad command
// line or when no pseudo-terminal could be had.

#include "ControllerSession.h"
#include "files/PatternFile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <sys/ioctl.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif
#include <termios.h>
#include <unistd.h>

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// How long a paced line watches without sleeping before a byte falls due,
// and after it last received something.
constexpr auto SpinBeforeDue = 300us;
constexpr auto SpinAfterActivity = 5ms;

namespace {

enum ExitStatus { Clean = 0, Faulty = 1, BadStart = 2 };

struct Options
{
    QString output;
    bool once = false;
    bool joinedReplies = false;
    bool garbage = false;
    bool paced = false;
    bool trace = false;
    ControllerSession::Faults faults;
};

void say(std::FILE* stream, const QString& line)
{
    std::fprintf(stream, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stream);
}

volatile std::sig_atomic_t stopRequested = 0;
void requestStop(int)
{
    stopRequested = 1;
}

std::optional<int> recordCountOption(const QCommandLineParser& parser, const QString& name)
{
    if (!parser.isSet(name))
        return -1;
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    if (!ok || value < 0 || value > 399)
        return std::nullopt;
    return value;
}

std::optional<Options> parseOptions(const QCoreApplication& app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Answers the programmer on a pseudo-terminal as the light controller does, checks every "
        "message against the protocol and saves each chart it receives as a pattern file."));
    parser.addHelpOption();
    parser.addOptions({
        {{"o", "output"},
         "Where to write the chart of each whole transfer (default received.txt).",
         "file",
         "received.txt"},
        {"once", "Exit after one whole transfer."},
        {"silent-after", "Answer no record after the first <n> in a transfer (0 to 399).", "n"},
        {"hangup-after", "Close the line when record <n> arrives, after <n> answered (0 to 399).", "n"},
        {"joined-replies", "Send each letter and its CR in one write."},
        {"garbage", "Send a stray byte after every reply but the last of a transfer."},
        {"paced", "Take 1/5760 s for every byte received and sent, as a 57,600-baud line does."},
        {"trace", "Show every message received and every write on standard output."},
    });
    parser.process(app);

    Options options;
    options.output = parser.value("output");
    options.once = parser.isSet("once");
    options.joinedReplies = parser.isSet("joined-replies");
    options.garbage = parser.isSet("garbage");
    options.paced = parser.isSet("paced");
    options.trace = parser.isSet("trace");
    const std::optional<int> silentAfter = recordCountOption(parser, "silent-after");
    const std::optional<int> hangUpAfter = recordCountOption(parser, "hangup-after");
    if (!silentAfter || !hangUpAfter || !parser.positionalArguments().isEmpty()) {
        say(stderr, QStringLiteral("trv5kb-simulator: --silent-after and --hangup-after take a record count "
                                   "from 0 to 399, and no other arguments are taken; see --help"));
        return std::nullopt;
    }
    options.faults = {*silentAfter, *hangUpAfter};
    return options;
}

// The simulator keeps the slave side open itself: the programmer may then open
// and close it as often as it likes without the master seeing a hang-up, and
// the raw 57,600-baud settings stay in place between transfers.
struct Line
{
    int master = -1;
    int slave = -1;
    QString path;
};

// What is wrong with the line settings the programmer left on the terminal,
// measured against 57,600 baud, 1 stop bit and no flow control; empty when
// nothing is. A pseudo-terminal always keeps 8 data bits and no parity, so
// those two cannot be checked here.
QString lineSettingsFault(int slave)
{
    termios settings{};
    if (tcgetattr(slave, &settings) != 0)
        return QStringLiteral("the line settings cannot be read: %1")
            .arg(QString::fromLocal8Bit(std::strerror(errno)));
    QStringList faults;
    if (cfgetispeed(&settings) != B57600 || cfgetospeed(&settings) != B57600)
        faults += QStringLiteral("not 57,600 baud");
    if (settings.c_cflag & CSTOPB)
        faults += QStringLiteral("2 stop bits");
    if ((settings.c_cflag & CRTSCTS) || (settings.c_iflag & (IXON | IXOFF)))
        faults += QStringLiteral("flow control on");
    if (faults.isEmpty())
        return {};
    return QStringLiteral("line settings at the erase message: ") + faults.join(QStringLiteral(", "));
}

std::optional<Line> openLine()
{
    Line line;
    line.master = posix_openpt(O_RDWR | O_NOCTTY);
    if (line.master < 0 || grantpt(line.master) != 0 || unlockpt(line.master) != 0)
        return std::nullopt;
    const char* name = ptsname(line.master);
    if (!name)
        return std::nullopt;
    line.path = QString::fromLocal8Bit(name);
    line.slave = ::open(name, O_RDWR | O_NOCTTY);
    termios settings{};
    if (line.slave < 0 || tcgetattr(line.slave, &settings) != 0)
        return std::nullopt;
    // Raw, but at a speed and framing the controller does not use: a
    // programmer that leaves the line as it finds it is caught at its first
    // message.
    cfmakeraw(&settings);
    settings.c_cflag |= CSTOPB;
    cfsetispeed(&settings, B9600);
    cfsetospeed(&settings, B9600);
    if (tcsetattr(line.slave, TCSANOW, &settings) != 0)
        return std::nullopt;
    if (fcntl(line.master, F_SETFL, fcntl(line.master, F_GETFL) | O_NONBLOCK) != 0)
        return std::nullopt;
    return line;
}

class Simulator
{
public:
    Simulator(const Options& options, const Line& line)
        : m_options(options), m_line(line), m_session(options.faults),
          m_byteTime(options.paced ? std::chrono::nanoseconds(1'000'000'000 / 5760) : 0ns)
    {
    }

    int run();

private:
    struct Timed
    {
        Clock::time_point due;
        QByteArray bytes;
        int repliesWritten = 0; // received bytes: replies whole on the line when it was read
    };

    std::optional<Clock::time_point> nextDue() const;
    bool receive(Clock::time_point now);
    void handleDue(Clock::time_point now);
    void answer(char letter, bool lastOfTransfer, Clock::time_point ready);
    bool writeDue(Clock::time_point now);
    void save(const PatternFileContent& content);
    void waitUntilRead();

    const Options& m_options;
    Line m_line;
    ControllerSession m_session;
    const std::chrono::nanoseconds m_byteTime;

    // A byte counts as received, and a reply byte is handed over, only when
    // the line would have carried it; without --paced that is at once.
    std::deque<Timed> m_incoming;
    std::deque<Timed> m_outgoing;
    Clock::time_point m_receiveLineFree;
    Clock::time_point m_lastActivity;
    Clock::time_point m_sendLineFree;

    // Each message must wait for the reply to the one before it.
    int m_repliesQueued = 0;
    int m_repliesWritten = 0;

    int m_transfers = 0;
    int m_violations = 0;
    bool m_failedSave = false;
    bool m_hungUp = false;
    bool m_lineFull = false; // the programmer reads nothing; wait until the line takes more
    std::size_t m_garbageIndex = 0;
};

int Simulator::run()
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
        {
            const Clock::time_point at = Clock::now();
            if (at < m_lastActivity + SpinAfterActivity || (next && *next - SpinBeforeDue <= at))
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
        if (ready > 0 && (watch.revents & POLLOUT))
            m_lineFull = false;
        if (ready > 0 && (watch.revents & (POLLIN | POLLHUP | POLLERR))) {
            lineWorks = receive(Clock::now());
            m_lastActivity = Clock::now();
        }
    }
    return m_violations > 0 || m_failedSave || !lineWorks ? Faulty : Clean;
}

std::optional<Clock::time_point> Simulator::nextDue() const
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

bool Simulator::receive(Clock::time_point now)
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

void Simulator::handleDue(Clock::time_point now)
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

void Simulator::answer(char letter, bool lastOfTransfer, Clock::time_point ready)
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
        m_outgoing.push_back({m_sendLineFree, bytes});
    }
    ++m_repliesQueued;
}

bool Simulator::writeDue(Clock::time_point now)
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

void Simulator::save(const PatternFileContent& content)
{
    ++m_transfers;
    QSaveFile file(m_options.output);
    const QByteArray bytes = formatPatternFile(content.chart, content.stepCount);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        say(stderr, QStringLiteral("trv5kb-simulator: cannot write %1: %2")
                        .arg(m_options.output, file.errorString()));
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
void Simulator::waitUntilRead()
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

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("trv5kb-simulator"));
    const std::optional<Options> options = parseOptions(app);
    if (!options)
        return BadStart;

#ifdef __linux__
    // Wake at the due time of a byte, not up to 50 us later: the lateness
    // would add up over the 402 exchanges of a paced transfer.
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
#endif
    const std::optional<Line> line = openLine();
    if (!line) {
        say(stderr, QStringLiteral("trv5kb-simulator: no pseudo-terminal: %1")
                        .arg(QString::fromLocal8Bit(std::strerror(errno))));
        return BadStart;
    }

    say(stdout, QStringLiteral("DEVICE=") + line->path);
    say(stdout,
        QStringLiteral("The controller simulator answers on %1. To use it, put these lines into "
                       "Setting.ini beside the programmer:\n"
                       "    [Ports]\n"
                       "    COM3=%1\n"
                       "choose COM3 and press 書込. Each chart received goes to %2. Stop with Ctrl+C.")
            .arg(line->path, QFileInfo(options->output).absoluteFilePath()));

    Simulator simulator(*options, *line);
    return simulator.run();
}
