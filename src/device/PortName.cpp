#include "device/PortName.h"

#include "device/SettingsLocation.h"

namespace {
constexpr qint16 HighestPort = 20;

QString comName(qint16 port)
{
    return QStringLiteral("COM%1").arg(port);
}
} // namespace

qint16 portNumberOf(const QString& portName)
{
    for (qint16 port = 1; port <= HighestPort; ++port) {
        if (portName == comName(port))
            return port;
    }
    return 0;
}

QString portDeviceName(qint16 port, const SettingsLocation& settings)
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
