#pragma once

#include "serial/SerialLine.h"

#include <QSerialPort>

// How a serial line is set, applied to QSerialPort as it stands.
struct SerialLineSettings
{
    qint32 baudRate;
    QSerialPort::DataBits dataBits;
    QSerialPort::Parity parity;
    QSerialPort::StopBits stopBits;
    QSerialPort::FlowControl flowControl;
    bool requestToSend;
};

// The controller's line.
inline constexpr SerialLineSettings ControllerLineSettings{.baudRate = 57600,
                                                           .dataBits = QSerialPort::Data8,
                                                           .parity = QSerialPort::NoParity,
                                                           .stopBits = QSerialPort::OneStop,
                                                           .flowControl = QSerialPort::NoFlowControl,
                                                           .requestToSend = false};

// The controller's line on a real serial device, through QSerialPort, set as
// ControllerLineSettings at each opening. The window and the command-line
// writer transfer over it.
//
// On Linux each opening asks the driver for low latency (see lowLatency).
class QtSerialLine : public SerialLine
{
    Q_OBJECT

public:
    // What the driver said to low latency at the last opening.
    enum class LowLatency {
        NotRequested, // not asked: the line has not been opened, or not on Linux
        Granted,      // the driver's low-latency flag is on
        Refused,      // the device has no such flag or kept it off; it is used as it is
    };
    Q_ENUM(LowLatency)

    explicit QtSerialLine(QObject* parent = nullptr);

    bool openControllerLine(const QString& device) override;
    bool isOpen() const override { return m_serial.isOpen(); }
    bool write(const QByteArray& bytes) override;
    QByteArray readAvailable() override;
    void close() override;
    QString errorString() const override { return m_error; }

    // A USB serial adapter holds received bytes back for its latency timer
    // (16 ms on common chips), which each of the controller's replies would
    // wait for. So once the line is open, the driver's low-latency flag is
    // switched on (TIOCSSERIAL); drivers of such adapters then hand bytes on
    // at once. A device without the flag (a pseudo-terminal) or a driver that
    // does not allow it is used as it is, without a word. The flag is left on
    // when the line closes: it harms no other user of the device, and the
    // next opening asks for it again anyway.
    LowLatency lowLatency() const { return m_latency; }

private:
    QString openFailureText() const;
    void onErrorOccurred(QSerialPort::SerialPortError error);

    QSerialPort m_serial;
    QString m_device;
    QString m_error;
    LowLatency m_latency = LowLatency::NotRequested;
};
