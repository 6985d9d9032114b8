#include "UnansweringPort.h"

#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

UnansweringPort::UnansweringPort()
{
    m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    // A queue of no length still takes one connection on Linux; the filler takes that place.
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(m_listener, 0) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    m_filler.connectToHost(QHostAddress::LocalHost, ntohs(address.sin_port));
    if (!m_filler.waitForConnected(30000)) {
        m_error = m_filler.errorString();
        return;
    }
    m_port = ntohs(address.sin_port);
}

UnansweringPort::~UnansweringPort()
{
    m_filler.abort();
    if (m_listener >= 0)
        ::close(m_listener);
}
