#pragma once

#include <QByteArray>
#include <QString>

// Both ends of a serial line: a pseudo-terminal whose slave the program under
// test opens as its serial device, while the test reads and writes the
// master. The slave stays open here too, so that what the far end sends waits
// on the line while the program has its port closed, and the line is raw, as
// a serial line is.
class PseudoTerminal
{
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool isValid() const { return m_master >= 0 && !m_device.isEmpty(); }
    // The slave's path, such as /dev/pts/5.
    QString device() const { return m_device; }
    int masterDescriptor() const { return m_master; }
    int slaveDescriptor() const { return m_slave; }

    bool send(const QByteArray& bytes) const;
    // What the program has written so far, without waiting: after the test
    // has let the program handle its pending events, this is all it wrote.
    QByteArray take();
    // What arrives until `count` bytes have come or `timeoutMs` passed,
    // serving the caller's event loop meanwhile.
    QByteArray receive(qsizetype count, int timeoutMs = 5000);
    // Closes the master: the program sees the line hang up.
    void hangUp();

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_device;
    QByteArray m_received;
};
