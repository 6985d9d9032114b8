#include "transfer/TransferCarrier.h"

#include "serial/CommControl.h"

#include <QTimer>

TransferCarrier::TransferCarrier(TransferProtocol& protocol, CommControl& port, QTimer& timeout)
    : m_protocol(protocol), m_port(port), m_timeout(timeout)
{
}

TransferActions TransferCarrier::carryOut(const TransferActions& actions)
{
    if (actions.stopTimeout)
        m_timeout.stop();
    // Nothing is sent and the time-out does not start when the port cannot be opened.
    if (actions.openPort && !m_port.PortOpen() && !m_port.setPortOpen(true))
        return carryOut(m_protocol.portNotOpened());
    for (const QByteArray& bytes : actions.writes)
        if (!m_port.Output(bytes))
            return carryOut(m_protocol.writeFailed());
    if (actions.startTimeout)
        m_timeout.start();
    if (actions.closePort && m_port.PortOpen())
        m_port.setPortOpen(false);
    return actions;
}
