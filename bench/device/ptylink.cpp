#include "ptylink.h"
#include <QSocketNotifier>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

PtyLink::~PtyLink()
{
    if (m_master >= 0) {
        ::close(m_master);
        ::close(m_slave);
    }
}

bool PtyLink::Open(QString *error)
{
    if (openpty(&m_master, &m_slave, nullptr, nullptr, nullptr) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    termios raw;
    tcgetattr(m_slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(m_slave, TCSANOW, &raw);
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_slavePath = QString::fromLocal8Bit(ttyname(m_slave));
    m_readNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    m_writeNotifier = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &PtyLink::OnReadable);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, [this] {
        Flush();
        emit Drained();
    });
    return true;
}

void PtyLink::Write(const QByteArray &bytes)
{
    m_out += bytes;
    if (!m_writeNotifier->isEnabled())
        Flush();
}

void PtyLink::OnReadable()
{
    char buffer[65536];
    const ssize_t n = ::read(m_master, buffer, sizeof buffer);
    if (n > 0)
        emit Received(QByteArray(buffer, int(n)));
}

void PtyLink::Flush()
{
    while (!m_out.isEmpty()) {
        const ssize_t n = ::write(m_master, m_out.constData(), size_t(m_out.size()));
        if (n <= 0)
            break; // the terminal is not reading: wait until the line has room
        m_out.remove(0, int(n));
    }
    m_writeNotifier->setEnabled(!m_out.isEmpty());
}
