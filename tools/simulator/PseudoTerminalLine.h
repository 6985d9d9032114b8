#pragma once

#include <QString>
#include <optional>

// The simulator's line: the master side is the controller's end, the slave's
// path is what the programmer opens. The simulator keeps the slave side open
// itself: the programmer may then open and close it as often as it likes
// without the master seeing a hang-up, and the raw 57,600-baud settings stay
// in place between transfers.
struct PseudoTerminalLine
{
    int master = -1;
    int slave = -1;
    QString path;
};

// What is wrong with the line settings the programmer left on the terminal,
// measured against 57,600 baud, 1 stop bit and no flow control; empty when
// nothing is. A pseudo-terminal always keeps 8 data bits and no parity, so
// those two cannot be checked here.
QString lineSettingsFault(int slave);

// A new pair with its slave side open and raw and its master side not
// blocking; none when no pair can be had (errno tells why).
std::optional<PseudoTerminalLine> openLine();
