#include "serial/PortName.h"

#include "settings/SettingsLocation.h"

#include <QDir>

namespace {
QString comName(qint16 port)
{
    return QStringLiteral("COM%1").arg(port);
}
} // namespace

qint16 portNumberOf(const QString& portName)
{
    for (qint16 port = 1; port <= HighestComPort; ++port) {
        if (portName == comName(port))
            return port;
    }
    return 0;
}

QString portDeviceName(qint16 port, const SettingsSnapshot& settings)
{
    if (port < 1)
        return {};
#ifdef Q_OS_WIN
    Q_UNUSED(settings);
    return comName(port);
#else
    const QString mapped = settings.value(comName(port), QStringLiteral("Ports"));
    if (mapped != QLatin1String("ERROR") && !mapped.isEmpty())
        return mapped;
    return QStringLiteral("/dev/ttyS%1").arg(port - 1);
#endif
}

bool isDevicePath(const QString& portName)
{
#ifdef Q_OS_WIN
    // Windows numbers its serial ports up to COM256; the list holds the first twenty.
    bool isNumber = false;
    const int number = portName.mid(3).toInt(&isNumber);
    return portName.startsWith(QLatin1String("COM")) && isNumber && number > HighestComPort &&
           number <= 256 && portName == comName(qint16(number));
#else
    const QLatin1String devices("/dev/");
    if (!portName.startsWith(devices) || portName.size() == devices.size())
        return false;
    for (const QChar c : portName)
        if (c.unicode() <= 0x20 || c.unicode() >= 0x7f)
            return false;
    return QDir::cleanPath(portName) == portName;
#endif
}

QString deviceOfPortName(const QString& portName, const SettingsSnapshot& settings)
{
    if (isDevicePath(portName))
        return portName;
    return portDeviceName(portNumberOf(portName), settings);
}
