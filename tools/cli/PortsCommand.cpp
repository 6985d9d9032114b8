#include "PortsCommand.h"

#include "Output.h"
#include "serial/PortAccess.h"
#include "serial/PortName.h"
#include "serial/SerialDevices.h"
#include "settings/PortSettings.h"
#include "settings/SettingsLocation.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <optional>
#include <vector>

namespace {

// What `ports` says, gathered once for either form.
struct DeviceFacts
{
    SerialDevice device;
    std::optional<QString> accessProblem; // portUseProblem
};

struct ComPortFacts
{
    QString port;                         // "COM3"
    QString device;                       // what it stands for: a device's path or a network port
    bool mapped = false;                  // [Ports] names its device
    std::optional<bool> connected;        // nothing for a network port, known only by connecting
    QString description;                  // the port picker's tool tip
    std::optional<QString> accessProblem; // nothing for a network port, which has no lock and no rights
};

struct WindowPortFacts
{
    QString port; // as the port box shows it
    bool stored = false;
    QString device; // empty where the value names no port
    QString description;
    std::optional<QString> accessProblem;
};

struct PortsFacts
{
    std::vector<DeviceFacts> devices;
    QStringList settingsFiles; // the one read first first, as the user writes paths
    std::vector<ComPortFacts> comPorts;
    WindowPortFacts windowPort;
};

// Whether a device can be reached: listed by the system, or there all the same (a
// pseudo-terminal, a built-in port without its chip), as the port picker's tool tip says.
bool connected(const QList<SerialDevice>& present, const QString& device)
{
    if (device.isEmpty())
        return false;
    if (findDevice(present, device))
        return true;
#ifdef Q_OS_WIN
    return false;
#else
    return QFileInfo::exists(device);
#endif
}

PortsFacts gather(const SettingsLocation& location)
{
    PortsFacts facts;
    const QList<SerialDevice> present = presentSerialDevices();
    // Each device name is looked at once, however many lines name it (lock files go by the name).
    QHash<QString, std::optional<QString>> problems;
    const auto problemOf = [&problems](const QString& device) -> std::optional<QString> {
        if (device.isEmpty() || isUrlName(device))
            return std::nullopt;
        if (!problems.contains(device))
            problems.insert(device, portUseProblem(device));
        return problems.value(device);
    };

    for (const SerialDevice& device : present)
        facts.devices.push_back({device, problemOf(device.path)});

    facts.settingsFiles << QDir::toNativeSeparators(location.file());
    if (!location.fallbackFile().isEmpty())
        facts.settingsFiles << QDir::toNativeSeparators(location.fallbackFile());

    // Read once for every look-up below.
    const SettingsSnapshot settings = location.read();
    for (qint16 port = 1; port <= HighestComPort; ++port) {
        ComPortFacts com;
        com.port = comPortName(port);
        com.device = portDeviceName(port, settings);
#ifdef Q_OS_WIN
        // Windows' COMn are its own ports unless [Ports] sends one to the network.
        com.mapped = isUrlName(com.device);
#else
        com.mapped = PortSettings::mappedDevice(settings, port).has_value();
#endif
        if (!isUrlName(com.device))
            com.connected = connected(present, com.device);
        com.description = portNameToolTip(com.port, settings, present);
        com.accessProblem = problemOf(com.device);
        facts.comPorts.push_back(com);
    }

    WindowPortFacts& window = facts.windowPort;
    window.port = PortSettings::windowPort(settings);
    window.stored = PortSettings::windowPortStored(settings);
    window.device = deviceOfPortName(window.port, settings);
    window.description = portNameToolTip(window.port, settings, present);
    window.accessProblem = problemOf(window.device);
    return facts;
}

// The text for people. A device's access problem is said once, under the first line that
// names the device.
QString portsText(const PortsFacts& facts)
{
    QStringList lines;
    QStringList noted;
    const auto noteAccess = [&](const QString& device, const std::optional<QString>& problem) {
        if (device.isEmpty() || noted.contains(device))
            return;
        noted << device;
        if (problem)
            lines << QStringLiteral("    ") + *problem;
    };

    lines << QStringLiteral("シリアルデバイス：");
    if (facts.devices.empty())
        lines << QStringLiteral("  接続されているシリアルデバイスはありません。");
    for (const DeviceFacts& present : facts.devices) {
        lines << QStringLiteral("  ") + present.device.path;
        lines << QStringLiteral("    ") +
                     deviceDetails(present.device).replace(QLatin1Char('\n'), QStringLiteral("\n    "));
        noteAccess(present.device.path, present.accessProblem);
    }

    lines << QString();
    lines << QStringLiteral("COM ポート（設定ファイル %1）：")
                 .arg(facts.settingsFiles.join(QStringLiteral("、次に ")));
#ifdef Q_OS_WIN
    lines << QStringLiteral("  COMn は Windows の同じ名前のポートです。");
#else
    bool mapped = false;
    for (const ComPortFacts& com : facts.comPorts) {
        if (!com.mapped)
            continue;
        mapped = true;
        lines << QStringLiteral("  ") + com.description;
        noteAccess(com.device, com.accessProblem);
    }
    lines << (mapped ? QStringLiteral("  [Ports] にないほかの COMn は /dev/ttyS(n-1) です。")
                     : QStringLiteral("  [Ports] の割り当てはありません。COMn は /dev/ttyS(n-1) です。"));
#endif

    const WindowPortFacts& window = facts.windowPort;
    if (window.port != PortSettings::NotStored) {
        lines
            << QStringLiteral("ウィンドウで選ばれているポート：%1 — %2").arg(window.port, window.description);
        noteAccess(window.device, window.accessProblem);
    } else if (!window.stored) {
        // The window shows the look-up's answer for a missing value as it is.
        lines << QStringLiteral("ウィンドウで選ばれているポート：まだありません（ポート欄には「ERROR」と"
                                "表示されます。ポートを選ばずに閉じると ERROR が保存されます）");
    } else {
        lines << QStringLiteral("ウィンドウで選ばれているポート：ERROR（ポートを選ばずにウィンドウを"
                                "閉じたときに保存される値です。ウィンドウでポートを選んでください）");
    }
    return lines.join(QLatin1Char('\n'));
}

// A text, or null where there is none.
QJsonValue textOrNull(const std::optional<QString>& text)
{
    return text ? QJsonValue(*text) : QJsonValue(QJsonValue::Null);
}

QJsonValue textOrNull(const QString& text)
{
    return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

// What a network port is, or null for any other device: its protocol ("tcp", "rfc2217"), host and port.
QJsonValue networkObject(const QString& device)
{
    const std::optional<NetworkPort> network = networkPortOf(device);
    if (!network)
        return QJsonValue::Null;
    return QJsonObject{{QStringLiteral("protocol"), network->protocol == NetworkPort::Protocol::Rfc2217
                                                        ? QStringLiteral("rfc2217")
                                                        : QStringLiteral("tcp")},
                       {QStringLiteral("host"), network->host},
                       {QStringLiteral("port"), network->port}};
}

// The same facts for scripts: keys in English, texts for people in their words.
QJsonObject portsDocument(const PortsFacts& facts)
{
    QJsonArray devices;
    for (const DeviceFacts& present : facts.devices)
        devices.append(QJsonObject{{QStringLiteral("path"), present.device.path},
                                   {QStringLiteral("description"), present.device.description},
                                   {QStringLiteral("manufacturer"), present.device.manufacturer},
                                   {QStringLiteral("serialNumber"), present.device.serialNumber},
                                   {QStringLiteral("accessProblem"), textOrNull(present.accessProblem)}});

    QJsonArray comPorts;
    for (const ComPortFacts& com : facts.comPorts)
        comPorts.append(
            QJsonObject{{QStringLiteral("port"), com.port},
                        {QStringLiteral("device"), com.device},
                        {QStringLiteral("mapped"), com.mapped},
                        {QStringLiteral("connected"),
                         com.connected ? QJsonValue(*com.connected) : QJsonValue(QJsonValue::Null)},
                        {QStringLiteral("network"), networkObject(com.device)},
                        {QStringLiteral("accessProblem"), textOrNull(com.accessProblem)}});

    // What the window's port box shows: the stored port, or "ERROR" for none stored.
    const WindowPortFacts& window = facts.windowPort;
    const QJsonObject chosenPort{{QStringLiteral("port"), window.port},
                                 {QStringLiteral("stored"), window.stored},
                                 {QStringLiteral("device"), textOrNull(window.device)},
                                 {QStringLiteral("network"), networkObject(window.device)}};

    return {{QStringLiteral("devices"), devices},
            {QStringLiteral("settingsFiles"), QJsonArray::fromStringList(facts.settingsFiles)},
            {QStringLiteral("comPorts"), comPorts},
            {QStringLiteral("chosenPort"), chosenPort}};
}

} // namespace

int listPorts(const SettingsLocation& location, bool json)
{
    const PortsFacts facts = gather(location);
    if (json)
        printJson(portsDocument(facts));
    else
        printLine(stdout, portsText(facts));
    return 0;
}
