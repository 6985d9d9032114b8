#include "FuzzCheck.h"
#include "transfer/TransferProtocol.h"

#include <QByteArray>
#include <QByteArrayView>
#include <array>
#include <cstdint>

// Drives the transfer protocol the way ControllerTransfer does: a port that
// opens, writes and closes, the time-out, and the chart with its step count.
// Each input byte is one event:
//
//   C            start of a transfer (the window's write button)
//   T            the time-out (only while it runs; it fires once)
//   O            the next opening of the port fails
//   F            the next write fails
//   G            the line is lost during the next write: the port closes and
//                reports the loss before the write returns false
//   L            the line is lost (only while the port is open)
//   K b1 b2      step count: two digits, or the two bytes as a 16-bit number
//   P b1 b2 b3   cell (b1 mod 81, b2 mod 41) takes the value named by b3:
//                "0" to "?" that element; "e" empty, "h" the number 3.5, "n"
//                the number 10, "t" the text "3", "@" the text "@" (none can
//                be sent); any other byte the element b3 mod 16
//   A            every used cell takes a different element, all sixteen used
//   X b          a read of the byte b
//   J b1 b2      a read of the two bytes b1 b2
//   other        a read of that byte (so "Ce\rs\r" starts a transfer and
//                answers the erase and the step count)
//
// Reads come only while the port is open, and chart edits only while no
// transfer runs, as in the window.
//
// The promises, checked after every event: nothing is written while the port
// is closed; each transfer sends the erase first; only the erase, the step
// count of the chart and records go out; records are numbered on from the
// controller's last "s" (the count carries over from a transfer that ended
// early, as designed), each carries its cells and goes out only after the
// one before it was acknowledged, and the record index the protocol keeps is
// the count of records sent since that "s"; success comes only with the CR of
// a "w", after the step count was acknowledged in this transfer and all 400
// records since; every ending stops the time-out and closes the port; a
// failure names the cause of the event that ended it (the time-out is "no
// reply" only when no letter came in the transfer, and otherwise counts the
// records acknowledged in it); while a transfer runs the port is open and the
// time-out runs, and otherwise neither.

namespace {

class Harness
{
public:
    Harness()
    {
        chart.fillUsed(ElementCode::number(3));
        cells.fill('3');
    }

    void run(QByteArrayView input);

private:
    enum class Call { Click, Read, Timeout, PortNotOpened, WriteFailed, PortLost };
    TransferCause expectedCause(Call call) const;

    void click();
    void read(QByteArrayView bytes);
    void edit(QByteArrayView operands, char kind);
    void observe(Call call, const TransferActions& actions, bool wasBusy);
    void apply(const TransferActions& actions);
    void portFailure(Call call);
    bool write();
    void checkMessages(const QList<QByteArray>& writes);
    void checkRecord(const QByteArray& line);
    void checkState() const;
    bool chartSendable() const;
    char cell(int step, int channel) const { return cells[step * 40 + channel]; }

    TransferProtocol protocol;

    // The port and the time-out as ControllerTransfer keeps them.
    bool portOpen = false;
    bool failNextOpen = false;
    bool failNextWrite = false;
    bool loseLineOnNextWrite = false;
    bool timeoutRunning = false;

    // The chart the next start hands over, and what each used cell goes out
    // as, 0 where it holds no element.
    PatternTable chart;
    std::array<char, 80 * 40> cells{};
    qint16 stepCount = 80;

