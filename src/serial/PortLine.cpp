#include "serial/PortLine.h"

#include "serial/PortName.h"

PortLine::PortLine(QObject* parent) : SerialLine(parent), m_serial(this), m_network(this)
{
    for (SerialLine* line : {static_cast<SerialLine*>(&m_serial), static_cast<SerialLine*>(&m_network)}) {
        connect(line, &SerialLine::received, this, &SerialLine::received);
        connect(line, &SerialLine::lost, this, &SerialLine::lost);
        connect(line, &SerialLine::openingFailed, this, &SerialLine::openingFailed);
    }
}

bool PortLine::openControllerLine(const QString& device)
{
    if (m_line->isOpen())
        return true;
    // A name written as a URL but no network port gets the network line's reason, not a device's.
    m_line = isUrlName(device) ? static_cast<SerialLine*>(&m_network) : &m_serial;
    return m_line->openControllerLine(device);
}
