#include "app/Form1.h"
#include "serial/CommControl.h"
#include "transfer/SendRule.h"
#include "transfer/TransferCarrier.h"
#include "transfer/TransferProtocol.h"

#include <QAbstractButton>
#include <QTimer>

void Form1::connectTransfer()
{
    m_protocol = std::make_unique<TransferProtocol>();
    m_carrier = std::make_unique<TransferCarrier>(*m_protocol, *m_port, *m_timeout);
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
    if (m_protocol->running())
        return;
    const TransferActions actions = m_protocol->start(m_state.PatternData, m_state.StepCount);
    if (m_protocol->running()) {
        m_state.BusyFlag = QStringLiteral("1");
        m_state.Status = {LampColour::Busy, QStringLiteral("処理中")};
        m_blink->start();
    }
    apply(actions);
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

// Toggles between the two running colours and leaves any other alone: a mode
// option clicked during a transfer turns the lamp white, and it stays white.
void Form1::blinkTicked()
{
    quint32& lamp = m_state.Status.lamp;
    if (lamp == LampColour::Busy)
        lamp = LampColour::BusyBlink;
    else if (lamp == LampColour::BusyBlink)
        lamp = LampColour::Busy;
    showStatus();
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
    m_state.RecordIndex = m_protocol->state().RecordIndex;
    if (done.end != TransferEnd::None) {
        m_blink->stop();
        m_state.BusyFlag = QStringLiteral("0");
        if (done.end == TransferEnd::Success) {
            m_state.Status = {LampColour::Success, QStringLiteral("成功")};
        } else {
            m_state.Status = {LampColour::Failure, QStringLiteral("失敗")};
            m_failureReason = failureText(done.cause);
        }
    }
    showStatus();
}
