#include "FakeSerialLine.h"

#include <utility>

bool FakeSerialLine::openControllerLine(const QString& device)
{
    if (m_open)
        return true;
    openings << device;
    if (!refusal.isEmpty()) {
        m_error = refusal;
        return false;
    }
    m_open = true;
    m_incoming.clear();
    m_error.clear();
    return true;
}

bool FakeSerialLine::write(const QByteArray& bytes)
{
    if (!m_open) {
        m_error = QStringLiteral("not open");
        return false;
    }
    if (!writeFailure.isEmpty()) {
        m_error = writeFailure;
        return false;
    }
    m_written += bytes;
    return true;
}

QByteArray FakeSerialLine::readAvailable()
{
    return std::exchange(m_incoming, {});
}

void FakeSerialLine::close()
{
    m_open = false;
    m_incoming.clear();
}

QByteArray FakeSerialLine::take()
{
    return std::exchange(m_written, {});
}

void FakeSerialLine::send(const QByteArray& bytes)
{
    if (!m_open)
        return;
    m_incoming += bytes;
    emit received();
}

void FakeSerialLine::hangUp(const QString& reason)
{
    if (closeFor(reason))
        emit lost(reason);
}

void FakeSerialLine::failOpening(const QString& reason)
{
    if (closeFor(reason))
        emit openingFailed(reason);
}

bool FakeSerialLine::closeFor(const QString& reason)
{
    if (!m_open)
        return false;
    close();
    m_error = reason;
    return true;
}

QList<QByteArray> FakeSerialLine::answerWritten()
{
    QList<QByteArray> messages = take().split('\r');
    // What follows the last CR is no whole message yet; it waits for the rest.
    m_written.prepend(messages.takeLast());
    for (const QByteArray& message : std::as_const(messages))
        send(message.left(1).toLower() + '\r');
    return messages;
}
