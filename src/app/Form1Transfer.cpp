#include "app/Form1.h"
#include "device/CommControl.h"
#include "device/TransferCarrier.h"
#include "device/TransferProtocol.h"

#include <QAbstractButton>
#include <QTimer>

void Form1::connectTransfer()
{
    m_protocol = std::make_unique<TransferProtocol>(m_state);
    m_carrier = std::make_unique<TransferCarrier>(*m_protocol, *mscPort, *m_timer1, m_timer2);
    connect(control<QAbstractButton>("Command1"), &QAbstractButton::clicked, this,
            [this] { Command1_Click(); });
    connect(m_timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });
    connect(m_timer2, &QTimer::timeout, this, [this] { Timer2_Timer(); });
    connect(mscPort, &CommControl::OnComm, this, [this] { mscPort_OnComm(); });
    // A device that goes away mid-transfer (a USB adapter pulled) ends the transfer at once.
    connect(mscPort, &CommControl::portFailed, this, [this] { apply(m_protocol->portLost()); });
}

void Form1::Command1_Click()
{
    apply(m_protocol->start());
}

void Form1::mscPort_OnComm()
{
    if (mscPort->CommEvent() != CommControl::EventReceive)
        return;
    apply(m_protocol->received(mscPort->Input()));
}

void Form1::Timer1_Timer()
{
    apply(m_protocol->timeout());
}

void Form1::Timer2_Timer()
{
    apply(m_protocol->blink());
}

QString Form1::failureText(TransferCause cause) const
{
    const QString text = transferFailureText(cause, m_state.PortName, mscPort->errorString());
    // A port that cannot be opened is often the wrong one: say which are there.
    if (cause == TransferCause::PortNotOpened)
        return text + QLatin1Char('\n') + presentDevicesText(m_serialDevices());
    return text;
}

void Form1::apply(const TransferActions& actions)
{
    const TransferActions done = m_carrier->carryOut(actions);
    if (done.end == TransferEnd::Failure)
        m_failureReason = failureText(done.cause);
    showStatus();
}
