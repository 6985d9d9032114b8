#include "settings/PortSettings.h"

namespace {

const QString WindowSection = QStringLiteral("Setting");
const QString WindowPortKey = QStringLiteral("comport");
const QString PortsSection = QStringLiteral("Ports");

} // namespace

namespace PortSettings {

QString windowPort(const SettingsSnapshot& settings)
{
    return settings.value(WindowPortKey, WindowSection);
}

bool windowPortStored(const SettingsSnapshot& settings)
{
    return settings.storedValue(WindowPortKey, WindowSection).has_value();
}

Result<> storeWindowPort(const SettingsLocation& location, const QString& port)
{
    return location.store(port, WindowPortKey, WindowSection);
}

std::optional<QString> mappedDevice(const SettingsSnapshot& settings, qint16 port)
{
    const QString device = settings.value(QStringLiteral("COM%1").arg(port), PortsSection);
    if (device == NotStored || device.isEmpty())
        return std::nullopt;
    return device;
}

} // namespace PortSettings
