#include "transfer/TransferProtocol.h"

#include "transfer/SendRule.h"

#include <limits>

namespace {
const QByteArray EraseMessage = QByteArrayLiteral("E\r");
const QByteArray WriteAnnouncement = QByteArrayLiteral("W");

constexpr int ChannelsPerRecord = 8;
constexpr int RecordsPerStep = PatternTable::UsedChannels / ChannelsPerRecord;

QString runningCaption()
{
    return QStringLiteral("処理中");
}
} // namespace

TransferProtocol::TransferProtocol(WindowState& window) : m_window(window) {}

TransferActions TransferProtocol::start()
{
    if (m_window.busy())
        return {};
    if (firstSendFault(m_window.PatternData, m_window.StepCount))
        return finish(TransferEnd::Failure, TransferCause::UnsendableChart);

    m_stepCountAcknowledged = false;
    m_window.Status = {LampColour::Busy, runningCaption()};
    m_window.BusyFlag = QStringLiteral("1");
    TransferActions actions;
    actions.startBlinkTimer = true;
    actions.openPort = true;
    actions.writes = {EraseMessage};
    actions.startTimeoutTimer = true;
    return actions;
}

TransferActions TransferProtocol::received(QByteArrayView read)
{
    m_state.ReceivedText = read.toByteArray();
    const QByteArray& text = m_state.ReceivedText;

    if (text == "e" || text == "s" || text == "w") {
        m_state.ReadsSinceReply = 0;
        if (text == "e") {
            m_state.TransferStage = Stage::Erase;
            m_stepCountAcknowledged = false;
        } else if (text == "s") {
            m_state.TransferStage = Stage::Step;
            m_window.RecordIndex = 0;
            m_stepCountAcknowledged = true;
        } else {
            m_state.TransferStage = Stage::Write;
        }
        return {};
    }

    // Only "more than one" matters, so the count stops at its limit rather than wrapping.
    if (m_state.ReadsSinceReply < std::numeric_limits<qint16>::max())
        ++m_state.ReadsSinceReply;
    if (m_state.ReadsSinceReply != 1 || text != "\r" || !m_window.busy())
        return {};

    switch (m_state.TransferStage) {
    case Stage::Erase: {
        const std::optional<QByteArray> message = stepCountMessage(m_window.StepCount);
        if (!message)
            return finish(TransferEnd::Failure, TransferCause::UnsendableChart);
        TransferActions actions;
        actions.writes = {*message};
        return actions;
    }
    case Stage::Step:
        return sendRecord(0);
    case Stage::Write:
        if (m_window.RecordIndex < RecordCount)
            return sendRecord(m_window.RecordIndex);
        // A RecordIndex of 400 left over from an earlier transfer must not
        // count: the controller has been erased since and got no records.
        if (m_window.RecordIndex == RecordCount && m_stepCountAcknowledged)
            return finish(TransferEnd::Success);
        return {};
    case Stage::Empty:
        break;
    }
    return {};
}

TransferActions TransferProtocol::sendRecord(int record)
{
    const std::optional<QByteArray> line = recordLine(m_window.PatternData, record);
    if (!line)
        return finish(TransferEnd::Failure, TransferCause::UnsendableChart);
    ++m_window.RecordIndex;
    TransferActions actions;
    actions.writes = {WriteAnnouncement, *line};
    return actions;
}

TransferActions TransferProtocol::timeout()
{
    return interrupt(TransferCause::NoReply);
}

TransferActions TransferProtocol::portNotOpened()
{
    return interrupt(TransferCause::PortNotOpened);
}

TransferActions TransferProtocol::writeFailed()
{
    return interrupt(TransferCause::WriteFailed);
}

TransferActions TransferProtocol::portLost()
{
    return interrupt(TransferCause::PortLost);
}

TransferActions TransferProtocol::interrupt(TransferCause cause)
{
    return m_window.busy() ? finish(TransferEnd::Failure, cause) : finish(TransferEnd::None);
}

TransferActions TransferProtocol::blink()
{
    quint32& lamp = m_window.Status.lamp;
    if (lamp == LampColour::Busy)
        lamp = LampColour::BusyBlink;
    else if (lamp == LampColour::BusyBlink)
        lamp = LampColour::Busy;
    return {};
}

TransferActions TransferProtocol::finish(TransferEnd end, TransferCause cause)
{
    if (end == TransferEnd::Success)
        m_window.Status = {LampColour::Success, QStringLiteral("成功")};
    else if (end == TransferEnd::Failure)
        m_window.Status = {LampColour::Failure, QStringLiteral("失敗")};
    m_window.BusyFlag = QStringLiteral("0");
    TransferActions actions;
    actions.stopTimers = true;
    actions.closePort = true;
    actions.end = end;
    actions.cause = cause;
    return actions;
}

std::optional<QByteArray> TransferProtocol::stepCountMessage(qint16 stepCount)
{
    if (stepCount < 1 || stepCount > PatternTable::UsedSteps)
        return std::nullopt;
    return 'S' + QByteArray::number(stepCount).rightJustified(2, '0') + '\r';
}

std::optional<QByteArray> TransferProtocol::recordLine(const PatternTable& chart, int record)
{
    if (record < 0 || record >= RecordCount)
        return std::nullopt;
    QByteArray line = QByteArray::number(record).rightJustified(3, '0');
    const int step = record / RecordsPerStep;
    const int firstChannel = (record % RecordsPerStep) * ChannelsPerRecord;
    for (int channel = firstChannel; channel < firstChannel + ChannelsPerRecord; ++channel) {
        const std::optional<int> ordinal = chart.at(step, channel).ordinal();
        if (!ordinal)
            return std::nullopt;
        line += char(0x30 + *ordinal);
    }
    line += '\r';
    return line;
}

QString transferFailureText(TransferCause cause, const QString& portName, const QString& portReason)
{
    switch (cause) {
    case TransferCause::UnsendableChart:
        return QStringLiteral(
            "送れない値があります：ステップ数は 1～80、各セルは16の要素のどれかでなければなりません。");
    case TransferCause::NoReply:
        return QStringLiteral("コントローラーから時間内に応答がありませんでした。");
    case TransferCause::PortNotOpened:
        return QStringLiteral("ポート「%1」を開けません（%2）。")
            .arg(portName.isEmpty() ? QStringLiteral("未選択") : portName, portReason);
    case TransferCause::WriteFailed:
        return QStringLiteral("ポートに書き込めません（%1）。").arg(portReason);
    case TransferCause::PortLost:
        return QStringLiteral("通信中にポートが使えなくなりました（%1）。").arg(portReason);
    case TransferCause::None:
        break;
    }
    return {};
}
