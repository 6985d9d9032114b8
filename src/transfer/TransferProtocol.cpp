#include "transfer/TransferProtocol.h"

#include "transfer/SendRule.h"

#include <limits>

namespace {
const QByteArray EraseMessage = QByteArrayLiteral("E\r");
const QByteArray WriteAnnouncement = QByteArrayLiteral("W");

constexpr int ChannelsPerRecord = 8;
constexpr int RecordsPerStep = PatternTable::UsedChannels / ChannelsPerRecord;
} // namespace

TransferActions TransferProtocol::start(const PatternTable& chart, qint16 stepCount)
{
    if (m_running)
        return {};
    if (firstSendFault(chart, stepCount))
        return finish(TransferEnd::Failure, TransferCause::UnsendableChart);

    // The send rule has let the chart through, so every message can be made.
    m_stepCountMessage = *stepCountMessage(stepCount);
    m_records.clear();
    m_records.reserve(RecordCount);
    for (int record = 0; record < RecordCount; ++record)
        m_records.append(*recordLine(chart, record));
    m_stepCountAcknowledged = false;
    m_answered = false;
    m_recordsAcknowledged = 0;
    m_running = true;
    TransferActions actions;
    actions.openPort = true;
    actions.writes = {EraseMessage};
    actions.startTimeout = true;
    return actions;
}

TransferActions TransferProtocol::received(QByteArrayView read)
{
    m_state.ReceivedText = read.toByteArray();
    const QByteArray& text = m_state.ReceivedText;

    if (text == "e" || text == "s" || text == "w") {
        m_state.ReadsSinceReply = 0;
        m_answered = m_answered || m_running;
        if (text == "e") {
            m_state.TransferStage = Stage::Erase;
            m_stepCountAcknowledged = false;
            m_recordsAcknowledged = 0;
        } else if (text == "s") {
            m_state.TransferStage = Stage::Step;
            m_state.RecordIndex = 0;
            m_stepCountAcknowledged = true;
        } else {
            m_state.TransferStage = Stage::Write;
        }
        return {};
    }

    // Only "more than one" matters, so the count stops at its limit rather than wrapping.
    if (m_state.ReadsSinceReply < std::numeric_limits<qint16>::max())
        ++m_state.ReadsSinceReply;
    if (m_state.ReadsSinceReply != 1 || text != "\r" || !m_running)
        return {};

    switch (m_state.TransferStage) {
    case Stage::Erase: {
        TransferActions actions;
        actions.writes = {m_stepCountMessage};
        return actions;
    }
    case Stage::Step:
        return sendRecord(0);
    case Stage::Write:
        // The "w" and this CR acknowledge every record sent since the step count, but a count
        // carried over from an earlier transfer says nothing of this one.
        if (m_stepCountAcknowledged)
            m_recordsAcknowledged = m_state.RecordIndex;
        if (m_state.RecordIndex < RecordCount)
            return sendRecord(m_state.RecordIndex);
        // A RecordIndex of 400 left over from an earlier transfer must not
        // count: the controller has been erased since and got no records.
        if (m_state.RecordIndex == RecordCount && m_stepCountAcknowledged)
            return finish(TransferEnd::Success);
        return {};
    case Stage::Empty:
        break;
    }
    return {};
}

TransferActions TransferProtocol::sendRecord(int record)
{
    ++m_state.RecordIndex;
    TransferActions actions;
    actions.writes = {WriteAnnouncement, m_records[record]};
    return actions;
}

TransferActions TransferProtocol::timeout()
{
    return interrupt(m_answered ? TransferCause::TimeLimit : TransferCause::NoReply);
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

TransferActions TransferProtocol::stop()
{
    return interrupt(TransferCause::Stopped);
}

TransferActions TransferProtocol::interrupt(TransferCause cause)
{
    return m_running ? finish(TransferEnd::Failure, cause) : finish(TransferEnd::None);
}

TransferActions TransferProtocol::finish(TransferEnd end, TransferCause cause)
{
    m_running = false;
    TransferActions actions;
    actions.stopTimeout = true;
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

QString transferFailureText(TransferCause cause, const QString& portName, const QString& portReason,
                            const TimeLimitFacts& timeLimit)
{
    switch (cause) {
    case TransferCause::UnsendableChart:
        return QStringLiteral(
            "送れない値があります：ステップ数は 1～80、各セルは16の要素のどれかでなければなりません。");
    case TransferCause::NoReply:
        return QStringLiteral("コントローラーから時間内に応答がありませんでした。");
    case TransferCause::TimeLimit:
        return QStringLiteral("書き込みが制限時間（%1 秒）内に終わりませんでした。コントローラーが受け取った"
                              "レコードは %2 件中 %3 件で、コントローラーには途中までのパターンしか"
                              "書き込まれていません。")
            .arg(QString::number(timeLimit.limitMs / 1000.0))
            .arg(TransferProtocol::RecordCount)
            .arg(timeLimit.recordsAcknowledged);
    case TransferCause::PortNotOpened:
        return QStringLiteral("ポート「%1」を開けません（%2）。")
            .arg(portName.isEmpty() ? QStringLiteral("未選択") : portName, portReason);
    case TransferCause::WriteFailed:
        return QStringLiteral("ポートに書き込めません（%1）。").arg(portReason);
    case TransferCause::PortLost:
        return QStringLiteral("通信中にポートが使えなくなりました（%1）。").arg(portReason);
    case TransferCause::Stopped:
        return QStringLiteral(
            "書込の途中で終了しました。コントローラーには途中までしか書き込まれていません。");
    case TransferCause::None:
        break;
    }
    return {};
}
