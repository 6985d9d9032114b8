#include "PseudoTerminalLine.h"

#include <QStringList>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

QString lineSettingsFault(int slave)
{
    termios settings{};
    if (tcgetattr(slave, &settings) != 0)
        return QStringLiteral("the line settings cannot be read: %1")
            .arg(QString::fromLocal8Bit(std::strerror(errno)));
    QStringList faults;
    if (cfgetispeed(&settings) != B57600 || cfgetospeed(&settings) != B57600)
        faults += QStringLiteral("not 57,600 baud");
    if (settings.c_cflag & CSTOPB)
        faults += QStringLiteral("2 stop bits");
    if ((settings.c_cflag & CRTSCTS) || (settings.c_iflag & (IXON | IXOFF)))
        faults += QStringLiteral("flow control on");
    if (faults.isEmpty())
        return {};
    return QStringLiteral("line settings at the erase message: ") + faults.join(QStringLiteral(", "));
}

std::optional<PseudoTerminalLine> openLine()
{
    PseudoTerminalLine line;
    line.master = posix_openpt(O_RDWR | O_NOCTTY);
    if (line.master < 0 || grantpt(line.master) != 0 || unlockpt(line.master) != 0)
        return std::nullopt;
    const char* name = ptsname(line.master);
    if (!name)
        return std::nullopt;
    line.path = QString::fromLocal8Bit(name);
    line.slave = ::open(name, O_RDWR | O_NOCTTY);
    termios settings{};
    if (line.slave < 0 || tcgetattr(line.slave, &settings) != 0)
        return std::nullopt;
    // Raw, but at a speed and framing the controller does not use: a
    // programmer that leaves the line as it finds it is caught at its first
    // message.
    cfmakeraw(&settings);
    settings.c_cflag |= CSTOPB;
    cfsetispeed(&settings, B9600);
    cfsetospeed(&settings, B9600);
    if (tcsetattr(line.slave, TCSANOW, &settings) != 0)
        return std::nullopt;
    if (fcntl(line.master, F_SETFL, fcntl(line.master, F_GETFL) | O_NONBLOCK) != 0)
        return std::nullopt;
    return line;
}
