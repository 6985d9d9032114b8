#pragma once

#include "chart/PatternTable.h"
#include "state/WindowState.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <optional>

enum class TransferEnd { None, Success, Failure };

// Why a transfer failed.
enum class TransferCause {
    None,            // it did not fail, or nothing ended
    UnsendableChart, // the step count or a cell cannot be put on the wire
    NoReply,         // the controller did not answer in time
    PortNotOpened,   // the port could not be opened
    WriteFailed,     // a message did not go out
    PortLost,        // the line went away while the transfer ran
};

// Why a transfer failed, in the user's words: the window's status tool tip
// and the command-line writer's last line. `portName` is the port as the
// user chose it, `portReason` the port's own account of its last failure.
QString transferFailureText(TransferCause cause, const QString& portName, const QString& portReason);

// What the window has to do after a call of TransferProtocol. Carry the steps
// out in the order of the members; after all of them show the window's
// `Status` again (every call may have changed it). When the port cannot be
// opened or a write fails, skip the remaining steps and carry out what
// portNotOpened() or writeFailed() answers instead: nothing more may be sent
// and the time-out must not start.
struct TransferActions
{
    bool stopTimers = false;                   // disable Timer1 and Timer2
    bool startBlinkTimer = false;              // enable Timer2 (BlinkIntervalMs, repeating)
    bool openPort = false;                     // open mscPort unless it is open
    QList<QByteArray> writes;                  // each one write of its own, in this order
    bool startTimeoutTimer = false;            // enable Timer1 (TimeoutMs, once)
    bool closePort = false;                    // close mscPort if it is open
    TransferEnd end = TransferEnd::None;       // how the running transfer ended with this call, if it did
    TransferCause cause = TransferCause::None; // why, when it failed

    friend bool operator==(const TransferActions&, const TransferActions&) = default;
};

// The exchange that writes the chart into the controller: erase, step count,
// then 400 records, each sent on the controller's letter and the lone CR after
// it. The class is fed, not run: the window hands it the click of `Command1`,
// every read of `mscPort` and the ticks of `Timer1` and `Timer2`, and carries
// out the TransferActions it answers with. It works on the window's own
// BusyFlag, RecordIndex, StepCount, PatternData and Status.
//
// The protocol state is deliberately not reset when a transfer starts: the
// controller's letters reset it, and a stray CR acts on what the previous
// transfer left behind.
class TransferProtocol
{
public:
    enum class Stage { Empty, Erase, Step, Write };

    struct State
    {
        Stage TransferStage = Stage::Empty; // the controller's last letter
        qint16 ReadsSinceReply = 0;         // reads that were no letter since the last letter
        QByteArray ReceivedText;            // what the last read took
    };

    static constexpr int TimeoutMs = 15000;
    static constexpr int BlinkIntervalMs = 250;
    static constexpr int RecordCount = 400;

    explicit TransferProtocol(WindowState& window);

    // The click of `Command1`. Does nothing while a transfer runs. A chart
    // the send rule refuses (SendRule.h) ends the transfer at once as failed,
    // before anything is opened or sent.
    TransferActions start();
    // What one read of the port took. Read one character per read: the
    // controller's letter and its CR must come in reads of their own.
    TransferActions received(QByteArrayView read);
    // `Timer1`: the time-out.
    TransferActions timeout();
    // `Timer2`: toggles between the two running colours, leaves any other alone.
    TransferActions blink();
    // The port failed: it could not be opened for the transfer, a write did
    // not go out, or the line went away while the transfer ran
    // (QSerialPort::errorOccurred). Each ends a running transfer as failed
    // for that cause; a second call for the same failure changes nothing more.
    TransferActions portNotOpened();
    TransferActions writeFailed();
    TransferActions portLost();

    const State& state() const { return m_state; }

    // "S", two digits, CR; none for a count outside 1 to 80.
    static std::optional<QByteArray> stepCountMessage(qint16 stepCount);
    // Record number as three digits, the 8 element characters of step
    // record / 5 at channels 8 * (record % 5) onwards, CR; none when a cell
    // holds no element or the record is outside 0 to 399.
    static std::optional<QByteArray> recordLine(const PatternTable& chart, int record);

private:
    TransferActions sendRecord(int record);
    TransferActions finish(TransferEnd end, TransferCause cause = TransferCause::None);
    // Ends a running transfer as failed for `cause`; when none runs, only
    // stops the timers and closes the port.
    TransferActions interrupt(TransferCause cause);

    WindowState& m_window;
    State m_state;
    // Whether the controller acknowledged the step count in this transfer,
    // with no erase after it: only then do 400 records make a whole chart.
    bool m_stepCountAcknowledged = false;
};
