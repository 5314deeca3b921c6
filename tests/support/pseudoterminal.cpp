#include "pseudoterminal.h"
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

const int WriteStallMs = 5000;
const int PollSliceMs = 5;

bool MakeRaw(int fd)
{
    termios settings;
    if (tcgetattr(fd, &settings) != 0)
        return false;
    cfmakeraw(&settings);
    return tcsetattr(fd, TCSANOW, &settings) == 0;
}

} // namespace

PseudoTerminal::~PseudoTerminal()
{
    CloseMaster();
}

bool PseudoTerminal::Open()
{
    char name[256] = {};
    if (Master >= 0 || openpty(&Master, &Slave, name, nullptr, nullptr) != 0)
        return false;
    Path = QString::fromLocal8Bit(name);
    // The slave stays open here too, so the line lives on while the code under
    // test closes and reopens its side.
    if (!MakeRaw(Master) || !MakeRaw(Slave)
        || fcntl(Master, F_SETFL, fcntl(Master, F_GETFL) | O_NONBLOCK) != 0) {
        CloseMaster();
        return false;
    }
    return true;
}

QString PseudoTerminal::SlavePath() const
{
    return Path;
}

void PseudoTerminal::Wait(short events, int waitMs)
{
    QCoreApplication::processEvents();
    pollfd fd = {Master, events, 0};
    poll(&fd, 1, waitMs);
}

bool PseudoTerminal::Write(const QByteArray &data)
{
    qsizetype done = 0;
    QDeadlineTimer stall(WriteStallMs);
    while (Master >= 0 && done < data.size()) {
        const ssize_t written = write(Master, data.constData() + done, size_t(data.size() - done));
        if (written > 0) {
            done += written;
            stall.setRemainingTime(WriteStallMs);
        } else if (written < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        } else if (stall.hasExpired()) {
            return false;
        } else {
            Wait(POLLOUT, PollSliceMs);
        }
    }
    return Master >= 0;
}

QByteArray PseudoTerminal::Read(int waitMs, int atLeast)
{
    QByteArray received;
    QDeadlineTimer deadline(waitMs);
    char chunk[4096];
    while (Master >= 0) {
        ssize_t got;
        while ((got = read(Master, chunk, sizeof chunk)) > 0)
            received.append(chunk, got);
        if (received.size() >= atLeast || deadline.hasExpired())
            break;
        Wait(POLLIN, int(qMin<qint64>(PollSliceMs, deadline.remainingTime())));
    }
    return received;
}

void PseudoTerminal::CloseMaster()
{
    if (Master >= 0)
        close(Master);
    if (Slave >= 0)
        close(Slave);
    Master = Slave = -1;
}