    // What the protocol has asked to send. The record counter carries over
    // from one transfer to the next, as the protocol's does; only the
    // controller's "s" starts it again from 0.
    int messagesInTransfer = 0;
    int nextRecord = 0;        // the number the next record must have
    int lastAcknowledged = -1; // the last record a "w" came after
    bool stepCountAcknowledged = false;
    // Whether the controller sent a letter since the transfer started, and the records of this
    // transfer it acknowledged since its "s": what the time-out's failure tells.
    bool answered = false;
    int acknowledgedInTransfer = 0;
    QByteArray lastRead;
};

void Harness::run(QByteArrayView input)
{
    qsizetype i = 0;
    auto operands = [&](qsizetype count) {
        const QByteArrayView taken = input.sliced(i, qMin(count, input.size() - i));
        i += taken.size();
        return taken;
    };
    while (i < input.size()) {
        const char event = input[i++];
        switch (event) {
        case 'C':
            click();
            break;
        case 'T':
            if (timeoutRunning) {
                timeoutRunning = false;
                const bool wasBusy = protocol.running();
                observe(Call::Timeout, protocol.timeout(), wasBusy);
            }
            break;
        case 'O':
            failNextOpen = true;
            break;
        case 'F':
            failNextWrite = true;
            break;
        case 'G':
            loseLineOnNextWrite = true;
            break;
        case 'L':
            if (portOpen) {
                portOpen = false;
                portFailure(Call::PortLost);
            }
            break;
        case 'K':
        case 'P':
            edit(operands(event == 'K' ? 2 : 3), event);
            break;
        case 'A':
            edit({}, event);
            break;
        case 'X':
            read(operands(1));
            break;
        case 'J':
            read(operands(2));
            break;
        default:
            read(input.sliced(i - 1, 1));
            break;
        }
        checkState();
    }
}

void Harness::click()
{
    const bool wasBusy = protocol.running();
    const TransferProtocol::State before = protocol.state();
    const TransferActions actions = protocol.start(chart, stepCount);
    if (wasBusy) {
        require(actions == TransferActions{} && protocol.running() &&
                    protocol.state().RecordIndex == before.RecordIndex,
                "a click during a transfer does nothing");
        return;
    }
    if (!chartSendable()) {
        require(actions.end == TransferEnd::Failure && !protocol.running(),
                "a chart that cannot be sent fails at once");
        require(!actions.openPort && actions.writes.isEmpty() && !actions.startTimeout,
                "a chart that cannot be sent opens and sends nothing");
    } else {
        require(actions.end == TransferEnd::None && protocol.running() && actions.openPort,
                "a click when idle starts a transfer");
        messagesInTransfer = 0;
        stepCountAcknowledged = false;
        answered = false;
        acknowledgedInTransfer = 0;
    }
    observe(Call::Click, actions, wasBusy);
}

void Harness::read(QByteArrayView bytes)
{
    if (!portOpen || bytes.isEmpty())
        return;
    const bool wasBusy = protocol.running();
    const TransferActions actions = protocol.received(bytes);
    // The letters as the controller means them, to judge what the protocol did.
    if (wasBusy && (bytes == "e" || bytes == "s" || bytes == "w"))
        answered = true;
    if (bytes == "\r" && lastRead == "w" && wasBusy && stepCountAcknowledged)
        acknowledgedInTransfer = nextRecord;
    if (bytes == "e") {
        stepCountAcknowledged = false;
        acknowledgedInTransfer = 0;
    } else if (bytes == "s") {
        stepCountAcknowledged = true;
        nextRecord = 0;
        lastAcknowledged = -1;
    } else if (bytes == "w") {
        if (nextRecord > 0)
            lastAcknowledged = nextRecord - 1;
    }
    if (actions.end == TransferEnd::Success) {
        require(bytes == "\r" && lastRead == "w", "success comes with the CR of a \"w\"");
        require(stepCountAcknowledged, "success needs the step count acknowledged in this transfer");
        require(nextRecord == 400 && lastAcknowledged == 399,
                "success only after all 400 records of this transfer were acknowledged");
    }
    lastRead = bytes.toByteArray();
    observe(Call::Read, actions, wasBusy);
}

void Harness::edit(QByteArrayView operands, char kind)
{
    if (protocol.running())
        return;
    if (kind == 'A') {
        for (int step = 0; step < 80; ++step)
            for (int channel = 0; channel < 40; ++channel) {
                const int ordinal = (3 * step + channel) % 16;
                chart.at(step, channel) = ElementCode::ofOrdinal(ordinal);
                cells[step * 40 + channel] = char(0x30 + ordinal);
            }
    } else if (kind == 'K' && operands.size() == 2) {
        const auto b0 = uchar(operands[0]);
        const auto b1 = uchar(operands[1]);
        const bool digits = b0 >= '0' && b0 <= '9' && b1 >= '0' && b1 <= '9';
        stepCount = digits ? qint16((b0 - '0') * 10 + b1 - '0') : qint16(b0 << 8 | b1);
    } else if (kind == 'P' && operands.size() == 3) {
        const int step = uchar(operands[0]) % 81;
        const int channel = uchar(operands[1]) % 41;
        const char name = operands[2];
        ElementCode value;
        char sent = 0;
        switch (name) {
        case 'h':
            value = ElementCode::number(3.5);
            break;
        case 'n':
            value = ElementCode::number(10);
            break;
        case 't':
            value = ElementCode::text(QStringLiteral("3"));
            break;
        case '@':
            value = ElementCode::text(QStringLiteral("@"));
            break;
        case 'e':
            break;
        default: {
            const int ordinal = (name >= '0' && name <= '?') ? name - '0' : uchar(name) % 16;
            value = ElementCode::ofOrdinal(ordinal);
            sent = char(0x30 + ordinal);
        }
        }
        chart.at(step, channel) = value;
        if (step < 80 && channel < 40)
            cells[step * 40 + channel] = sent;
    }
}

bool Harness::chartSendable() const
{
    if (stepCount < 1 || stepCount > 80)
        return false;
    for (char c : cells)
        if (c == 0)
            return false;
    return true;
}

// Why a transfer ended by this kind of event failed. No read can fail one:
// the chart is checked at the click and cannot change while it runs.
TransferCause Harness::expectedCause(Call call) const
{
    switch (call) {
    case Call::Click:
        return TransferCause::UnsendableChart;
    case Call::Timeout:
        return answered ? TransferCause::TimeLimit : TransferCause::NoReply;
    case Call::PortNotOpened:
        return TransferCause::PortNotOpened;
    case Call::WriteFailed:
        return TransferCause::WriteFailed;
    case Call::PortLost:
        return TransferCause::PortLost;
    case Call::Read:
        break;
    }
    return TransferCause::None;
}

// Checks what one call of the protocol answered, then carries it out.
void Harness::observe(Call call, const TransferActions& actions, bool wasBusy)
{
    if (actions.end != TransferEnd::None) {
        require(actions.stopTimeout && actions.closePort,
                "every ending stops the time-out and closes the port");
        require(!protocol.running(), "an ending ends the transfer");
        require(wasBusy || call == Call::Click, "only a running transfer ends");
    }
    if (wasBusy && !protocol.running())
        require(actions.end != TransferEnd::None, "a transfer never ends without saying how");
    require((actions.end == TransferEnd::Failure) == (actions.cause != TransferCause::None),
            "a failure, and only a failure, names a cause");
    if (actions.end == TransferEnd::Failure)
        require(actions.cause == expectedCause(call), "a failure names the cause of the event that ended it");
    if (call == Call::Timeout && actions.end == TransferEnd::Failure)
        require(protocol.recordsAcknowledged() == acknowledgedInTransfer,
                "a transfer cut off by its time limit counts the records acknowledged since its \"s\"");
    checkMessages(actions.writes);
    apply(actions);
}

// As ControllerTransfer carries the actions out: a port that cannot be opened or
// written to goes back to the protocol at once and skips the rest.
void Harness::apply(const TransferActions& actions)
{
    if (actions.stopTimeout)
        timeoutRunning = false;
    if (actions.openPort && !portOpen) {
        if (failNextOpen) {
            failNextOpen = false;
            return portFailure(Call::PortNotOpened);
        }
        portOpen = true;
    }
    for (qsizetype i = 0; i < actions.writes.size(); ++i)
        if (!write())
            return portFailure(Call::WriteFailed);
    if (actions.startTimeout)
        timeoutRunning = true;
    if (actions.closePort)
        portOpen = false;
}

void Harness::portFailure(Call call)
{
    const bool wasBusy = protocol.running();
    const TransferActions actions = call == Call::PortNotOpened ? protocol.portNotOpened()
                                    : call == Call::WriteFailed ? protocol.writeFailed()
                                                                : protocol.portLost();
    observe(call, actions, wasBusy);
}

// One write of the port; what it carries was checked when it was asked for.
bool Harness::write()
{
    require(portOpen, "nothing is written while the port is closed");
    if (loseLineOnNextWrite) {
        loseLineOnNextWrite = false;
        portOpen = false;
        portFailure(Call::PortLost);
        return false;
    }
    if (failNextWrite) {
        failNextWrite = false;
        return false;
    }
    return true;
}

// Only the protocol's messages are asked for: the erase first in each
// transfer, the step count of the chart, and records, each after its "W",
// numbered on from the last "s" and each after the controller acknowledged
// the one before it. A record whose write failed still counts, as it does
// for the protocol: that transfer is over, and the next one can only
// succeed after an "s" of its own.
void Harness::checkMessages(const QList<QByteArray>& writes)
{
    for (qsizetype i = 0; i < writes.size(); ++i) {
        const QByteArray& bytes = writes[i];
        const bool first = messagesInTransfer++ == 0;
        require(first == (bytes == "E\r"), "each transfer sends the erase first, and only then");
        if (first)
            continue;
        if (bytes == "W") {
            require(++i < writes.size(), "a \"W\" is followed by its record line in the same call");
            checkRecord(writes[i]);
            continue;
        }
        const QByteArray stepCountMessage = 'S' + QByteArray::number(stepCount).rightJustified(2, '0') + '\r';
        require(stepCount >= 1 && stepCount <= 80 && bytes == stepCountMessage,
                "only the erase, the step count and records go out");
    }
}

void Harness::checkRecord(const QByteArray& line)
{
    require(line.size() == 12 && line.back() == '\r', "a record line is 12 characters ending in CR");
    for (int digit = 0; digit < 3; ++digit)
        require(line[digit] >= '0' && line[digit] <= '9', "a record number is three digits");
    const int record = line.left(3).toInt();
    require(record == nextRecord, "records go out in order from 0 after the controller's \"s\"");
    require(record < 400, "there are 400 records");
    require(record == 0 || lastAcknowledged == record - 1,
            "a record goes out only after the one before it was acknowledged");
    for (int i = 0; i < 8; ++i)
        require(line[3 + i] == cell(record / 5, (record % 5) * 8 + i), "a record carries its cells");
    nextRecord = record + 1;
}

// While a transfer runs the port is open and the time-out runs; otherwise the
// port is closed and the time-out stopped. The record index counts the records
// sent since the controller's last "s".
void Harness::checkState() const
{
    const bool busy = protocol.running();
    require(portOpen == busy, "the port is open exactly while a transfer runs");
    require(timeoutRunning == busy, "the time-out runs exactly while a transfer runs");
    require(protocol.state().RecordIndex == nextRecord, "the record index counts the records sent");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Harness harness;
    harness.run(QByteArrayView(data, qsizetype(size)));
    return 0;
}
