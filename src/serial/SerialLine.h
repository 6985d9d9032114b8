#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// The serial line to the controller, as the transfer uses it: open it for the
// controller, write, take what came, close. The real ones are QtSerialLine
// for a serial device and NetworkSerialLine for a port on the network, which
// PortLine chooses between by the port's name; the tests have an in-process
// fake that plays the controller.
//
// Failures never throw: the call returns false and errorString says why, in
// the user's words, without naming the port (the caller knows it by the name
// the user chose).
class SerialLine : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Opens `device` set up as the controller's line wants it. Whatever came
    // before the opening is dropped: late replies to an earlier transfer must
    // not be taken for answers to this one. True when the line is open already.
    virtual bool openControllerLine(const QString& device) = 0;
    virtual bool isOpen() const = 0;
    // Sends `bytes` after everything written before, handing them on at once.
    virtual bool write(const QByteArray& bytes) = 0;
    // What came and has not been taken yet; empty while closed.
    virtual QByteArray readAvailable() = 0;
    // Closing always succeeds; nothing is received after it.
    virtual void close() = 0;
    // Why the last opening or write failed, or the line was lost.
    virtual QString errorString() const = 0;
    // A line may finish opening after openControllerLine returned (a port on
    // the network connects first); until then it takes writes and holds them
    // back. While that lasts, what it waits for in the user's words; empty
    // once it carries bytes, and always for a line that opens at once.
    virtual QString unfinishedOpening() const { return {}; }

signals:
    // Something came: readAvailable has it.
    void received();
    // The device went away while open (a USB adapter pulled, a hang-up): the
    // line is closed already. Told once.
    void lost(const QString& reason);
    // The opening failed after openControllerLine returned: a port on the
    // network could not be reached, or its server turned the line away. The
    // line is closed already. Told once, and then not as lost.
    void openingFailed(const QString& reason);
};
