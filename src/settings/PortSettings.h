#pragma once

#include "result/Result.h"
#include "settings/SettingsLocation.h"

#include <QString>
#include <QStringView>
#include <QtGlobal>
#include <optional>

// The ports as the settings files keep them, in the one layout the window,
// the serial port and the command-line writer read and write:
//
//   [Setting]
//   comport=COM3          the value the port box showed when the window last closed
//   [Ports]
//   COM3=/dev/ttyUSB0     what COM3 stands for: a device or a network port (on Windows a network port only)
//
// and the two values of the port box that name no port.
namespace PortSettings {

// What a look-up gives for a value the files do not hold, as the profile
// functions answer. The port box shows it as it is, and a window closed
// without a pick stores it.
inline constexpr QStringView NotStored = MissingINIValue;
// What the port box shows until a port is picked; stored, it makes the
// window ask for a port at start-up.
inline constexpr QStringView AskForPort = u"選択";

// The window's port as the port box shows it at start-up; NotStored where
// neither file holds one.
QString windowPort(const SettingsSnapshot& settings);
// Whether a file holds the window's port at all: a NotStored that a close
// wrote counts, a missing key does not.
bool windowPortStored(const SettingsSnapshot& settings);
// Stores what the port box shows as the window's port (SettingsLocation::store).
Result<> storeWindowPort(const SettingsLocation& location, const QString& port);

// The device or network port that [Ports] maps COM`port` to; nothing where
// the files map it to nothing (no key, an empty value, NotStored).
std::optional<QString> mappedDevice(const SettingsSnapshot& settings, qint16 port);

} // namespace PortSettings
