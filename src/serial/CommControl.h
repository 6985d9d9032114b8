#pragma once

#include "settings/SettingsLocation.h"

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
//
// On Linux each opening asks the driver for low latency (see lowLatency).
class CommControl : public QObject
{
    Q_OBJECT

public:
    // What CommEvent reports in OnComm.
    enum : qint16 { EventSend = 1, EventReceive = 2 };

    enum class Failure { None, NoPort, BadSettings, PortIsOpen, OpenFailed, NotOpen, DeviceLost };
    Q_ENUM(Failure)

    // What the driver said to low latency at the last opening.
    enum class LowLatency {
        NotRequested, // not asked: the port has not been opened, or not on Linux
        Granted,      // the driver's low-latency flag is on
        Refused,      // the device has no such flag or kept it off; it is used as it is
    };
    Q_ENUM(LowLatency)

    // `settings` is where the device of a port number is looked up on
    // platforms without COM names (see portDeviceName).
    explicit CommControl(const SettingsLocation& settings = SettingsLocation(), QObject* parent = nullptr);
    void setSettingsLocation(const SettingsLocation& settings) { settingsFiles = settings; }

    // 1 to 20 name COM1 to COM20; 0 is no port. Refused while the port is open.
    bool setCommPort(qint16 port);
    qint16 CommPort() const { return port; }
    // The port a port name of the window stands for: CommPort becomes the
    // name's number (0 for anything but COM1 to COM20), and a device path
    // (isDevicePath) is that device itself. Refused while the port is open.
    bool setPort(const QString& portName);

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

    // The device of the current port, empty for no port.
    QString deviceName() const;

    // A USB serial adapter holds received bytes back for its latency timer
    // (16 ms on common chips), which each of the controller's replies would
    // wait for. So once the port is open, the driver's low-latency flag is
    // switched on (TIOCSSERIAL); drivers of such adapters then hand bytes on
    // at once. A device without the flag (a pseudo-terminal) or a driver that
    // does not allow it is used as it is, without a word. The flag is left on
    // when the port closes: it harms no other user of the device, and the
    // next opening asks for it again anyway.
    LowLatency lowLatency() const { return latency; }
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
    // The device named by its path, when the port was chosen that way.
    QString devicePath;
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
    LowLatency latency = LowLatency::NotRequested;
};

// The controller's line as the window configures it whenever a port is chosen,
// in this order: the port of `portName`, "57600,n,8,1", no handshaking, RTS
// off, a send event once the output is empty and a receive event for every
// character. The port is not opened.
void configureControllerPort(CommControl& port, const QString& portName);
