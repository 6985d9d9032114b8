#pragma once

#include "serial/SerialLine.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// A serial line inside the test program, at whose far end the test plays the
// controller: what the program writes waits for take(), and what the test
// sends reaches the program at once, as one read, while the line is open.
// No pseudo-terminal, no process and no event loop: a transfer over it runs
// exactly as far as the test answers.
class FakeSerialLine : public SerialLine
{
public:
    bool openControllerLine(const QString& device) override;
    bool isOpen() const override { return m_open; }
    bool write(const QByteArray& bytes) override;
    QByteArray readAvailable() override;
    void close() override;
    QString errorString() const override { return m_error; }
    QString unfinishedOpening() const override { return m_open ? unfinished : QString(); }

    // The devices the program opened the line on, in order.
    QStringList openings;
    // When not empty, openings fail with this reason.
    QString refusal;
    // When not empty, writes fail with this reason.
    QString writeFailure;
    // When not empty, the open line still waits for this, as a port on the network does.
    QString unfinished;

    // What the program has written since the last take.
    QByteArray take();
    // The controller's bytes. A closed line drops them, as a closed port does.
    void send(const QByteArray& bytes);
    // The device goes away: the line closes and tells the program so.
    void hangUp(const QString& reason = QStringLiteral("デバイスが取り外されたか、応答しなくなりました"));
    // The opening that was still under way fails: the line closes and tells the program so.
    void failOpening(const QString& reason);

    // The controller's answers, given here by the test's own reading of the
    // wire: each whole message written so far ("E\r", "S80\r", "W" and its
    // record line) is answered with its letter, lower case, and a lone CR.
    // Returns the messages answered, without their CR.
    QList<QByteArray> answerWritten();

private:
    // Closes an open line for `reason`; whether it was open.
    bool closeFor(const QString& reason);

    bool m_open = false;
    QString m_error;
    QByteArray m_written;
    QByteArray m_incoming;
};
