#include "app/Form1.h"
#include "serial/QtSerialLine.h"
#include "transfer/ControllerTransfer.h"

#include <QAbstractButton>
#include <QTimer>

void Form1::connectTransfer()
{
    m_transfer = new ControllerTransfer(std::make_unique<QtSerialLine>(), this);
    connect(control<QAbstractButton>("Command1"), &QAbstractButton::clicked, this,
            [this] { writeClicked(); });
    connect(m_transfer, &ControllerTransfer::started, this, [this] { transferStarted(); });
    connect(m_transfer, &ControllerTransfer::progress, this,
            [this](int records) { m_state.RecordIndex = qint16(records); });
    connect(m_transfer, &ControllerTransfer::finished, this,
            [this](TransferEnd end, TransferCause, const QString& reason) { transferFinished(end, reason); });
    connect(m_blink, &QTimer::timeout, this, [this] { blinkTicked(); });
}

void Form1::setSerialLine(std::unique_ptr<SerialLine> line)
{
    m_transfer->setLine(std::move(line));
}

void Form1::writeClicked()
{
    m_transfer->start(m_state.PatternData, m_state.StepCount);
}

void Form1::transferStarted()
{
    m_state.BusyFlag = QStringLiteral("1");
    m_state.Status = {LampColour::Busy, QStringLiteral("処理中")};
    m_blink->start();
    showStatus();
}

void Form1::transferFinished(TransferEnd end, const QString& reason)
{
    m_blink->stop();
    m_state.BusyFlag = QStringLiteral("0");
    if (end == TransferEnd::Success) {
        m_state.Status = {LampColour::Success, QStringLiteral("成功")};
    } else {
        m_state.Status = {LampColour::Failure, QStringLiteral("失敗")};
        m_failureReason = reason;
    }
    showStatus();
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
