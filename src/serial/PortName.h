#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

class SettingsSnapshot;

// The port picker's fixed list: "COM1" to this.
inline constexpr qint16 HighestComPort = 20;

// "COM3" for port 3.
QString comPortName(qint16 port);

// The serial port named by the text of the port picker: "COM1" to "COM20"
// give 1 to 20, exactly as written; anything else (other case, leading
// zeros, blanks, higher numbers, "選択", "ERROR", empty) gives 0, no port.
qint16 portNumberOf(const QString& portName);

// The device that serial port `port` stands for, or an empty text for a
// port number below 1: the value of the key "COMn" in the section "Ports" of
// the settings files when they have that key (for example COM3=/dev/ttyUSB0),
// otherwise the n-th standard serial device /dev/ttyS(n-1). On Windows "COMn"
// is the system's own port, unless that key names a network port
// (COM5=rfc2217://rack1.local:4001).
QString portDeviceName(qint16 port, const SettingsSnapshot& settings);

// Whether `portName` names a serial device by its path, which makes it a port
// name in its own right: outside Windows, an absolute path under /dev/ in its
// plain form, such as "/dev/ttyUSB0" or "/dev/serial/by-id/usb-...": printable
// ASCII without blanks, no empty, "." or ".." parts and no "/" at the end.
// On Windows, whose serial ports are COMn, a port above the list's twenty
// ("COM21" to "COM256", as Windows often numbers a USB adapter), written as
// Windows writes it.
bool isDevicePath(const QString& portName);

// A port of a serial device server on the network, named by a URL:
// "tcp://HOST:PORT" carries the bytes as they are, "rfc2217://HOST:PORT"
// speaks Telnet with the COM port option, which also sets the line up.
struct NetworkPort
{
    enum class Protocol { Raw, Rfc2217 };

    Protocol protocol;
    QString host; // a name, or an address (IPv6 without its brackets)
    quint16 port;
};

// Whether `name` is written as a URL ("scheme://..."), as a network port is;
// whether it names one is for networkPortOf to say.
bool isUrlName(const QString& name);

// The network port `portName` names: "tcp://" or "rfc2217://" as written
// here, a host (an IPv6 address in brackets), ":" and a port number from 1 to
// 65535, and nothing more. Nothing for any other name. On every system.
std::optional<NetworkPort> networkPortOf(const QString& portName);
bool isNetworkPort(const QString& portName);

// Why a name written as a URL is no network port, in the user's words.
QString notANetworkPortText(const QString& name);

// "rack1.local:4001", "[fe80::1]:4001": the server's port a network port
// reaches, the same for both protocols, so that two names of it can be told.
QString networkEndpoint(const NetworkPort& port);

// The device behind a port name: for "COM1" to "COM20" the device of that
// port (portDeviceName), for a device path or a name written as a URL the
// name itself, for any other name an empty text.
QString deviceOfPortName(const QString& portName, const SettingsSnapshot& settings);
