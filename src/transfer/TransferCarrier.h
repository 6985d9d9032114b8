#pragma once

#include "transfer/TransferProtocol.h"

class CommControl;
class QTimer;

// Carries out what TransferProtocol answers on the serial port and the
// time-out, and feeds the port's own failures back into the protocol. The
// window and the command-line writer run their transfers through it, so both
// open, write, time out and close exactly alike.
class TransferCarrier
{
public:
    // `timeout` is the time-out timer (TimeoutMs, once).
    TransferCarrier(TransferProtocol& protocol, CommControl& port, QTimer& timeout);

    // Carries out the steps of `actions` in their order. When the port cannot
    // be opened or a write fails, the rest is skipped and the protocol's
    // answer to that failure carried out instead. Returns the actions carried
    // out last: their `end` and `cause` tell whether and how the transfer ended.
    TransferActions carryOut(const TransferActions& actions);

private:
    TransferProtocol& m_protocol;
    CommControl& m_port;
    QTimer& m_timeout;
};
