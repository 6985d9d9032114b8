#include "JsonReport.h"

#include "ChartReport.h"
#include "chart/CellMapping.h"
#include "chart/ElementTable.h"
#include "serial/PortAccess.h"
#include "serial/PortName.h"
#include "settings/SettingsLocation.h"
#include "transfer/SendRule.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>

namespace {

// A text, or null where there is none.
QJsonValue textOrNull(const std::optional<QString>& text)
{
    return text ? QJsonValue(*text) : QJsonValue(QJsonValue::Null);
}

QJsonValue textOrNull(const QString& text)
{
    return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

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

QJsonObject groupObject(int group, const GroupContents& contents)
{
    QJsonArray elements;
    for (const ElementRow& row : ElementTable)
        if (const int cells = contents.elementCells[std::size_t(row.ordinal)]; cells > 0)
            elements.append(QJsonObject{{QStringLiteral("element"), QString::fromLatin1(row.caption)},
                                        {QStringLiteral("cells"), cells}});
    QJsonArray others;
    for (const auto& [text, cells] : contents.otherValues)
        others.append(QJsonObject{{QStringLiteral("value"), text}, {QStringLiteral("cells"), cells}});
    return {{QStringLiteral("group"), QString(groupLetter(group))},
            {QStringLiteral("elements"), elements},
            {QStringLiteral("otherValues"), others}};
}

} // namespace

QJsonValue sendFaultJson(const std::optional<SendFault>& fault)
{
    if (!fault)
        return QJsonValue::Null;
    if (fault->kind == SendFault::Kind::StepCount)
        return QJsonObject{{QStringLiteral("kind"), QStringLiteral("stepCount")},
                           {QStringLiteral("stepCount"), fault->stepCount},
                           {QStringLiteral("text"), sendFaultText(*fault)}};
    return QJsonObject{{QStringLiteral("kind"), QStringLiteral("cell")},
                       {QStringLiteral("step"), fault->step + 1},
                       {QStringLiteral("channel"), channelName(fault->channel)},
                       {QStringLiteral("value"), valueAsItStands(fault->value)},
                       {QStringLiteral("text"), sendFaultText(*fault)}};
}

namespace {

QJsonObject fileObject(const QString& file, const PatternFileContent& content)
{
    return {{QStringLiteral("file"), file}, {QStringLiteral("stepCount"), content.stepCount}};
}

} // namespace

QJsonObject portsDocument(const QList<SerialDevice>& present, const SettingsLocation& location)
{
    QJsonArray devices;
    for (const SerialDevice& device : present)
        devices.append(
            QJsonObject{{QStringLiteral("path"), device.path},
                        {QStringLiteral("description"), device.description},
                        {QStringLiteral("manufacturer"), device.manufacturer},
                        {QStringLiteral("serialNumber"), device.serialNumber},
                        {QStringLiteral("accessProblem"), textOrNull(portUseProblem(device.path))}});

    QJsonArray files{QDir::toNativeSeparators(location.file())};
    if (!location.fallbackFile().isEmpty())
        files.append(QDir::toNativeSeparators(location.fallbackFile()));

    const SettingsSnapshot settings = location.read();
    QJsonArray comPorts;
    for (qint16 port = 1; port <= HighestComPort; ++port) {
        const QString name = QStringLiteral("COM%1").arg(port);
        const QString device = portDeviceName(port, settings);
#ifdef Q_OS_WIN
        const bool mapped = false;
#else
        const QString value = settings.value(name, QStringLiteral("Ports"));
        const bool mapped = value != QLatin1String("ERROR") && !value.isEmpty();
#endif
        comPorts.append(
            QJsonObject{{QStringLiteral("port"), name},
                        {QStringLiteral("device"), device},
                        {QStringLiteral("mapped"), mapped},
                        // Whether a server's port answers is known only by connecting to it.
                        {QStringLiteral("connected"),
                         isUrlName(device) ? QJsonValue(QJsonValue::Null) : connected(present, device)},
                        {QStringLiteral("network"), networkObject(device)},
                        {QStringLiteral("accessProblem"),
                         isUrlName(device) ? QJsonValue(QJsonValue::Null) : textOrNull(portUseProblem(device))}});
    }

    // What the window's port box shows: the stored port, or "ERROR" for none stored.
    const QString comport = QStringLiteral("comport");
    const QString section = QStringLiteral("Setting");
    const QString chosen = settings.value(comport, section);
    const QJsonObject chosenPort{
        {QStringLiteral("port"), chosen},
        {QStringLiteral("stored"), settings.storedValue(comport, section).has_value()},
        {QStringLiteral("device"), textOrNull(deviceOfPortName(chosen, settings))},
        {QStringLiteral("network"), networkObject(deviceOfPortName(chosen, settings))}};

    return {{QStringLiteral("devices"), devices},
            {QStringLiteral("settingsFiles"), files},
            {QStringLiteral("comPorts"), comPorts},
            {QStringLiteral("chosenPort"), chosenPort}};
}

QJsonObject checkDocument(const QString& file, const PatternFileContent& content)
{
    QJsonArray groups;
    const std::array<GroupContents, Groups> contents = groupContents(content);
    for (int group = 0; group < Groups; ++group)
        groups.append(groupObject(group, contents[std::size_t(group)]));
    QJsonObject document = fileObject(file, content);
    document.insert(QStringLiteral("stepsInUse"), stepsInUse(content.stepCount));
    document.insert(QStringLiteral("groups"), groups);
    document.insert(QStringLiteral("firstUnsendable"),
                    sendFaultJson(firstSendFault(content.chart, content.stepCount)));
    return document;
}

QJsonObject diffDocument(const QString& file, const PatternFileContent& before, const QString& otherFile,
                         const PatternFileContent& after, const ChartChange& change)
{
    QJsonArray cells;
    for (const CellEdit& edit : change.cells)
        cells.append(
            QJsonObject{{QStringLiteral("group"), QString(groupLetter(edit.cell.channel / ChannelsPerGroup))},
                        {QStringLiteral("channel"), channelName(edit.cell.channel)},
                        {QStringLiteral("step"), edit.cell.step + 1},
                        {QStringLiteral("before"), shown(edit.before)},
                        {QStringLiteral("after"), shown(edit.after)}});
    return {{QStringLiteral("before"), fileObject(file, before)},
            {QStringLiteral("after"), fileObject(otherFile, after)},
            {QStringLiteral("same"), change.isEmpty()},
            {QStringLiteral("cells"), cells}};
}
