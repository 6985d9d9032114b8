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
    connect(mscPort, &CommControl::portFailed, this, [this](const QString& reason) {
        portFailure(QStringLiteral("通信中にポートが使えなくなりました（%1）。").arg(reason));
    });
}

void Form1::Command1_Click()
{
    const TransferActions actions = m_protocol->start();
    if (actions.end == TransferEnd::Failure)
        m_failureReason = QStringLiteral(
            "送れない値があります：ステップ数は 1～80、各セルは16の要素のどれかでなければなりません。");
    apply(actions);
}

void Form1::mscPort_OnComm()
{
    if (mscPort->CommEvent() != CommControl::EventReceive)
        return;
    apply(m_protocol->received(mscPort->Input()));
}

void Form1::Timer1_Timer()
{
    if (m_state.busy())
        m_failureReason = QStringLiteral("コントローラーから時間内に応答がありませんでした。");
    apply(m_protocol->timeout());
}

void Form1::Timer2_Timer()
{
    apply(m_protocol->blink());
}

void Form1::portFailure(const QString& reason)
{
    if (m_state.busy())
        m_failureReason = reason;
    apply(m_protocol->portFailed());
}

void Form1::apply(const TransferActions& actions)
{
    if (actions.stopTimers) {
        m_timer1->stop();
        m_timer2->stop();
    }
    if (actions.startBlinkTimer)
        m_timer2->start();
    // Nothing is sent and the time-out does not start when the port cannot be opened.
    if (actions.openPort && !mscPort->PortOpen() && !mscPort->setPortOpen(true))
        return portFailure(QStringLiteral("ポート「%1」を開けません（%2）。")
                               .arg(m_state.PortName.isEmpty() ? QStringLiteral("未選択") : m_state.PortName,
                                    mscPort->errorString()));
    for (const QByteArray& bytes : actions.writes)
        if (!mscPort->Output(bytes))
            return portFailure(QStringLiteral("ポートに書き込めません（%1）。").arg(mscPort->errorString()));
    if (actions.startTimeoutTimer)
        m_timer1->start();
    if (actions.closePort && mscPort->PortOpen())
        mscPort->setPortOpen(false);
    showStatus();
}
