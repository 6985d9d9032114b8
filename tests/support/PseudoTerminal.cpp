#include "PseudoTerminal.h"

#include <QTest>
#include <utility>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#endif

// Elsewhere there are no pseudo-terminals: the pair is never valid, and the
// tests that need one skip.
PseudoTerminal::PseudoTerminal()
{
#ifdef Q_OS_UNIX
    char name[256] = {};
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0)
        return;
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    // Like a serial line, and unlike a terminal, the line echoes nothing.
    termios raw{};
    ::tcgetattr(m_slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(m_slave, TCSANOW, &raw);
    m_device = QString::fromLocal8Bit(name);
#endif
}

PseudoTerminal::~PseudoTerminal()
{
    hangUp();
#ifdef Q_OS_UNIX
    if (m_slave >= 0)
        ::close(m_slave);
#endif
}

bool PseudoTerminal::send(const QByteArray& bytes) const
{
#ifdef Q_OS_UNIX
    return ::write(m_master, bytes.constData(), std::size_t(bytes.size())) == bytes.size();
#else
    Q_UNUSED(bytes);
    return false;
#endif
}

QByteArray PseudoTerminal::take()
{
#ifdef Q_OS_UNIX
    char buffer[4096];
    ssize_t got = 0;
    while (m_master >= 0 && (got = ::read(m_master, buffer, sizeof buffer)) > 0)
        m_received.append(buffer, got);
#endif
    return std::exchange(m_received, {});
}

QByteArray PseudoTerminal::receive(qsizetype count, int timeoutMs)
{
    (void)QTest::qWaitFor(
        [&] {
            m_received += take();
            return m_received.size() >= count;
        },
        timeoutMs);
    return std::exchange(m_received, {});
}

void PseudoTerminal::hangUp()
{
#ifdef Q_OS_UNIX
    if (m_master >= 0)
        ::close(m_master);
#endif
    m_master = -1;
}
