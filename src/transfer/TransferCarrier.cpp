#include "transfer/TransferCarrier.h"

#include "serial/CommControl.h"

#include <QTimer>

TransferCarrier::TransferCarrier(TransferProtocol& protocol, CommControl& port, QTimer& timeout,
                                 QTimer* blink)
    : m_protocol(protocol), m_port(port), m_timeout(timeout), m_blink(blink)
{
}

TransferActions TransferCarrier::carryOut(const TransferActions& actions)
{
    if (actions.stopTimers) {
        m_timeout.stop();
        if (m_blink)
            m_blink->stop();
    }
    if (actions.startBlinkTimer && m_blink)
        m_blink->start();
    // Nothing is sent and the time-out does not start when the port cannot be opened.
    if (actions.openPort && !m_port.PortOpen() && !m_port.setPortOpen(true))
        return carryOut(m_protocol.portNotOpened());
    for (const QByteArray& bytes : actions.writes)
        if (!m_port.Output(bytes))
            return carryOut(m_protocol.writeFailed());
    if (actions.startTimeoutTimer)
        m_timeout.start();
    if (actions.closePort && m_port.PortOpen())
        m_port.setPortOpen(false);
    return actions;
}
