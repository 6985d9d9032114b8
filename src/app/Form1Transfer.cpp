#include "app/Form1.h"
#include "device/CommControl.h"
#include "device/TransferProtocol.h"

#include <QAbstractButton>
#include <QTimer>

void Form1::connectTransfer()
{
    m_protocol = std::make_unique<TransferProtocol>(m_state);
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
    switch (cause) {
    case TransferCause::UnsendableChart:
        return QStringLiteral(
            "送れない値があります：ステップ数は 1～80、各セルは16の要素のどれかでなければなりません。");
    case TransferCause::NoReply:
        return QStringLiteral("コントローラーから時間内に応答がありませんでした。");
    case TransferCause::PortNotOpened:
        return QStringLiteral("ポート「%1」を開けません（%2）。")
            .arg(m_state.PortName.isEmpty() ? QStringLiteral("未選択") : m_state.PortName,
                 mscPort->errorString());
    case TransferCause::WriteFailed:
        return QStringLiteral("ポートに書き込めません（%1）。").arg(mscPort->errorString());
    case TransferCause::PortLost:
        return QStringLiteral("通信中にポートが使えなくなりました（%1）。").arg(mscPort->errorString());
    case TransferCause::None:
        break;
    }
    return {};
}

void Form1::apply(const TransferActions& actions)
{
    // The port's reason is read before the port is closed below.
    if (actions.end == TransferEnd::Failure)
        m_failureReason = failureText(actions.cause);
    if (actions.stopTimers) {
        m_timer1->stop();
        m_timer2->stop();
    }
    if (actions.startBlinkTimer)
        m_timer2->start();
    // Nothing is sent and the time-out does not start when the port cannot be opened.
    if (actions.openPort && !mscPort->PortOpen() && !mscPort->setPortOpen(true))
        return apply(m_protocol->portNotOpened());
    for (const QByteArray& bytes : actions.writes)
        if (!mscPort->Output(bytes))
            return apply(m_protocol->writeFailed());
    if (actions.startTimeoutTimer)
        m_timer1->start();
    if (actions.closePort && mscPort->PortOpen())
        mscPort->setPortOpen(false);
    showStatus();
}
