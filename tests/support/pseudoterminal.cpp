#include "pseudoterminal.h"
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

bool PseudoTerminal::Open()
{
    char name[256] = {};
    if (Master >= 0 || openpty(&Master, &Slave, name, nullptr, nullptr) != 0)
        return false;
    Path = QString::fromLocal8Bit(name);
    // The slave stays open here too, so the line lives on while the code under
    // test closes and reopens its side.
    for (int fd : {Master, Slave}) {
        termios settings;
        if (tcgetattr(fd, &settings) != 0 || (cfmakeraw(&settings), tcsetattr(fd, TCSANOW, &settings)) != 0) {
            CloseMaster();
            return false;
        }
    }
    return fcntl(Master, F_SETFL, fcntl(Master, F_GETFL) | O_NONBLOCK) == 0;
}

void PseudoTerminal::Wait(short events, int waitMs)
{
    QCoreApplication::processEvents();
    pollfd fd = {Master, events, 0};
    poll(&fd, 1, waitMs);
}

bool PseudoTerminal::Write(const QByteArray &data)
{
    QDeadlineTimer stall(5000);
    for (qsizetype done = 0; Master >= 0 && done < data.size(); Wait(POLLOUT, 5)) {
        const ssize_t written = write(Master, data.constData() + done, size_t(data.size() - done));
        if ((written < 0 && errno != EAGAIN && errno != EINTR) || stall.hasExpired())
            return false;
        if (written > 0)
            done += written, stall.setRemainingTime(5000);
    }
    return Master >= 0;
}

QByteArray PseudoTerminal::Read(int waitMs, int atLeast)
{
    QByteArray received;
    QDeadlineTimer deadline(waitMs);
    char chunk[4096];
    while (Master >= 0) {
        for (ssize_t got; (got = read(Master, chunk, sizeof chunk)) > 0;)
            received.append(chunk, got);
        if (received.size() >= atLeast || deadline.hasExpired())
            break;
        Wait(POLLIN, int(qMin<qint64>(5, deadline.remainingTime())));
    }
    return received;
}

void PseudoTerminal::CloseMaster()
{
    for (int fd : {Master, Slave})
        if (fd >= 0)
            close(fd);
    Master = Slave = -1;
}

unsigned PseudoTerminal::SlaveSpeed() const
{
    termios settings;
    return Slave >= 0 && tcgetattr(Slave, &settings) == 0 ? cfgetospeed(&settings) : 0;
}
