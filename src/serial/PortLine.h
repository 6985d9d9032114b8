#pragma once

#include "serial/QtSerialLine.h"

class NetworkSerialLine;

// The controller's line on whichever port a transfer names: a port written
// as a URL on the network (NetworkSerialLine), any other on a serial device
// (QtSerialLine). The window and the command-line writer give it to their
// transfers, which see one line whatever the port. The network line, and the
// socket with it, is made at the first opening of a network port: a window
// that only ever writes to local devices never starts Qt's network code.
class PortLine : public SerialLine
{
    Q_OBJECT

public:
    explicit PortLine(QObject* parent = nullptr);

    // Chooses the line by `device` at each opening; an open line stays as it is.
    bool openControllerLine(const QString& device) override;
    bool isOpen() const override { return m_line->isOpen(); }
    bool write(const QByteArray& bytes) override { return m_line->write(bytes); }
    QByteArray readAvailable() override { return m_line->readAvailable(); }
    void close() override { m_line->close(); }
    QString errorString() const override { return m_line->errorString(); }
    QString unfinishedOpening() const override { return m_line->unfinishedOpening(); }

private:
    void follow(SerialLine* line);

    QtSerialLine m_serial;
    NetworkSerialLine* m_network = nullptr;
    SerialLine* m_line = &m_serial;
};
