#pragma once

#include <QString>
#include <QtGlobal>

class SettingsLocation;

// The serial port named by the text of the port picker: "COM1" to "COM20"
// give 1 to 20, exactly as written; anything else (other case, leading
// zeros, blanks, higher numbers, "選択", "ERROR", empty) gives 0, no port.
qint16 portNumberOf(const QString& portName);

// The device that serial port `port` stands for, or an empty text for a
// port number below 1. On Windows that is "COMn". Elsewhere it is the value
// of the key "COMn" in the section "Ports" of the settings files when they
// have that key (for example COM3=/dev/ttyUSB0), otherwise the n-th standard
// serial device /dev/ttyS(n-1).
QString portDeviceName(qint16 port, const SettingsLocation& settings);
