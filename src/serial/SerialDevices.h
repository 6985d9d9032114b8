#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <optional>

class SettingsSnapshot;

// A serial device the system reports, with what it says of it. The port
// picker lists these after COM20, and failure reasons and the command-line
// writer name them, so a user can find the adapter without knowing its path.
struct SerialDevice
{
    QString path; // "/dev/ttyUSB0"; on Windows the port's name, "COM4"
    QString description;
    QString manufacturer;
    QString serialNumber;

    friend bool operator==(const SerialDevice&, const SerialDevice&) = default;
};

// Where the list of present devices comes from: the system by default, a
// fixed list in tests (the system does not report pseudo-terminals).
using SerialDeviceList = std::function<QList<SerialDevice>()>;

// The serial devices the system reports now (QSerialPortInfo), ordered by
// path with numbers by value: /dev/ttyUSB2 before /dev/ttyUSB10.
QList<SerialDevice> presentSerialDevices();

// What the system says of a device, one "label: value" line each for the
// description, the maker and the serial number it gave.
QString deviceDetails(const SerialDevice& device);

// "/dev/ttyUSB0（FT232R USB UART）": the path with the description, or the
// maker where there is none.
QString deviceSummary(const SerialDevice& device);

// The present device at `path`, also when the path is a link to it
// (/dev/serial/by-id/...).
std::optional<SerialDevice> findDevice(const QList<SerialDevice>& present, const QString& path);

// What the port picker's tool tip says of the value it shows: which device a
// COMn or a device path stands for and what it is, or that it is not there,
// or that the value names no port.
QString portNameToolTip(const QString& portName, const SettingsSnapshot& settings,
                        const QList<SerialDevice>& present);

// One line for a failure reason: which serial devices are present, or that there are none.
QString presentDevicesText(const QList<SerialDevice>& present);
