#include "serial/PortLine.h"

#include "serial/NetworkSerialLine.h"
#include "serial/PortName.h"

PortLine::PortLine(QObject* parent) : SerialLine(parent), m_serial(this)
{
    follow(&m_serial);
}

void PortLine::follow(SerialLine* line)
{
    connect(line, &SerialLine::received, this, &SerialLine::received);
    connect(line, &SerialLine::lost, this, &SerialLine::lost);
    connect(line, &SerialLine::openingFailed, this, &SerialLine::openingFailed);
}

bool PortLine::openControllerLine(const QString& device)
{
    if (m_line->isOpen())
        return true;
    // A name written as a URL but no network port gets the network line's reason, not a device's.
    if (isUrlName(device)) {
        if (!m_network) {
            m_network = new NetworkSerialLine(this);
            follow(m_network);
        }
        m_line = m_network;
    } else {
        m_line = &m_serial;
    }
    return m_line->openControllerLine(device);
}
