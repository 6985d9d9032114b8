#include "serial/PortName.h"

#include "settings/PortSettings.h"

#include <QDir>
#include <QUrl>

QString comPortName(qint16 port)
{
    return QStringLiteral("COM%1").arg(port);
}

qint16 portNumberOf(const QString& portName)
{
    for (qint16 port = 1; port <= HighestComPort; ++port) {
        if (portName == comPortName(port))
            return port;
    }
    return 0;
}

QString portDeviceName(qint16 port, const SettingsSnapshot& settings)
{
    if (port < 1)
        return {};
#ifdef Q_OS_WIN
    // Windows' COMn are the system's own ports; [Ports] can only send one to a port on the network.
    if (std::optional<QString> mapped = PortSettings::mappedDevice(settings, port);
        mapped && isUrlName(*mapped))
        return *mapped;
    return comPortName(port);
#else
    return PortSettings::mappedDevice(settings, port).value_or(QStringLiteral("/dev/ttyS%1").arg(port - 1));
#endif
}

bool isDevicePath(const QString& portName)
{
#ifdef Q_OS_WIN
    // Windows numbers its serial ports up to COM256; the list holds the first twenty.
    bool isNumber = false;
    const int number = portName.mid(3).toInt(&isNumber);
    return portName.startsWith(QLatin1String("COM")) && isNumber && number > HighestComPort &&
           number <= 256 && portName == comPortName(qint16(number));
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

bool isUrlName(const QString& name)
{
    return name.contains(QLatin1String("://"));
}

std::optional<NetworkPort> networkPortOf(const QString& portName)
{
    NetworkPort::Protocol protocol;
    if (portName.startsWith(QLatin1String("tcp://")))
        protocol = NetworkPort::Protocol::Raw;
    else if (portName.startsWith(QLatin1String("rfc2217://")))
        protocol = NetworkPort::Protocol::Rfc2217;
    else
        return std::nullopt;
    // Whatever else a URL may hold (a user, a path, a query) would be dropped without a word.
    const QUrl url(portName, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || url.port() < 1 || !url.userInfo().isEmpty() ||
        !url.path().isEmpty() || url.hasQuery() || url.hasFragment())
        return std::nullopt;
    return NetworkPort{protocol, url.host(), quint16(url.port())};
}

bool isNetworkPort(const QString& portName)
{
    return networkPortOf(portName).has_value();
}

QString notANetworkPortText(const QString& name)
{
    return QStringLiteral("「%1」はネットワークポートの名前ではありません（tcp://ホスト:ポート番号、または "
                          "rfc2217://ホスト:ポート番号。ポート番号は 1～65535）")
        .arg(name);
}

QString networkEndpoint(const NetworkPort& port)
{
    const QString host = port.host.contains(QLatin1Char(':'))
                             ? QLatin1Char('[') + port.host + QLatin1Char(']')
                             : port.host.toLower();
    return host + QLatin1Char(':') + QString::number(port.port);
}

QString deviceOfPortName(const QString& portName, const SettingsSnapshot& settings)
{
    if (isDevicePath(portName) || isUrlName(portName))
        return portName;
    return portDeviceName(portNumberOf(portName), settings);
}
