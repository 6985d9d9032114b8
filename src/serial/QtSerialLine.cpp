#include "serial/QtSerialLine.h"

#include "serial/PortAccess.h"

#ifdef Q_OS_LINUX
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

namespace {

#ifdef Q_OS_LINUX
bool lowLatencyOn(int descriptor)
{
    serial_struct settings{};
    return ::ioctl(descriptor, TIOCGSERIAL, &settings) == 0 && (settings.flags & ASYNC_LOW_LATENCY);
}
#endif

QtSerialLine::LowLatency requestLowLatency([[maybe_unused]] QSerialPort& port)
{
#ifdef Q_OS_LINUX
    const int descriptor = port.handle();
    serial_struct settings{};
    if (::ioctl(descriptor, TIOCGSERIAL, &settings) != 0)
        return QtSerialLine::LowLatency::Refused;
    if (!(settings.flags & ASYNC_LOW_LATENCY)) {
        settings.flags |= ASYNC_LOW_LATENCY;
        // A driver may take the call and still keep the flag off, so it is read back.
        if (::ioctl(descriptor, TIOCSSERIAL, &settings) != 0 || !lowLatencyOn(descriptor))
            return QtSerialLine::LowLatency::Refused;
    }
    return QtSerialLine::LowLatency::Granted;
#else
    return QtSerialLine::LowLatency::NotRequested;
#endif
}

// Before the opening these are only recorded, so none of them can fail; the
// opening applies them all, or fails.
void applyLineSettings(QSerialPort& port, const SerialLineSettings& settings)
{
    port.setBaudRate(settings.baudRate);
    port.setDataBits(settings.dataBits);
    port.setParity(settings.parity);
    port.setStopBits(settings.stopBits);
    port.setFlowControl(settings.flowControl);
}

} // namespace

QtSerialLine::QtSerialLine(QObject* parent) : SerialLine(parent), m_serial(this)
{
    connect(&m_serial, &QSerialPort::readyRead, this, &SerialLine::received);
    connect(&m_serial, &QSerialPort::errorOccurred, this, &QtSerialLine::onErrorOccurred);
}

bool QtSerialLine::openControllerLine(const QString& device)
{
    if (m_serial.isOpen())
        return true;
    m_latency = LowLatency::NotRequested;
    m_device = device;
    // QSerialPort takes a lock of another program's format for stale while its process still
    // runs, and removes it; so another program's lock is looked at first, under either name.
    if (const Result<> cleared = clearStalePortLocks(device); !cleared) {
        m_error = cleared.reason();
        return false;
    }
    // QSerialPort locks the name it is given; other programs lock the device's own.
    m_serial.setPortName(deviceBehindLinks(device));
    applyLineSettings(m_serial, ControllerLineSettings);
    if (!m_serial.open(QIODevice::ReadWrite)) {
        m_error = openFailureText();
        m_serial.clearError();
        return false;
    }
    m_latency = requestLowLatency(m_serial);
    // A line without an RTS wire (a pseudo-terminal) refuses the setting and still carries data.
    m_serial.setRequestToSend(ControllerLineSettings.requestToSend);
    m_serial.clearError();
    m_serial.clear();
    m_error.clear();
    return true;
}

// QSerialPort refuses a port another program holds (its lock file, or the device opened
// exclusively) with the same permission error as a device the user may not open, and its
// own words for either send the user looking for the wrong fault.
QString QtSerialLine::openFailureText() const
{
    if (m_serial.error() == QSerialPort::PermissionError) {
#ifdef Q_OS_WIN
        return QStringLiteral("ポートは他のプログラムが使用中です");
#else
        // The path as given: QSerialPort's portName() has "/dev/" cut off.
        if (const std::optional<QString> reason = portRefusalText(m_device))
            return *reason;
#endif
    }
    return m_serial.errorString();
}

bool QtSerialLine::write(const QByteArray& bytes)
{
    if (!m_serial.isOpen()) {
        m_error = QStringLiteral("ポートが開いていません");
        return false;
    }
    if (m_serial.write(bytes) != bytes.size()) {
        m_error = m_serial.errorString();
        return false;
    }
    // Hand the bytes to the device now rather than on the next round of the event loop.
    m_serial.flush();
    return true;
}

QByteArray QtSerialLine::readAvailable()
{
    return m_serial.isOpen() ? m_serial.readAll() : QByteArray();
}

void QtSerialLine::close()
{
    if (m_serial.isOpen())
        m_serial.close();
    m_serial.clearError();
}

void QtSerialLine::onErrorOccurred(QSerialPort::SerialPortError error)
{
    const bool lineLost = error == QSerialPort::ResourceError || error == QSerialPort::ReadError ||
                          error == QSerialPort::WriteError;
    if (!m_serial.isOpen() || !lineLost)
        return;
    // Qt's own words name the last failing call ("Inappropriate ioctl for device" when a
    // pseudo-terminal hangs up), which tells the user nothing about the cable in their hand.
    m_error = QStringLiteral("デバイスが取り外されたか、応答しなくなりました");
    close();
    emit lost(m_error);
}
