#pragma once

#include "chart/PatternTable.h"

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
    NoReply,         // the controller never answered before the time-out
    TimeLimit,       // it answered, but the whole transfer did not end before the time-out
    PortNotOpened,   // the port could not be opened
    WriteFailed,     // a message did not go out
    PortLost,        // the line went away while the transfer ran
    Stopped,         // the program was ended while the transfer ran
};

// What the reason for a transfer cut off by its time limit names: the records
// the controller acknowledged and the limit itself.
struct TimeLimitFacts
{
    int recordsAcknowledged = 0;
    int limitMs = 0;
};

// Why a transfer failed, in the user's words: the first line of the window's
// status tool tip and the command-line writer's last line. `portName` is the
// port as the user chose it, `portReason` the port's own account of its last
// failure, `timeLimit` what a TimeLimit names.
QString transferFailureText(TransferCause cause, const QString& portName, const QString& portReason,
                            const TimeLimitFacts& timeLimit = {});

// What has to be done after a call of TransferProtocol. Carry the steps out
// in the order of the members. When the port cannot be opened or a write
// fails, skip the remaining steps and carry out what portNotOpened() or
// writeFailed() answers instead: nothing more may be sent and the time-out
// must not start.
struct TransferActions
{
    bool stopTimeout = false;                  // stop the time-out
    bool openPort = false;                     // open the port unless it is open
    QList<QByteArray> writes;                  // each one write of its own, in this order
    bool startTimeout = false;                 // start the time-out (it fires once)
    bool closePort = false;                    // close the port if it is open
    TransferEnd end = TransferEnd::None;       // how the running transfer ended with this call, if it did
    TransferCause cause = TransferCause::None; // why, when it failed

    friend bool operator==(const TransferActions&, const TransferActions&) = default;
};

// The exchange that writes a chart into the controller: erase, step count,
// then 400 records, each sent on the controller's letter and the lone CR after
// it. The class is fed, not run: ControllerTransfer hands it the start, every
// read of the port and the time-out, and carries out the TransferActions it
// answers with. It knows the chart, the step count and the controller's
// replies; what a transfer looks like to the user is its front end's business.
//
// The protocol state is deliberately not reset when a transfer starts: the
// controller's letters reset it, and a stray CR acts on what the previous
// transfer left behind (the stage and the record index).
class TransferProtocol
{
public:
    enum class Stage { Empty, Erase, Step, Write };

    struct State
    {
        Stage TransferStage = Stage::Empty; // the controller's last letter
        qint16 ReadsSinceReply = 0;         // reads that were no letter since the last letter
        QByteArray ReceivedText;            // what the last read took
        qint16 RecordIndex = 0;             // records sent since the controller's last "s"
    };

    static constexpr int RecordCount = 400;

    // Starts writing `chart` with `stepCount` into the controller. Does
    // nothing while a transfer runs. A chart the send rule refuses
    // (SendRule.h) ends the transfer at once as failed, before anything is
    // opened or sent.
    TransferActions start(const PatternTable& chart, qint16 stepCount);
    // What one read of the port took. Read one character per read: the
    // controller's letter and its CR must come in reads of their own.
    TransferActions received(QByteArrayView read);
    // The time-out: the controller never answered (NoReply), or answered but
    // too slowly for the whole transfer (TimeLimit).
    TransferActions timeout();
    // The port failed: it could not be opened for the transfer, a write did
    // not go out, or the line went away while the transfer ran. Each ends a
    // running transfer as failed for that cause; a second call for the same
    // failure changes nothing more.
    TransferActions portNotOpened();
    TransferActions writeFailed();
    TransferActions portLost();
    // The program ends while a transfer runs: the transfer ends as failed,
    // with the controller holding whatever records went before.
    TransferActions stop();

    // Whether a transfer runs: from a start that was not refused to its end.
    bool running() const { return m_running; }
    const State& state() const { return m_state; }
    // Records of this transfer the controller acknowledged with its "w" and
    // CR, after it acknowledged the step count: 0 to 400. What a controller
    // cut off in the middle holds.
    int recordsAcknowledged() const { return m_recordsAcknowledged; }

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
    // stops the time-out and closes the port.
    TransferActions interrupt(TransferCause cause);

    State m_state;
    bool m_running = false;
    // Whether the controller acknowledged the step count in this transfer,
    // with no erase after it: only then do 400 records make a whole chart.
    bool m_stepCountAcknowledged = false;
    // Whether the controller sent a letter in this transfer: a slow
    // controller is told apart from one that is not there.
    bool m_answered = false;
    int m_recordsAcknowledged = 0;
    // The messages of the chart being written, made at the start.
    QByteArray m_stepCountMessage;
    QList<QByteArray> m_records;
};
