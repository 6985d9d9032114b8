#include "serial/CommControl.h"

#include "serial/PortAccess.h"
#include "serial/PortName.h"

#include <QMetaObject>
#include <QStringList>
#include <utility>

#ifdef Q_OS_LINUX
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

namespace {
const std::pair<QLatin1String, QSerialPort::Parity> parities[] = {
    {QLatin1String("n"), QSerialPort::NoParity},    {QLatin1String("e"), QSerialPort::EvenParity},
    {QLatin1String("o"), QSerialPort::OddParity},   {QLatin1String("m"), QSerialPort::MarkParity},
    {QLatin1String("s"), QSerialPort::SpaceParity},
};

const std::pair<QLatin1String, QSerialPort::StopBits> stopBitCounts[] = {
    {QLatin1String("1"), QSerialPort::OneStop},
    {QLatin1String("1.5"), QSerialPort::OneAndHalfStop},
    {QLatin1String("2"), QSerialPort::TwoStop},
};

template <typename Value, std::size_t Size>
std::optional<Value> lookUp(const std::pair<QLatin1String, Value> (&table)[Size], const QString& text)
{
    for (const auto& [name, value] : table) {
        if (text == name)
            return value;
    }
    return std::nullopt;
}

#ifdef Q_OS_LINUX
bool lowLatencyOn(int descriptor)
{
    serial_struct settings{};
    return ::ioctl(descriptor, TIOCGSERIAL, &settings) == 0 && (settings.flags & ASYNC_LOW_LATENCY);
}
#endif

CommControl::LowLatency requestLowLatency([[maybe_unused]] QSerialPort& port)
{
#ifdef Q_OS_LINUX
    const int descriptor = port.handle();
    serial_struct settings{};
    if (::ioctl(descriptor, TIOCGSERIAL, &settings) != 0)
        return CommControl::LowLatency::Refused;
    if (!(settings.flags & ASYNC_LOW_LATENCY)) {
        settings.flags |= ASYNC_LOW_LATENCY;
        // A driver may take the call and still keep the flag off, so it is read back.
        if (::ioctl(descriptor, TIOCSSERIAL, &settings) != 0 || !lowLatencyOn(descriptor))
            return CommControl::LowLatency::Refused;
    }
    return CommControl::LowLatency::Granted;
#else
    return CommControl::LowLatency::NotRequested;
#endif
}
} // namespace

CommControl::CommControl(const SettingsLocation& settings, QObject* parent)
    : QObject(parent), serial(this), settingsFiles(settings)
{
    connect(&serial, &QSerialPort::readyRead, this, &CommControl::raiseReceiveEvent);
    connect(&serial, &QSerialPort::bytesWritten, this, &CommControl::onBytesWritten);
    connect(&serial, &QSerialPort::errorOccurred, this, &CommControl::onErrorOccurred);
}

bool CommControl::setCommPort(qint16 newPort)
{
    if (opened)
        return fail(Failure::PortIsOpen, QStringLiteral("ポートを開いている間はポートを変えられません"));
    port = newPort;
    devicePath.clear();
    return true;
}

bool CommControl::setPort(const QString& portName)
{
    if (!setCommPort(portNumberOf(portName)))
        return false;
    if (isDevicePath(portName))
        devicePath = portName;
    return true;
}

std::optional<CommControl::LineSettings> CommControl::parseSettings(const QString& text)
{
    const QStringList fields = text.split(QLatin1Char(','));
    if (fields.size() != 4)
        return std::nullopt;
    LineSettings parsed;
    bool ok = false;
    parsed.baudRate = fields[0].trimmed().toInt(&ok);
    if (!ok || parsed.baudRate <= 0)
        return std::nullopt;

    const std::optional<QSerialPort::Parity> parity = lookUp(parities, fields[1].trimmed().toLower());
    if (!parity)
        return std::nullopt;
    parsed.parity = *parity;

    const int dataBits = fields[2].trimmed().toInt(&ok);
    if (!ok || dataBits < 5 || dataBits > 8)
        return std::nullopt;
    parsed.dataBits = static_cast<QSerialPort::DataBits>(dataBits);

    const std::optional<QSerialPort::StopBits> stopBits = lookUp(stopBitCounts, fields[3].trimmed());
    if (!stopBits)
        return std::nullopt;
    parsed.stopBits = *stopBits;
    return parsed;
}

bool CommControl::setSettings(const QString& settings)
{
    const std::optional<LineSettings> parsed = parseSettings(settings);
    if (!parsed) {
        return fail(
            Failure::BadSettings,
            QStringLiteral("通信設定「%1」は「速度,パリティ,データビット,ストップビット」の形ではありません")
                .arg(settings));
    }
    settingsText = settings;
    line = *parsed;
    return !opened || applyLineSettings();
}

bool CommControl::setHandshaking(int mode)
{
    if (mode < 0 || mode > 3)
        return fail(Failure::BadSettings,
                    QStringLiteral("フロー制御 %1 は 0 から 3 のどれでもありません").arg(mode));
    handshaking = mode;
    return !opened || applyLineSettings();
}

void CommControl::setRTSEnable(bool enable)
{
    rtsEnable = enable;
    if (opened)
        applyRequestToSend();
}

void CommControl::setRThreshold(int count)
{
    receiveThreshold = count;
    if (opened)
        scheduleReceiveEvent();
}

QString CommControl::deviceName() const
{
    return devicePath.isEmpty() ? portDeviceName(port, settingsFiles) : devicePath;
}

QString CommControl::portLabel() const
{
    return devicePath.isEmpty() ? QStringLiteral("COM%1 (%2)").arg(port).arg(device) : device;
}

bool CommControl::fail(Failure kind, const QString& reason)
{
    failure = kind;
    failureText = reason;
    return false;
}

