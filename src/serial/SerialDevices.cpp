#include "serial/SerialDevices.h"

#include "serial/PortName.h"
#include "settings/PortSettings.h"

#include <QCollator>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QStringList>
#include <algorithm>

namespace {

// How a user names the device: its path, or on Windows the port's own name (the system's
// location there is "\\.\COM4", the form that opens it).
QString userPathOf(const QSerialPortInfo& info)
{
#ifdef Q_OS_WIN
    return info.portName();
#else
    return info.systemLocation();
#endif
}

} // namespace

QList<SerialDevice> presentSerialDevices()
{
    QList<SerialDevice> devices;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        devices.append({userPathOf(info), info.description(), info.manufacturer(), info.serialNumber()});
    QCollator order;
    order.setNumericMode(true);
    std::sort(devices.begin(), devices.end(), [&](const SerialDevice& a, const SerialDevice& b) {
        return order.compare(a.path, b.path) < 0;
    });
    return devices;
}

QString deviceDetails(const SerialDevice& device)
{
    QStringList lines;
    if (!device.description.isEmpty())
        lines << QStringLiteral("説明：%1").arg(device.description);
    if (!device.manufacturer.isEmpty())
        lines << QStringLiteral("メーカー：%1").arg(device.manufacturer);
    if (!device.serialNumber.isEmpty())
        lines << QStringLiteral("シリアル番号：%1").arg(device.serialNumber);
    if (lines.isEmpty())
        return QStringLiteral("（システムからの説明はありません）");
    return lines.join(QLatin1Char('\n'));
}

QString deviceSummary(const SerialDevice& device)
{
    const QString what = device.description.isEmpty() ? device.manufacturer : device.description;
    return what.isEmpty() ? device.path : QStringLiteral("%1（%2）").arg(device.path, what);
}

std::optional<SerialDevice> findDevice(const QList<SerialDevice>& present, const QString& path)
{
#ifdef Q_OS_WIN
    // A port's name is no file: asking the file system about "COM1" would open the port.
    for (const SerialDevice& device : present) {
        if (device.path.compare(path, Qt::CaseInsensitive) == 0)
            return device;
    }
    return std::nullopt;
#else
    const QString target = QFileInfo(path).canonicalFilePath();
    for (const SerialDevice& device : present) {
        if (device.path == path ||
            (!target.isEmpty() && QFileInfo(device.path).canonicalFilePath() == target))
            return device;
    }
    return std::nullopt;
#endif
}

QString portNameToolTip(const QString& portName, const SettingsSnapshot& settings,
                        const QList<SerialDevice>& present)
{
    const QString device = deviceOfPortName(portName, settings);
    if (device.isEmpty()) {
        if (portName.isEmpty() || portName == PortSettings::AskForPort)
            return QStringLiteral("ポートが選ばれていません");
        return QStringLiteral("「%1」はポートの名前ではありません").arg(portName);
    }
    // A COMn that stands for a device of another name shows both.
    const QString prefix = device == portName ? QString() : portName + QStringLiteral(" → ");
    if (isUrlName(device)) {
        const std::optional<NetworkPort> network = networkPortOf(device);
        if (!network)
            return prefix + notANetworkPortText(device);
        return prefix + device +
               (network->protocol == NetworkPort::Protocol::Rfc2217
                    ? QStringLiteral("（ネットワークのポート、RFC 2217：回線の設定もサーバーに送ります）")
                    : QStringLiteral("（ネットワークのポート、TCP：回線の設定はサーバーのとおり）"));
    }
    if (const std::optional<SerialDevice> found = findDevice(present, device))
        return prefix + deviceSummary(SerialDevice{device, found->description, found->manufacturer, {}});
#ifndef Q_OS_WIN
    // The system lists no pseudo-terminals and no built-in port without its chip, yet they can be opened.
    if (QFileInfo::exists(device))
        return prefix + device;
#endif
    return prefix + QStringLiteral("%1（接続されていません）").arg(device);
}

QString presentDevicesText(const QList<SerialDevice>& present)
{
    if (present.isEmpty())
        return QStringLiteral("接続されているシリアルデバイスはありません。");
    QStringList names;
    for (const SerialDevice& device : present)
        names << deviceSummary(device);
    return QStringLiteral("接続されているシリアルデバイス：%1").arg(names.join(QStringLiteral("、")));
}
