#include "app/Form1.h"
#include "serial/CommControl.h"
#include "transfer/SendRule.h"
#include "transfer/TransferCarrier.h"
#include "transfer/TransferProtocol.h"

#include <QAbstractButton>
#include <QTimer>

void Form1::connectTransfer()
{
    m_protocol = std::make_unique<TransferProtocol>(m_state);
    m_carrier = std::make_unique<TransferCarrier>(*m_protocol, *m_port, *m_timeout, m_blink);
    connect(control<QAbstractButton>("Command1"), &QAbstractButton::clicked, this,
            [this] { writeClicked(); });
    connect(m_timeout, &QTimer::timeout, this, [this] { timeoutElapsed(); });
    connect(m_blink, &QTimer::timeout, this, [this] { blinkTicked(); });
    connect(m_port, &CommControl::OnComm, this, [this] { portReceived(); });
    // A device that goes away mid-transfer (a USB adapter pulled) ends the transfer at once.
    connect(m_port, &CommControl::portFailed, this, [this] { apply(m_protocol->portLost()); });
}

void Form1::writeClicked()
{
    apply(m_protocol->start());
}

void Form1::portReceived()
{
    if (m_port->CommEvent() != CommControl::EventReceive)
        return;
    apply(m_protocol->received(m_port->Input()));
}

void Form1::timeoutElapsed()
{
    apply(m_protocol->timeout());
}

void Form1::blinkTicked()
{
    apply(m_protocol->blink());
}

QString Form1::failureText(TransferCause cause) const
{
    const QString text = transferFailureText(cause, m_state.PortName, m_port->errorString());
    // A port that cannot be opened is often the wrong one: say which are there.
    if (cause == TransferCause::PortNotOpened)
        return text + QLatin1Char('\n') + presentDevicesText(m_serialDevices());
    // The sentence names no cell; the first at fault helps find it.
    if (cause == TransferCause::UnsendableChart)
        if (const std::optional<SendFault> fault = firstSendFault(m_state.PatternData, m_state.StepCount))
            return text + QLatin1Char('\n') + sendFaultText(*fault);
    return text;
}

void Form1::apply(const TransferActions& actions)
{
    const TransferActions done = m_carrier->carryOut(actions);
    if (done.end == TransferEnd::Failure)
        m_failureReason = failureText(done.cause);
    showStatus();
}