// Before opening the port only records these; once open they reach the line.
bool CommControl::applyLineSettings()
{
    const QSerialPort::FlowControl flow = handshaking == 0   ? QSerialPort::NoFlowControl
                                          : handshaking == 1 ? QSerialPort::SoftwareControl
                                                             : QSerialPort::HardwareControl;
    const bool applied = serial.setBaudRate(line.baudRate) && serial.setParity(line.parity) &&
                         serial.setDataBits(line.dataBits) && serial.setStopBits(line.stopBits) &&
                         serial.setFlowControl(flow);
    if (!applied) {
        const QString reason = QStringLiteral("%1: 通信設定「%2」を受け付けません: %3")
                                   .arg(portLabel(), settingsText, serial.errorString());
        serial.clearError();
        return fail(Failure::BadSettings, reason);
    }
    return true;
}

// RTS is the flow control's own with hardware handshaking. A line without
// an RTS wire refuses the setting; the port still carries data.
void CommControl::applyRequestToSend()
{
    if (serial.flowControl() == QSerialPort::HardwareControl)
        return;
    serial.setRequestToSend(rtsEnable);
    serial.clearError();
}

bool CommControl::setPortOpen(bool open)
{
    if (!open) {
        closePort();
        return true;
    }
    if (opened)
        return true;
    latency = LowLatency::NotRequested;
    device = deviceName();
    if (device.isEmpty())
        return fail(Failure::NoPort, QStringLiteral("ポートが選ばれていません"));
    serial.setPortName(device);
    if (!applyLineSettings())
        return false;
    if (!serial.open(QIODevice::ReadWrite)) {
        const QString reason = QStringLiteral("%1: %2").arg(portLabel(), openFailureText());
        serial.clearError();
        return fail(Failure::OpenFailed, reason);
    }
    opened = true;
    latency = requestLowLatency(serial);
    applyRequestToSend();
    // Late replies to an earlier transfer must not be taken for answers to this one.
    serial.clear();
    failure = Failure::None;
    failureText.clear();
    return true;
}

// QSerialPort refuses a port another program holds (its lock file, or the device opened
// exclusively) with the same permission error as a device the user may not open, and its
// own words for either send the user looking for the wrong fault.
QString CommControl::openFailureText() const
{
    if (serial.error() == QSerialPort::PermissionError) {
#ifdef Q_OS_WIN
        return QStringLiteral("ポートは他のプログラムが使用中です");
#else
        if (const std::optional<QString> reason = portRefusalText(device))
            return *reason;
#endif
    }
    return serial.errorString();
}

void CommControl::closePort()
{
    opened = false;
    if (serial.isOpen())
        serial.close();
    serial.clearError();
}

bool CommControl::Output(const QByteArray& data)
{
    if (!opened)
        return fail(Failure::NotOpen, QStringLiteral("ポートが開いていません"));
    if (serial.write(data) != data.size())
        return fail(Failure::DeviceLost, QStringLiteral("%1: %2").arg(portLabel(), serial.errorString()));
    // Hand the bytes to the device now rather than on the next round of the event loop.
    serial.flush();
    return true;
}

QByteArray CommControl::Input()
{
    if (!opened) {
        fail(Failure::NotOpen, QStringLiteral("ポートが開いていません"));
        return {};
    }
    return inputLength > 0 ? serial.read(inputLength) : serial.readAll();
}

qint64 CommControl::InBufferCount() const
{
    return opened ? serial.bytesAvailable() : 0;
}

// The first receive event is raised from the port's own signal, as soon as
// characters arrive (the port has finished with its buffer by then, so a
// handler may read, write or close); events for characters still waiting
// after a handler took its share are raised from the event loop.
void CommControl::scheduleReceiveEvent()
{
    if (receiveEventQueued)
        return;
    receiveEventQueued = true;
    QMetaObject::invokeMethod(this, &CommControl::raiseReceiveEvent, Qt::QueuedConnection);
}

void CommControl::raiseReceiveEvent()
{
    receiveEventQueued = false;
    if (!opened || receiveThreshold <= 0)
        return;
    const qint64 waiting = serial.bytesAvailable();
    if (waiting < receiveThreshold)
        return;
    lastEvent = EventReceive;
    emit OnComm();
    // A handler that takes one character per read needs an event for each
    // of the rest. One that took nothing hears again only when more
    // characters come; repeating at once would spin for ever.
    if (!opened)
        return;
    const qint64 left = serial.bytesAvailable();
    if (left >= receiveThreshold && left < waiting)
        scheduleReceiveEvent();
}

void CommControl::onBytesWritten()
{
    if (!opened || sendThreshold <= 0 || serial.bytesToWrite() >= sendThreshold)
        return;
    lastEvent = EventSend;
    emit OnComm();
}

void CommControl::onErrorOccurred(QSerialPort::SerialPortError error)
{
    const bool lineLost = error == QSerialPort::ResourceError || error == QSerialPort::ReadError ||
                          error == QSerialPort::WriteError;
    if (!opened || !lineLost)
        return;
    // Qt's own words name the last failing call ("Inappropriate ioctl for device" when a
    // pseudo-terminal hangs up), which tells the user nothing about the cable in their hand.
    const QString reason =
        QStringLiteral("%1: デバイスが取り外されたか、応答しなくなりました").arg(portLabel());
    closePort();
    fail(Failure::DeviceLost, reason);
    emit portFailed(reason);
}

void configureControllerPort(CommControl& port, const QString& portName)
{
    port.setPort(portName);
    port.setSettings(QStringLiteral("57600,n,8,1"));
    port.setHandshaking(0);
    port.setRTSEnable(false);
    port.setSThreshold(1);
    port.setRThreshold(1);
}
