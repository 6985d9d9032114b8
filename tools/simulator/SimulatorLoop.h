#pragma once

#include "ControllerSession.h"
#include "PseudoTerminalLine.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <cstdio>
#include <deque>
#include <optional>

enum ExitStatus { Clean = 0, Faulty = 1, BadStart = 2 };

// What the command line asks of the simulator.
struct SimulatorOptions
{
    QString output;
    bool once = false;
    bool joinedReplies = false;
    bool garbage = false;
    bool paced = false;
    bool trace = false;
    ControllerSession::Faults faults;
};

// One line on standard output or standard error, passed on at once.
void say(std::FILE* stream, const QString& line);

// The controller at the master side of the line: reads what the programmer
// sends, feeds it to a ControllerSession byte by byte, and writes the replies,
// each when a real line would have carried it. Runs until SIGINT or SIGTERM,
// until the line fails or hangs up, or with --once after the first whole
// transfer; the result is the exit status.
class SimulatorLoop
{
public:
    SimulatorLoop(const SimulatorOptions& options, const PseudoTerminalLine& line);

    int run();

private:
    using Clock = std::chrono::steady_clock;

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

    const SimulatorOptions& m_options;
    PseudoTerminalLine m_line;
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
