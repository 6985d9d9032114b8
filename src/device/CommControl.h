#pragma once

#include "device/SettingsLocation.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <optional>

// The serial-port control of the main window (its `mscPort`). The window
// configures it when a port is chosen, opens it for a transfer, writes the
// protocol's messages with Output and takes each reply with Input when
// OnComm reports characters. The port is opened only on request; the
// configuration is kept and applied at each opening.
//
// Failures never throw: the call returns false and lastError/errorString
// tell why. A device that goes away while the port is open (a USB adapter
// pulled, a hang-up) closes the port and raises portFailed once.
class CommControl : public QObject
{
    Q_OBJECT

public:
    // What CommEvent reports in OnComm.
    enum : qint16 { EventSend = 1, EventReceive = 2 };

    enum class Failure { None, NoPort, BadSettings, PortIsOpen, OpenFailed, NotOpen, DeviceLost };
    Q_ENUM(Failure)

    // `settings` is where the device of a port number is looked up on
    // platforms without COM names (see portDeviceName).
    explicit CommControl(const SettingsLocation& settings = SettingsLocation(), QObject* parent = nullptr);
    void setSettingsLocation(const SettingsLocation& settings) { settingsFiles = settings; }

    // 1 to 20 name COM1 to COM20; 0 is no port. Refused while the port is open.
    bool setCommPort(qint16 port);
    qint16 CommPort() const { return port; }

    // "baud,parity,data bits,stop bits", for example "57600,n,8,1": parity
    // one of n, e, o, m, s; 5 to 8 data bits; 1, 1.5 or 2 stop bits.
    // Malformed text is refused and the previous settings stay.
    bool setSettings(const QString& settings);
    QString Settings() const { return settingsText; }

    // 0 none, 1 XON/XOFF, 2 RTS/CTS, 3 RTS/CTS as well (the line cannot do both).
    bool setHandshaking(int mode);
    int Handshaking() const { return handshaking; }

    // A device without an RTS line (a pseudo-terminal) keeps working without it.
    void setRTSEnable(bool enable);
    bool RTSEnable() const { return rtsEnable; }

    // OnComm with EventSend once fewer than this many characters wait to go
    // out; 0 raises no send events.
    void setSThreshold(int count) { sendThreshold = count; }
    int SThreshold() const { return sendThreshold; }

    // OnComm with EventReceive while at least this many characters wait;
    // 0 raises no receive events.
    void setRThreshold(int count);
    int RThreshold() const { return receiveThreshold; }

    // How many characters one Input takes; 0 takes all that wait.
    void setInputLen(int count) { inputLength = qMax(0, count); }
    int InputLen() const { return inputLength; }

    bool PortOpen() const { return opened; }
    // Opening looks up the device, applies the settings and empties both
    // buffers; false with a reason when the port cannot be opened. Closing
    // always succeeds and ends the events.
    bool setPortOpen(bool open);

    // Queues `data` for sending after everything queued before it.
    bool Output(const QByteArray& data);
    // Takes up to InputLen waiting characters from the receive buffer.
    QByteArray Input();
    qint64 InBufferCount() const;
    qint16 CommEvent() const { return lastEvent; }

    // The device of the current port number, empty for no port.
    QString deviceName() const;
    Failure lastError() const { return failure; }
    QString errorString() const { return failureText; }

signals:
    void OnComm();
    void portFailed(const QString& reason);

private:
    bool fail(Failure kind, const QString& reason);
    bool applyLineSettings();
    void applyRequestToSend();
    void closePort();
    QString openFailureText() const;
    QString portLabel() const;
    void scheduleReceiveEvent();
    void raiseReceiveEvent();
    void onBytesWritten();
    void onErrorOccurred(QSerialPort::SerialPortError error);

    struct LineSettings
    {
        qint32 baudRate = 9600;
        QSerialPort::Parity parity = QSerialPort::NoParity;
        QSerialPort::DataBits dataBits = QSerialPort::Data8;
        QSerialPort::StopBits stopBits = QSerialPort::OneStop;
    };
    static std::optional<LineSettings> parseSettings(const QString& text);

    QSerialPort serial;
    SettingsLocation settingsFiles;
    // The device of the last opening, for the reasons of failures.
    QString device;
    qint16 port = 0;
    QString settingsText = QStringLiteral("9600,n,8,1");
    LineSettings line;
    int handshaking = 0;
    bool rtsEnable = false;
    int sendThreshold = 0;
    int receiveThreshold = 0;
    int inputLength = 0;
    bool opened = false;
    bool receiveEventQueued = false;
    qint16 lastEvent = 0;
    Failure failure = Failure::None;
    QString failureText;
};
