#include "ControllerSession.h"

#include <utility>

namespace {
constexpr int RecordCount = 400;
constexpr int RecordsPerStep = 5;
constexpr int CodesPerRecord = 8;

bool isDigit(char byte)
{
    return byte >= '0' && byte <= '9';
}
bool isElement(char byte)
{
    return byte >= '0' && byte <= '?';
}

// Whole length of each message, its CR included.
int lengthOf(char command)
{
    switch (command) {
    case 'E':
        return 2;
    case 'S':
        return 4;
    default:
        return 13; // "W", three digits, 8 codes, CR
    }
}

bool allOf(const QByteArray& bytes, int from, int to, bool (*test)(char))
{
    for (int i = from; i < to; ++i)
        if (!test(bytes[i]))
            return false;
    return true;
}
} // namespace

ControllerSession::ControllerSession(Faults faults) : m_faults(faults) {}

bool ControllerSession::isCommand(char byte)
{
    return byte == 'E' || byte == 'S' || byte == 'W';
}

ControllerSession::Step ControllerSession::feed(char byte)
{
    Step step;
    if (m_message.isEmpty()) {
        if (!isCommand(byte)) {
            // One report for a run of stray bytes is enough.
            if (!m_inGarbage)
                step.violations += printable(QByteArray(1, byte)) + QStringLiteral(" outside a message");
            m_inGarbage = true;
            return step;
        }
        m_inGarbage = false;
        m_message = QByteArray(1, byte);
        return step;
    }
    if (isCommand(byte)) {
        step.violations += printable(m_message) + QStringLiteral(" cut short by the next command");
        m_message = QByteArray(1, byte);
        return step;
    }
    m_message += byte;
    if (byte == '\r') {
        handle(std::exchange(m_message, {}), step);
    } else if (m_message.size() >= lengthOf(m_message[0])) {
        step.violations += printable(m_message) + QStringLiteral(" has no CR where it should end");
        m_message.clear();
        m_inGarbage = true;
    }
    return step;
}

void ControllerSession::handle(const QByteArray& message, Step& step)
{
    step.message = message;
    switch (message[0]) {
    case 'E':
        handleErase(step);
        break;
    case 'S':
        handleStepCount(message, step);
        break;
    default:
        handleRecord(message, step);
        break;
    }
}

void ControllerSession::handleErase(Step& step)
{
    if (m_expecting == Expecting::Record)
        step.notes += QStringLiteral("erase after %1 of 400 records: starting over").arg(m_nextRecord);
    m_expecting = Expecting::StepCount;
    m_received = {};
    m_silent = false;
    step.reply = 'e';
}

void ControllerSession::handleStepCount(const QByteArray& message, Step& step)
{
    const QString shown = printable(message);
    if (message.size() != 4 || !allOf(message, 1, 3, isDigit)) {
        step.violations += shown + QStringLiteral(": a step count is S, two digits and CR");
        return;
    }
    const int count = message.mid(1, 2).toInt();
    if (count < 1 || count > 80) {
        step.violations += shown + QStringLiteral(": step count outside 01 to 80");
        return;
    }
    if (m_expecting != Expecting::StepCount) {
        step.violations +=
            shown + (m_expecting == Expecting::Erase
                         ? QStringLiteral(": step count without an erase before it")
                         : QStringLiteral(": step count again after record %1").arg(m_nextRecord));
        return;
    }
    m_received.stepCount = qint16(count);
    m_expecting = Expecting::Record;
    m_nextRecord = 0;
    step.reply = 's';
}

void ControllerSession::handleRecord(const QByteArray& message, Step& step)
{
    const QString shown = printable(message);
    if (message.size() != lengthOf('W') || !allOf(message, 1, 4, isDigit)) {
        step.violations += shown + QStringLiteral(": a record is W, three digits, 8 element codes and CR");
        return;
    }
    if (!allOf(message, 4, 12, isElement)) {
        step.violations += shown + QStringLiteral(": an element code is one of 0123456789:;<=>?");
        return;
    }
    const int record = message.mid(1, 3).toInt();
    if (m_expecting != Expecting::Record) {
        step.violations +=
            shown + (m_expecting == Expecting::Erase
                         ? QStringLiteral(": record without an erase and a step count before it")
                         : QStringLiteral(": record before the step count"));
        return;
    }
    if (record != m_nextRecord) {
        step.violations += shown + QStringLiteral(": record %1 where %2 was due")
                                       .arg(record, 3, 10, QChar('0'))
                                       .arg(m_nextRecord, 3, 10, QChar('0'));
        return;
    }

    const int chartStep = record / RecordsPerStep;
    const int firstChannel = (record % RecordsPerStep) * CodesPerRecord;
    for (int i = 0; i < CodesPerRecord; ++i)
        m_received.chart.at(chartStep, firstChannel + i) = ElementCode::ofOrdinal(message[4 + i] - '0');
    const int answered = m_nextRecord++;

    if (answered == m_faults.hangUpAfter) {
        step.notes += QStringLiteral("closing the line after %1 records").arg(answered);
        step.hangUp = true;
        return;
    }
    if (answered == m_faults.silentAfter && !m_silent) {
        step.notes += QStringLiteral("staying silent after %1 records").arg(answered);
        m_silent = true;
    }
    if (m_nextRecord == RecordCount) {
        step.result = m_received;
        m_expecting = Expecting::Erase;
    }
    if (!m_silent)
        step.reply = 'w';
}

QString ControllerSession::printable(const QByteArray& bytes)
{
    QString shown = QStringLiteral("\"");
    for (char byte : bytes) {
        if (byte == '\r')
            shown += QStringLiteral("\\r");
        else if (byte == '\n')
            shown += QStringLiteral("\\n");
        else if (byte == '"' || byte == '\\')
            shown += QStringLiteral("\\") + QChar(byte);
        else if (byte >= 0x20 && byte < 0x7F)
            shown += QChar(byte);
        else
            shown += QStringLiteral("\\x%1").arg(uchar(byte), 2, 16, QChar('0'));
    }
    return shown + QChar('"');
}
